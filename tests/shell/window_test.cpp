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

#include "application.h"
#include "cli.h"
#include "colorpickerbutton.h"
#include "windowtest.h"

namespace aiimport::testing {
namespace {

TEST_F(WindowTest, CaptionsButtonsAndStartState) {
  EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("AI/EPS Import Module")));
  EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral(" (Tarvel Edition)")));
  EXPECT_EQ(ApplicationTitle(), QStringLiteral("Adobe Illustrator Import Module V2.5"));
  EXPECT_EQ(window->centralWidget()->height() + window->statusBar()->height(), 554);
  EXPECT_EQ(window->width(), 794);

  EXPECT_EQ(ui->Button3->text(), QStringLiteral("Select File"));
  EXPECT_EQ(ui->Button2->text(), QStringLiteral("Cancel"));
  EXPECT_EQ(ui->Button1->text(), QStringLiteral("Import"));
  EXPECT_TRUE(ui->Button1->font().bold());
  EXPECT_FALSE(ui->Button1->isEnabled());
  for (QPushButton* b : {ui->Button3, ui->Button2, ui->Button1})
    EXPECT_EQ(b->width(), 75);

  // The tool bar, left to right (separators left out).
  std::vector<std::string> names;
  for (QObject* child : ui->ToolBar1->children())
    if (auto* w = qobject_cast<QWidget*>(child); w && !w->objectName().isEmpty() && w->isVisible())
      names.push_back(w->objectName().toStdString());
  std::vector<std::string> ordered;
  for (QAction* a : ui->ToolBar1->actions())
    if (QWidget* w = ui->ToolBar1->widgetForAction(a); w && !w->objectName().isEmpty())
      ordered.push_back(w->objectName().toStdString());
  EXPECT_EQ(ordered, (std::vector<std::string>{"dzoomall", "dzoomin", "dzoom", "ToolButton5",
                                               "dviewsolid", "dviewlines", "dviewcw",
                                               "ToolButton12", "ToolButton15", "dopen", "dclosed",
                                               "dclear", "dsolid", "dflag", "csel1", "dhelp"}));
  EXPECT_TRUE(ui->dviewsolid->isChecked());
  EXPECT_FALSE(ui->dzoomall->isChecked() || ui->dzoomin->isChecked() || ui->dzoom->isChecked());
  EXPECT_EQ(ui->dflag->toolTip().left(11), QStringLiteral("Toggle List"));
  EXPECT_EQ(ui->csel1->width(), 45);
  EXPECT_EQ(ui->csel1->height(), 26);
  EXPECT_EQ(ui->dzoomall->width(), 27);
  EXPECT_EQ(ui->dzoomall->height(), 26);

  // The information panel's start states.
  EXPECT_FALSE(ui->cFlag->isChecked());
  EXPECT_TRUE(ui->cfills->isChecked());
  EXPECT_TRUE(ui->cLines->isChecked());
  EXPECT_TRUE(ui->Flip_Vertical->isChecked());
  EXPECT_FALSE(ui->cAutofix->isChecked());
  EXPECT_FALSE(ui->cReduce->isChecked());
  EXPECT_EQ(ui->cFlag->text(), QStringLiteral("Toggle List"));
  EXPECT_EQ(ui->cfills->text(), QStringLiteral("Fills (solid)"));
  EXPECT_EQ(ui->cLines->text(), QStringLiteral("Strokes (no fill)"));
  EXPECT_EQ(ui->cAutofix->text(), QStringLiteral("Auto-Fix Holes"));
  EXPECT_EQ(ui->cReduce->text(), QStringLiteral("Reduce Nodes"));
  EXPECT_EQ(ui->panel_info->height(), 141);
  EXPECT_EQ(ui->StatusPanel0->text(), QStringLiteral("File"));
  EXPECT_TRUE(ui->EnancedView1->isChecked());
  EXPECT_FALSE(ui->ParseEverything1->isChecked());
}

