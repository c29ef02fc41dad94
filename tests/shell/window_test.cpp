// The window as a user meets it: layout and captions, loading, the tree and the panel, the
// preview, the progress dialog and "Import".
#include <QAction>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <sstream>

#include "cli.h"
#include "colorpickerbutton.h"
#include "windowtest.h"

namespace aiimport::testing {
namespace {

TEST_F(WindowTest, CaptionsButtonsAndStartState) {
  EXPECT_TRUE(window->windowTitle().startsWith("AI/EPS Import Module"));
  EXPECT_TRUE(window->windowTitle().endsWith(" (Tarvel Edition)"));
  EXPECT_EQ(QApplication::applicationDisplayName(), "Adobe Illustrator Import Module V2.5");
  EXPECT_EQ(window->centralWidget()->height() + window->statusBar()->height(), 554);
  EXPECT_EQ(window->width(), 794);

  EXPECT_EQ(window->Button3->text(), "Select File");
  EXPECT_EQ(window->Button2->text(), "Cancel");
  EXPECT_EQ(window->Button1->text(), "Import");
  EXPECT_TRUE(window->Button1->font().bold());
  EXPECT_FALSE(window->Button1->isEnabled());
  for (QPushButton* b : {window->Button3, window->Button2, window->Button1})
    EXPECT_EQ(b->width(), 75);

  // The tool bar, left to right (separators left out).
  std::vector<std::string> names;
  for (QObject* child : window->ToolBar1->children())
    if (auto* w = qobject_cast<QWidget*>(child); w && !w->objectName().isEmpty() && w->isVisible())
      names.push_back(w->objectName().toStdString());
  std::vector<std::string> ordered;
  for (QAction* a : window->ToolBar1->actions())
    if (QWidget* w = window->ToolBar1->widgetForAction(a); w && !w->objectName().isEmpty())
      ordered.push_back(w->objectName().toStdString());
  EXPECT_EQ(ordered, (std::vector<std::string>{"dzoomall", "dzoomin", "dzoom", "ToolButton5",
                                               "dviewsolid", "dviewlines", "dviewcw",
                                               "ToolButton12", "ToolButton15", "dopen", "dclosed",
                                               "dclear", "dsolid", "dflag", "csel1", "dhelp"}));
  EXPECT_TRUE(window->dviewsolid->isChecked());
  EXPECT_FALSE(window->dzoomall->isChecked() || window->dzoomin->isChecked() ||
               window->dzoom->isChecked());
  EXPECT_EQ(window->dflag->toolTip().left(11), "Toggle List");
  EXPECT_EQ(window->csel1->width(), 45);
  EXPECT_EQ(window->csel1->height(), 26);
  EXPECT_EQ(window->dzoomall->width(), 27);
  EXPECT_EQ(window->dzoomall->height(), 26);

  // The information panel's start states.
  EXPECT_FALSE(window->cFlag->isChecked());
  EXPECT_TRUE(window->cfills->isChecked());
  EXPECT_TRUE(window->cLines->isChecked());
  EXPECT_TRUE(window->Flip_Vertical->isChecked());
  EXPECT_FALSE(window->cAutofix->isChecked());
  EXPECT_FALSE(window->cReduce->isChecked());
  EXPECT_EQ(window->cFlag->text(), "Toggle List");
  EXPECT_EQ(window->cfills->text(), "Fills (solid)");
  EXPECT_EQ(window->cLines->text(), "Strokes (no fill)");
  EXPECT_EQ(window->cAutofix->text(), "Auto-Fix Holes");
  EXPECT_EQ(window->cReduce->text(), "Reduce Nodes");
  EXPECT_EQ(window->panel_info->height(), 141);
  EXPECT_EQ(window->StatusPanel0->text(), "File");
  EXPECT_TRUE(window->EnancedView1->isChecked());
  EXPECT_FALSE(window->ParseEverything1->isChecked());
}

TEST_F(WindowTest, MenusWithTheirShortcuts) {
  std::vector<std::string> menus;
  for (QAction* a : window->menuBar()->actions())
    menus.push_back(a->text().toStdString());
  EXPECT_EQ(menus, (std::vector<std::string>{"&File", "&Edit", "View", "&Options", "&Help"}));
  struct Item {
    QAction* action;
    const char* caption;
    QKeySequence key;
  };
  for (const Item& i : {
           Item{window->Reload1, "Reload", {}},
           Item{window->Exit1, "Exit", {}},
           Item{window->Delete1, "Delete (Del)", {}},
           Item{window->tofront1, "Bring to Front", QKeySequence("Shift+PgUp")},
           Item{window->BreakApart1, "Send to Back", QKeySequence("Shift+PgDown")},
           Item{window->UpOne1, "Up One Level", QKeySequence("Ctrl+PgUp")},
           Item{window->downone1, "Down One Level", QKeySequence("Ctrl+PgDown")},
           Item{window->FlagSelected1, "Toggle Selected", QKeySequence("F8")},
           Item{window->OpenSelected1, "Open Selected", QKeySequence("Ctrl+O")},
           Item{window->CloseSelected1, "Close Selected", QKeySequence("Ctrl+C")},
           Item{window->SolidSelected1, "Solid Selected", QKeySequence("Ctrl+S")},
           Item{window->ClearSelected1, "Clear Selected", QKeySequence("Ctrl+L")},
           Item{window->ZoomAll1, "Zoom All", QKeySequence("F5")},
           Item{window->Zoom1, "Zoom", QKeySequence("F2")},
           Item{window->ZoomIN1, "Zoom to Object", {}},
           Item{window->RedrawAll1, "Redraw All", QKeySequence("F3")},
           Item{window->EnancedView1, "Enanced View", {}},
           Item{window->ParseEverything1, "Parse Everything", {}},
           Item{window->Help2, "&Help", {}},
       }) {
    EXPECT_EQ(i.action->text().toStdString(), i.caption);
    EXPECT_EQ(i.action->shortcut(), i.key) << i.caption;
  }
}

TEST_F(WindowTest, ReloadBuildsTheTreeAndThePanel) {
  Load(Sample("shapes.eps"));
  EXPECT_TRUE(window->StatusPanel1->text().endsWith("shapes.eps"));
  // Level 1: a red square, the curves in a level-2 group, a compound (2); level 0: two more.
  EXPECT_EQ(Shape(window->Tree, window->Model.PathList), "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
  const TreeNode* root = window->Tree.First();
  EXPECT_EQ(root->Caption(), "Master Group: ");
  EXPECT_EQ(window->Tree.Selected(), root);
  EXPECT_EQ(window->TreeView1->currentIndex().data().toString(), "Master Group: ");
  EXPECT_EQ(window->label_nodes->text(), "Group (6 Paths)");
  // All paths of the file: x 36 to 252, y 36 to 198 points.
  EXPECT_EQ(window->label_width->text(), "76.200 mm");
  EXPECT_EQ(window->label_height->text(), "57.150 mm");
  EXPECT_TRUE(window->Button1->isEnabled());
  EXPECT_FALSE(window->p->Picture.isNull());
  EXPECT_EQ(window->p->Picture.size(), window->p->size());
}

TEST_F(WindowTest, SelectionSetsTheButtonsAndTheColour) {
  Load(Sample("shapes.eps"));
  const TreeNode* root = window->Tree.First();
  TreeNode* composite = root->Children[0]->Children[2];
  TreeNode* stroke = root->Children[2];
  TreeNode* white = root->Children[1];

  window->TreeView1->setCurrentIndex(window->TreeView1->model()->index(
      2, 0, window->TreeView1->model()->index(0, 0, window->TreeView1->model()->index(0, 0))));
  EXPECT_EQ(window->Tree.Selected(), composite);
  EXPECT_EQ(window->label_nodes->text(), "Compound  (2 Paths)");

  window->SelectNode(stroke);
  window->TreeView1Change();
  EXPECT_EQ(window->label_nodes->text(), "Path (2 nodes)");
  EXPECT_TRUE(window->dopen->isChecked());
  EXPECT_FALSE(window->dclosed->isChecked());
  EXPECT_TRUE(window->dclear->isChecked());
  EXPECT_FALSE(window->dsolid->isChecked());
  EXPECT_EQ(window->csel1->SelectionColor(), 0);  // its line colour, black
  EXPECT_TRUE(window->csel1->isEnabled());

  window->SelectNode(white);
  window->TreeView1Change();
  EXPECT_TRUE(window->dclosed->isChecked());
  EXPECT_TRUE(window->dsolid->isChecked());
  EXPECT_EQ(window->csel1->SelectionColor(), 0xFFFFFF);  // filled: its fill colour
  EXPECT_EQ(window->Shape2->palette().color(QPalette::Window), QColor(0, 255, 255));  // 1 0 0 0 K
  // Width and height now follow the extent the preview fitted: all tree paths.
  EXPECT_EQ(window->label_width->text(), "76.200 mm");
}

TEST_F(WindowTest, FiltersRebuildAndPrune) {
  Load(Sample("shapes.eps"));
  window->cfills->click();  // fills hidden: only the open stroke is left
  EXPECT_EQ(Shape(window->Tree, window->Model.PathList), "R[P5]");
  EXPECT_EQ(window->label_nodes->text(), "Group (1 Paths)");
  window->cLines->click();  // nothing left but the root
  EXPECT_EQ(Shape(window->Tree, window->Model.PathList), "R");
  EXPECT_EQ(window->label_nodes->text(), "Group (0 Paths)");
  EXPECT_FALSE(window->dopen->isEnabled());
  EXPECT_FALSE(window->csel1->isEnabled());
  EXPECT_FALSE(window->Button1->isEnabled());  // a selected root without paths
  Save(window.get(), "window-filtered.png");
  window->cfills->click();
  window->cLines->click();
  EXPECT_EQ(Shape(window->Tree, window->Model.PathList), "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
}

TEST_F(WindowTest, ViewModesChangeThePicture) {
  Load(Sample("shapes.eps"));
  const QImage solid = window->p->Picture;
  Save(window.get(), "window-solid.png");
  window->dviewlines->click();
  EXPECT_TRUE(window->dviewlines->isChecked());
  EXPECT_FALSE(window->dviewsolid->isChecked());
  const QImage wire = window->p->Picture;
  Save(window.get(), "window-wireframe.png");
  window->dviewcw->click();
  const QImage orientation = window->p->Picture;
  Save(window.get(), "window-orientation.png");
  window->dviewcw->click();  // pressing the down button again keeps it down
  EXPECT_TRUE(window->dviewcw->isChecked());
  EXPECT_NE(solid, wire);
  EXPECT_NE(wire, orientation);
  // The red square of shapes.eps is filled in Solid mode only: look at its middle.
  const auto& m = window->Mapping;
  const int x = int(m.OffsetX + (72 - m.OriginX) * m.Scale),
            y = int(m.OffsetY + (72 - m.OriginY) * m.Scale);
  EXPECT_EQ(solid.pixelColor(x, y), QColor(255, 0, 0));
  EXPECT_EQ(wire.pixelColor(x, y), QColor(255, 255, 255));
}

TEST_F(WindowTest, ALoneHorizontalLineGivesAWhitePicture) {
  const auto file = drive_ / "line.eps";
  std::ofstream(file) << "%%EndSetup\n0 0 0 1 K\n10 20 m\n200 20 l\nS\n";
  Load(file.string());
  ASSERT_EQ(window->Model.PathList.size(), 1u);
  const QImage& picture = window->p->Picture;
  for (int y = 0; y < picture.height(); y += 3)
    for (int x = 0; x < picture.width(); x += 3)
      ASSERT_EQ(picture.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
  EXPECT_TRUE(window->Button1->isEnabled());  // the tree holds a path
}

TEST_F(WindowTest, ImportWritesWhatTheBatchModeWritesAndEnds) {
  Load(Sample("shapes.eps"));
  window->cReduce->setChecked(true);
  window->cAutofix->setChecked(true);
  window->Button1->click();
  EXPECT_TRUE(messages.empty()) << messages.front();
  ASSERT_TRUE(std::filesystem::exists(DotFile()));
  EXPECT_FALSE(window->isVisible());  // the program ends
  // "Auto-Fix Holes" drew the output in the preview: anticlockwise outlines in dark blue.
  bool darkBlue = false;
  const QImage& picture = window->p->Picture;
  for (int y = 0; y < picture.height() && !darkBlue; ++y)
    for (int x = 0; x < picture.width() && !darkBlue; ++x)
      darkBlue = picture.pixelColor(x, y) == QColor(0, 0, 0x80);
  EXPECT_TRUE(darkBlue);
  EXPECT_EQ(window->label_nodes->text(), "Generating Output");

  const auto batch = drive_ / "batch.dot";
  std::ostringstream out, err;
  ASSERT_EQ(RunCommandLine({"--batch", Sample("shapes.eps"), "--reduce", "--autofix", "--output",
                            batch.string()},
                           out, err),
            0)
      << err.str();
  EXPECT_EQ(testing::ReadWholeFile(DotFile()), testing::ReadWholeFile(batch));
}

TEST_F(WindowTest, ImportIntoAFolderThatCannotBeMadeLeavesTheWindowOpen) {
  Load(Sample("shapes.eps"));
  // "temp" under the Windows directory is a file: the folder cannot be made, nor the DOT file.
  std::filesystem::remove_all(drive_ / "windows" / "temp");
  std::ofstream(drive_ / "windows" / "temp") << "in the way";
  window->Button1->click();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "Error (b) maing Dir c:\\windows\\temp");
  EXPECT_EQ(messages[1].rfind("error: ", 0), 0u);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->isEnabled());
  EXPECT_EQ(Shape(window->Tree, window->Model.PathList), "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
  EXPECT_TRUE(std::filesystem::is_regular_file(drive_ / "windows" / "temp"));

  // Put right, a second "Import" writes the file and ends.
  std::filesystem::remove(drive_ / "windows" / "temp");
  messages.clear();
  window->Button1->click();
  EXPECT_TRUE(std::filesystem::exists(DotFile()));
  EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTest, ImportWithNothingInTheTree) {
  Load(Sample("shapes.eps"));
  window->cfills->click();
  window->cLines->click();
  window->Button1Click();  // the button is disabled; the command itself still refuses
  EXPECT_EQ(messages, (std::vector<std::string>{"There are no paths to import!"}));
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(std::filesystem::exists(DotFile()));
}

// A progress dialog that presses "Abort" while the events of a chosen pump are handled.
class AbortingDialog : public Tfabort {
 public:
  explicit AbortingDialog(int abortAt) : abortAt_(abortAt) {}
  void ProcessEvents() override {
    Tfabort::ProcessEvents();
    if (++pumps == abortAt_) Button1->click();
  }
  int pumps = 0;

 private:
  int abortAt_;
};

TEST_F(WindowTest, AbortWhileLoading) {
  std::string text = "%%EndSetup\n";
  while (text.size() < 40000)
    text += "10 10 m\n20 10 l\n20 20 l\nf\n";
  const auto file = drive_ / "big.eps";
  std::ofstream(file) << text;
  auto* dialog = new AbortingDialog(2);  // loading pumps at bytes 1 and 4097
  window->fabort.reset(dialog);
  Load(file.string());
  EXPECT_TRUE(window->Tree.Empty());
  EXPECT_TRUE(window->Model.PathList.empty());
  EXPECT_FALSE(window->Button1->isEnabled());
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(dialog->isVisible());
  // The interpretation still runs, on no lines: its phase text is the last one shown.
  EXPECT_EQ(dialog->Label1->text(), "Interpreting File    (0 Lines)");
}

TEST_F(WindowTest, AbortWhileInterpreting) {
  std::string text = "%%EndSetup\n";
  for (int i = 0; i < 100; ++i)
    text += "1 1 m\n2 1 l\nf\n";
  const auto file = drive_ / "lines.eps";
  std::ofstream(file) << text;
  // One pump while loading (byte 1), then the interpreter's at lines 0, 100, 200.
  auto* dialog = new AbortingDialog(3);
  window->fabort.reset(dialog);
  Load(file.string());
  EXPECT_EQ(dialog->pumps, 3);
  EXPECT_TRUE(window->Tree.Empty());
  EXPECT_TRUE(window->Model.PathList.empty());
  EXPECT_FALSE(window->Button1->isEnabled());
  EXPECT_EQ(dialog->ProgressBar1->value(), 0);
  EXPECT_EQ(dialog->Label1->text(), "Interpreting File    (301 Lines)");
}

TEST_F(WindowTest, ProgressDialogPicture) {
  Tfabort* dialog = window->fabort.get();
  dialog->SetPhaseText("Interpreting File    (4,065,630 Lines)");
  dialog->SetMaximum(4065630);
  dialog->SetPosition(1500000);
  dialog->show();
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
  EXPECT_EQ(dialog->windowTitle(), "Processing File");
  EXPECT_EQ(dialog->size(), QSize(255, 87));
  EXPECT_EQ(dialog->Button1->text(), "Abort");
  Save(dialog, "progress-dialog.png");
  // Esc presses "Abort": it only sets the flag.
  QTest::keyClick(dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog->AbortRequested());
  EXPECT_TRUE(dialog->isVisible());
  dialog->hide();
}

TEST_F(WindowTest, ReloadAfterEditsRestoresTheFile) {
  Load(Sample("shapes.eps"));
  window->cFlag->click();
  EXPECT_TRUE(window->cFlag->isChecked());
  window->Reload1->trigger();
  EXPECT_FALSE(window->cFlag->isChecked());  // every reload unchecks it
  EXPECT_EQ(Shape(window->Tree, window->Model.PathList), "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
}

TEST_F(WindowTest, ReadingOptionsWaitForTheNextReload) {
  Load(Sample("shapes.eps"));
  const float y = window->Model.PathList[0].Items[0].Y1;
  window->Flip_Vertical->click();
  EXPECT_EQ(window->Model.PathList[0].Items[0].Y1, y);
  window->Reload1->trigger();
  EXPECT_EQ(window->Model.PathList[0].Items[0].Y1, -y);
}

TEST_F(WindowTest, AnUnreadablePdfSaysWhyInTheStatusBar) {
  const std::filesystem::path truncated =
      std::filesystem::path(AIIMPORT_CORPUS_DIR) / "sindresorhus-fixture.ai";
  if (!std::filesystem::exists(truncated)) GTEST_SKIP() << "corpus folder absent";
  Load(Sample("shapes.eps"));
  EXPECT_EQ(window->StatusPanel2->text(), "");
  Load(truncated.string());
  EXPECT_EQ(window->StatusPanel2->text(),
            "This PDF file is damaged or incomplete and cannot be read");
  EXPECT_TRUE(window->Tree.Empty());
  EXPECT_TRUE(messages.empty());  // no message box: the status bar says it
  Save(window.get(), "window-unreadable-pdf.png");
}

TEST_F(WindowTest, DroppingADrawingLoadsIt) {
  auto* mime = new QMimeData;
  mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(Sample("leaf-cr.ai")))});
  QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(300, 200), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  QApplication::processEvents();
  EXPECT_TRUE(window->StatusPanel1->text().endsWith("leaf-cr.ai"));
  EXPECT_EQ(window->Model.PathList.size(), 2u);
  // Other files are refused.
  auto* other = new QMimeData;
  other->setUrls({QUrl::fromLocalFile("/tmp/picture.png")});
  QDragEnterEvent refused(QPoint(300, 200), Qt::CopyAction, other, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &refused);
  EXPECT_FALSE(refused.isAccepted());
  delete mime;
  delete other;
}

TEST_F(WindowTest, AMissingFileLeavesTheTreeEmpty) {
  Load((drive_ / "gone.ai").string());
  EXPECT_TRUE(window->Tree.Empty());
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace aiimport::testing

namespace aiimport::testing {
namespace {

TEST_F(WindowTest, TheCommandLinesFileIsLoadedOnTheFirstPaint) {
  auto second = std::make_unique<Tfmain>(std::vector<std::string>{Sample("leaf-cr.ai"), "ignored"});
  second->ShowMessage = [this](const QString& text, bool) {
    messages.push_back(text.toStdString());
  };
  EXPECT_TRUE(second->Model.PathList.empty());
  second->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(second.get()));
  QApplication::processEvents();
  EXPECT_EQ(second->Model.PathList.size(), 2u);
  EXPECT_EQ(
      QDir::fromNativeSeparators(second->StatusPanel1->text()).toStdString(),
      QFileInfo(QString::fromStdString(Sample("leaf-cr.ai"))).absoluteFilePath().toStdString());
  // A first argument that names no file leaves the window empty.
  auto third = std::make_unique<Tfmain>(std::vector<std::string>{"/no/such/drawing.ai"});
  third->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(third.get()));
  QApplication::processEvents();
  EXPECT_TRUE(third->Tree.Empty());
  EXPECT_EQ(third->StatusPanel1->text(), "");
}

TEST_F(WindowTest, EscapeAndExitCloseWithoutOutput) {
  Load(Sample("shapes.eps"));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(std::filesystem::exists(DotFile()));
  window->show();
  window->Exit1->trigger();
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(std::filesystem::exists(DotFile()));
}

TEST_F(WindowTest, TheTreesHintIsTheCaptionUnderTheMouse) {
  Load(Sample("shapes.eps"));
  const QModelIndex group =
      window->TreeView1->model()->index(0, 0, window->TreeView1->model()->index(0, 0));
  const QRect row = window->TreeView1->visualRect(group);
  QTest::mouseMove(window->TreeView1->viewport(), row.center());
  EXPECT_EQ(window->TreeView1->toolTip(), "Group");
  QTest::mouseMove(window->TreeView1->viewport(),
                   QPoint(5, window->TreeView1->viewport()->height() - 2));
  EXPECT_EQ(window->TreeView1->toolTip(), "");
}

TEST_F(WindowTest, ZoomToObjectFromTheMenuFitsOnceWithoutPressingTheButton) {
  Load(Sample("shapes.eps"));
  window->SelectNode(
      window->Tree.First()->Children[1]);  // the white rectangle, 144..252 x 144..198
  window->ZoomIN1->trigger();
  EXPECT_FALSE(window->dzoomin->isChecked());
  EXPECT_EQ(window->Model.ViewExtent, (FloatRect{144, 144, 252, 198}));
  window->dzoomin->click();
  EXPECT_TRUE(window->dzoomin->isChecked());
  EXPECT_EQ(window->Model.ViewExtent, (FloatRect{144, 144, 252, 198}));
}

}  // namespace
}  // namespace aiimport::testing