TEST_F(WindowTest, MenusWithTheirShortcuts) {
  std::vector<std::string> menus;
  for (QAction* a : window->menuBar()->actions())
    menus.push_back(a->text().toStdString());
  EXPECT_EQ(menus, (std::vector<std::string>{"&File", "&Edit", "View", "&Options", "&Help"}));
  struct Item {
    QAction* action;
    const char* caption;
    const char* key;  // in the portable text form; "" for none
  };
  for (const Item& i : {
           Item{ui->Reload1, "Reload", ""},
           Item{ui->Exit1, "Exit", ""},
           Item{ui->Delete1, "Delete (Del)", ""},
           Item{ui->tofront1, "Bring to Front", "Shift+PgUp"},
           Item{ui->BreakApart1, "Send to Back", "Shift+PgDown"},
           Item{ui->UpOne1, "Up One Level", "Ctrl+PgUp"},
           Item{ui->downone1, "Down One Level", "Ctrl+PgDown"},
           Item{ui->FlagSelected1, "Toggle Selected", "F8"},
           Item{ui->OpenSelected1, "Open Selected", "Ctrl+O"},
           Item{ui->CloseSelected1, "Close Selected", "Ctrl+C"},
           Item{ui->SolidSelected1, "Solid Selected", "Ctrl+S"},
           Item{ui->ClearSelected1, "Clear Selected", "Ctrl+L"},
           Item{ui->ZoomAll1, "Zoom All", "F5"},
           Item{ui->Zoom1, "Zoom", "F2"},
           Item{ui->ZoomIN1, "Zoom to Object", ""},
           Item{ui->RedrawAll1, "Redraw All", "F3"},
           Item{ui->EnancedView1, "Enanced View", ""},
           Item{ui->ParseEverything1, "Parse Everything", ""},
           Item{ui->Help2, "&Help", ""},
       }) {
    EXPECT_EQ(i.action->text().toStdString(), i.caption);
    EXPECT_EQ(i.action->shortcut(), QKeySequence(QString::fromLatin1(i.key))) << i.caption;
  }
}

TEST_F(WindowTest, ReloadBuildsTheTreeAndThePanel) {
  Load(Sample("shapes.eps"));
  EXPECT_TRUE(ui->StatusPanel1->text().endsWith(QStringLiteral("shapes.eps")));
  // Level 1: a red square, the curves in a level-2 group, a compound (2); level 0: two more.
  EXPECT_EQ(Shape(ui->Tree, ui->Model.PathList), "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
  const TreeNode* root = ui->Tree.First();
  EXPECT_EQ(root->Caption(), "Master Group: ");
  EXPECT_EQ(ui->Tree.Selected(), root);
  EXPECT_EQ(ui->TreeView1->currentIndex().data().toString(), QStringLiteral("Master Group: "));
  EXPECT_EQ(ui->label_nodes->text(), QStringLiteral("Group (6 Paths)"));
  // All paths of the file: x 36 to 252, y 36 to 198 points.
  EXPECT_EQ(ui->label_width->text(), QStringLiteral("76.200 mm"));
  EXPECT_EQ(ui->label_height->text(), QStringLiteral("57.150 mm"));
  EXPECT_TRUE(ui->Button1->isEnabled());
  EXPECT_FALSE(ui->p->Picture.isNull());
  EXPECT_EQ(ui->p->Picture.size(), ui->p->size());
}

TEST_F(WindowTest, SelectionSetsTheButtonsAndTheColour) {
  Load(Sample("shapes.eps"));
  const TreeNode* root = ui->Tree.First();
  TreeNode* composite = root->Children[0]->Children[2];
  TreeNode* stroke = root->Children[2];
  TreeNode* white = root->Children[1];

  ui->TreeView1->setCurrentIndex(ui->TreeView1->model()->index(
      2, 0, ui->TreeView1->model()->index(0, 0, ui->TreeView1->model()->index(0, 0))));
  EXPECT_EQ(ui->Tree.Selected(), composite);
  EXPECT_EQ(ui->label_nodes->text(), QStringLiteral("Compound  (2 Paths)"));

  ui->SelectNode(stroke);
  ui->TreeView1Change();
  EXPECT_EQ(ui->label_nodes->text(), QStringLiteral("Path (2 nodes)"));
  EXPECT_TRUE(ui->dopen->isChecked());
  EXPECT_FALSE(ui->dclosed->isChecked());
  EXPECT_TRUE(ui->dclear->isChecked());
  EXPECT_FALSE(ui->dsolid->isChecked());
  EXPECT_EQ(ui->csel1->SelectionColor(), 0);  // its line colour, black
  EXPECT_TRUE(ui->csel1->isEnabled());

  ui->SelectNode(white);
  ui->TreeView1Change();
  EXPECT_TRUE(ui->dclosed->isChecked());
  EXPECT_TRUE(ui->dsolid->isChecked());
  EXPECT_EQ(ui->csel1->SelectionColor(), 0xFFFFFF);  // filled: its fill colour
  EXPECT_EQ(ui->Shape2->palette().color(QPalette::Window), QColor(0, 255, 255));  // 1 0 0 0 K
  // Width and height now follow the extent the preview fitted: all tree paths.
  EXPECT_EQ(ui->label_width->text(), QStringLiteral("76.200 mm"));
}

TEST_F(WindowTest, FiltersRebuildAndPrune) {
  Load(Sample("shapes.eps"));
  ui->cfills->click();  // fills hidden: only the open stroke is left
  EXPECT_EQ(Shape(ui->Tree, ui->Model.PathList), "R[P5]");
  EXPECT_EQ(ui->label_nodes->text(), QStringLiteral("Group (1 Paths)"));
  ui->cLines->click();  // nothing left but the root
  EXPECT_EQ(Shape(ui->Tree, ui->Model.PathList), "R");
  EXPECT_EQ(ui->label_nodes->text(), QStringLiteral("Group (0 Paths)"));
  EXPECT_FALSE(ui->dopen->isEnabled());
  EXPECT_FALSE(ui->csel1->isEnabled());
  EXPECT_FALSE(ui->Button1->isEnabled());  // a selected root without paths
  Save(window.get(), "window-filtered.png");
  ui->cfills->click();
  ui->cLines->click();
  EXPECT_EQ(Shape(ui->Tree, ui->Model.PathList), "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
}

TEST_F(WindowTest, ViewModesChangeThePicture) {
  Load(Sample("shapes.eps"));
  const QImage solid = ui->p->Picture;
  Save(window.get(), "window-solid.png");
  ui->dviewlines->click();
  EXPECT_TRUE(ui->dviewlines->isChecked());
  EXPECT_FALSE(ui->dviewsolid->isChecked());
  const QImage wire = ui->p->Picture;
  Save(window.get(), "window-wireframe.png");
  ui->dviewcw->click();
  const QImage orientation = ui->p->Picture;
  Save(window.get(), "window-orientation.png");
  ui->dviewcw->click();  // pressing the down button again keeps it down
  EXPECT_TRUE(ui->dviewcw->isChecked());
  EXPECT_NE(solid, wire);
  EXPECT_NE(wire, orientation);
  // The red square of shapes.eps is filled in Solid mode only: look at its middle.
  const auto& m = ui->Mapping;
  const int x = int(m.OffsetX + (72 - m.OriginX) * m.Scale),
            y = int(m.OffsetY + (72 - m.OriginY) * m.Scale);
  EXPECT_EQ(solid.pixelColor(x, y), QColor(255, 0, 0));
  EXPECT_EQ(wire.pixelColor(x, y), QColor(255, 255, 255));
}

TEST_F(WindowTest, APathRecolouredWithASystemColourIsDrawnInIt) {
  Load(Sample("shapes.eps"));
  ui->SelectNode(ui->Tree.First()->Children[1]);  // the white rectangle, 144..252 x 144..198
  ui->TreeView1Change();
  ui->csel1->SetSelectionColor(SystemColorValue(13));  // "highlight", as the drop-down gives it
  ASSERT_EQ(ui->Model.PathList[4].FillColor, SystemColorValue(13));
  const QColor highlight = window->palette().color(QPalette::Active, QPalette::Highlight);
  ASSERT_NE(highlight, QColor(13, 0, 0));  // what the value's low bytes would give
  const ScreenMapping& m = ui->Mapping;
  const int x = static_cast<int>(MapX(m, 198)), y = static_cast<int>(MapY(m, 171));
  EXPECT_EQ(ui->p->Picture.pixelColor(x, y), highlight);
}

TEST_F(WindowTest, ALoneHorizontalLineGivesAWhitePicture) {
  const auto file = drive_ / "line.eps";
  std::ofstream(file) << "%%EndSetup\n0 0 0 1 K\n10 20 m\n200 20 l\nS\n";
  Load(file.string());
  ASSERT_EQ(ui->Model.PathList.size(), 1u);
  const QImage& picture = ui->p->Picture;
  for (int y = 0; y < picture.height(); y += 3)
    for (int x = 0; x < picture.width(); x += 3)
      ASSERT_EQ(picture.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
  EXPECT_TRUE(ui->Button1->isEnabled());  // the tree holds a path
}

TEST_F(WindowTest, ImportWritesWhatTheBatchModeWritesAndEnds) {
  Load(Sample("shapes.eps"));
  ui->cReduce->setChecked(true);
  ui->cAutofix->setChecked(true);
  ui->Button1->click();
  ASSERT_TRUE(ui->WaitForWork());
  EXPECT_TRUE(messages.empty()) << messages.front();
  ASSERT_TRUE(std::filesystem::exists(DotFile()));
  EXPECT_FALSE(window->isVisible());  // the program ends
  // "Auto-Fix Holes" drew the output in the preview: anticlockwise outlines in dark blue.
  bool darkBlue = false;
  const QImage& picture = ui->p->Picture;
  for (int y = 0; y < picture.height() && !darkBlue; ++y)
    for (int x = 0; x < picture.width() && !darkBlue; ++x)
      darkBlue = picture.pixelColor(x, y) == QColor(0, 0, 0x80);
  EXPECT_TRUE(darkBlue);
  EXPECT_EQ(ui->label_nodes->text(), QStringLiteral("Generating Output"));

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
  ui->Button1->click();
  ASSERT_TRUE(ui->WaitForWork());
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "Error (b) maing Dir c:\\windows\\temp");
  EXPECT_EQ(messages[1].rfind("error: ", 0), 0u);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->isEnabled());
  EXPECT_EQ(Shape(ui->Tree, ui->Model.PathList), "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
  EXPECT_TRUE(std::filesystem::is_regular_file(drive_ / "windows" / "temp"));

  // Put right, a second "Import" writes the file and ends.
  std::filesystem::remove(drive_ / "windows" / "temp");
  messages.clear();
  ui->Button1->click();
  ASSERT_TRUE(ui->WaitForWork());
  EXPECT_TRUE(std::filesystem::exists(DotFile()));
  EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTest, ImportWithNothingInTheTree) {
  Load(Sample("shapes.eps"));
  ui->cfills->click();
  ui->cLines->click();
  ui->Button1Click();  // the button is disabled; the command itself still refuses
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
    if (++pumps == abortAt_) Button1Click();  // on the reading's thread: the button's handler
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
  ui->fabort.reset(dialog);
  Load(file.string());
  EXPECT_TRUE(ui->Tree.Empty());
  EXPECT_TRUE(ui->Model.PathList.empty());
  EXPECT_FALSE(ui->Button1->isEnabled());
  EXPECT_TRUE(window->isEnabled());
  EXPECT_FALSE(dialog->isVisible());
  // The interpretation still runs, on no lines: its phase text is the last one shown.
  EXPECT_EQ(dialog->Label1->text(), QStringLiteral("Interpreting File    (0 Lines)"));
}

TEST_F(WindowTest, AbortWhileInterpreting) {
  std::string text = "%%EndSetup\n";
  for (int i = 0; i < 100; ++i)
    text += "1 1 m\n2 1 l\nf\n";
  const auto file = drive_ / "lines.eps";
  std::ofstream(file) << text;
  // One pump while loading (byte 1), then the interpreter's at lines 0, 100, 200.
  auto* dialog = new AbortingDialog(3);
  ui->fabort.reset(dialog);
  Load(file.string());
  EXPECT_EQ(dialog->pumps, 3);
  EXPECT_TRUE(ui->Tree.Empty());
  EXPECT_TRUE(ui->Model.PathList.empty());
  EXPECT_FALSE(ui->Button1->isEnabled());
  EXPECT_EQ(dialog->ProgressBar1->value(), 0);
  EXPECT_EQ(dialog->Label1->text(), QStringLiteral("Interpreting File    (301 Lines)"));
}

TEST_F(WindowTest, ProgressDialogPicture) {
  Tfabort* dialog = ui->fabort.get();
  dialog->SetPhaseText("Interpreting File    (4,065,630 Lines)");
  dialog->SetMaximum(4065630);
  dialog->SetPosition(1500000);
  dialog->show();
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Processing File"));
  EXPECT_EQ(dialog->size(), QSize(255, 87));
  EXPECT_EQ(dialog->Button1->text(), QStringLiteral("Abort"));
  Save(dialog, "progress-dialog.png");
  // Esc presses "Abort": it only sets the flag.
  QTest::keyClick(dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog->AbortRequested());
  EXPECT_TRUE(dialog->isVisible());
  dialog->hide();
}

TEST_F(WindowTest, ReloadAfterEditsRestoresTheFile) {
  Load(Sample("shapes.eps"));
  ui->cFlag->click();
  EXPECT_TRUE(ui->cFlag->isChecked());
  ui->Reload1->trigger();
  ASSERT_TRUE(ui->WaitForWork());
  EXPECT_FALSE(ui->cFlag->isChecked());  // every reload unchecks it
  EXPECT_EQ(Shape(ui->Tree, ui->Model.PathList), "R[G[P0,G[P1],C2[P2,P3]],P4,P5]");
}

TEST_F(WindowTest, ReadingOptionsWaitForTheNextReload) {
  Load(Sample("shapes.eps"));
  const float y = ui->Model.PathList[0].Items[0].Y1;
  ui->Flip_Vertical->click();
  EXPECT_EQ(ui->Model.PathList[0].Items[0].Y1, y);
  ui->Reload1->trigger();
  ASSERT_TRUE(ui->WaitForWork());
  EXPECT_EQ(ui->Model.PathList[0].Items[0].Y1, -y);
}

TEST_F(WindowTest, AnUnreadablePdfSaysWhyInTheStatusBar) {
  const std::filesystem::path truncated =
      std::filesystem::path(AIIMPORT_CORPUS_DIR) / "sindresorhus-fixture.ai";
  if (!std::filesystem::exists(truncated)) GTEST_SKIP() << "corpus folder absent";
  Load(Sample("shapes.eps"));
  EXPECT_EQ(ui->StatusPanel2->text(), QString());
  Load(truncated.string());
  EXPECT_EQ(ui->StatusPanel2->text(),
            QStringLiteral("This PDF file is damaged or incomplete and cannot be read"));
  EXPECT_TRUE(ui->Tree.Empty());
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
  QApplication::processEvents();  // the drop's load starts
  ASSERT_TRUE(ui->WaitForWork());
  EXPECT_TRUE(ui->StatusPanel1->text().endsWith(QStringLiteral("leaf-cr.ai")));
  EXPECT_EQ(ui->Model.PathList.size(), 2u);
  // Other files are refused.
  auto* other = new QMimeData;
  other->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/picture.png"))});
  QDragEnterEvent refused(QPoint(300, 200), Qt::CopyAction, other, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &refused);
  EXPECT_FALSE(refused.isAccepted());
  delete mime;
  delete other;
}

TEST_F(WindowTest, AMissingFileLeavesTheTreeEmpty) {
  Load((drive_ / "gone.ai").string());
  EXPECT_TRUE(ui->Tree.Empty());
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace aiimport::testing

namespace aiimport::testing {
namespace {

TEST_F(WindowTest, TheCommandLinesFileIsLoadedOnTheFirstPaint) {
  auto second = std::make_unique<Tfmain>(std::vector<std::string>{Sample("leaf-cr.ai"), "ignored"});
  TfmainTestAccess secondUi(*second);
  secondUi.ShowMessage = [this](const QString& text, bool) {
    messages.push_back(text.toStdString());
  };
  EXPECT_TRUE(secondUi.Model.PathList.empty());
  second->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(second.get()));
  QApplication::processEvents();  // the first paint's load starts
  ASSERT_TRUE(secondUi.WaitForWork());
  EXPECT_EQ(secondUi.Model.PathList.size(), 2u);
  EXPECT_EQ(
      QDir::fromNativeSeparators(secondUi.StatusPanel1->text()).toStdString(),
      QFileInfo(QString::fromStdString(Sample("leaf-cr.ai"))).absoluteFilePath().toStdString());
  // A first argument that names no file leaves the window empty.
  auto third = std::make_unique<Tfmain>(std::vector<std::string>{"/no/such/drawing.ai"});
  TfmainTestAccess thirdUi(*third);
  third->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(third.get()));
  QApplication::processEvents();
  ASSERT_TRUE(thirdUi.WaitForWork());
  EXPECT_TRUE(thirdUi.Tree.Empty());
  EXPECT_EQ(thirdUi.StatusPanel1->text(), QString());
}

TEST_F(WindowTest, EscapeAndExitCloseWithoutOutput) {
  Load(Sample("shapes.eps"));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(std::filesystem::exists(DotFile()));
  window->show();
  ui->Exit1->trigger();
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(std::filesystem::exists(DotFile()));
}

TEST_F(WindowTest, TheTreesHintIsTheCaptionUnderTheMouse) {
  Load(Sample("shapes.eps"));
  const QModelIndex group =
      ui->TreeView1->model()->index(0, 0, ui->TreeView1->model()->index(0, 0));
  const QRect row = ui->TreeView1->visualRect(group);
  QTest::mouseMove(ui->TreeView1->viewport(), row.center());
  EXPECT_EQ(ui->TreeView1->toolTip(), QStringLiteral("Group"));
  QTest::mouseMove(ui->TreeView1->viewport(), QPoint(5, ui->TreeView1->viewport()->height() - 2));
  EXPECT_EQ(ui->TreeView1->toolTip(), QString());
}

TEST_F(WindowTest, ZoomToObjectFromTheMenuFitsOnceWithoutPressingTheButton) {
  Load(Sample("shapes.eps"));
  ui->SelectNode(ui->Tree.First()->Children[1]);  // the white rectangle, 144..252 x 144..198
  ui->ZoomIN1->trigger();
  EXPECT_FALSE(ui->dzoomin->isChecked());
  EXPECT_EQ(ui->Model.ViewExtent, (FloatRect{144, 144, 252, 198}));
  ui->dzoomin->click();
  EXPECT_TRUE(ui->dzoomin->isChecked());
  EXPECT_EQ(ui->Model.ViewExtent, (FloatRect{144, 144, 252, 198}));
}

}  // namespace
}  // namespace aiimport::testing
