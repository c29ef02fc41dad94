#include "mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <exception>
#include <filesystem>
#include <system_error>

#include "abortdialog.h"
#include "application.h"
#include "colorpickerbutton.h"
#include "editing.h"
#include "infopanel.h"
#include "qtcolour.h"
#include "treemodel.h"

namespace aiimport {

namespace {

// Sets a value for as long as the guard lives and puts the old one back afterwards, also when
// an exception passes.
class Remember {
 public:
  Remember(bool& flag, bool value) : flag_(flag), old_(flag) { flag_ = value; }
  ~Remember() { flag_ = old_; }

 private:
  bool& flag_;
  bool old_;
};

}  // namespace

bool IsDrawingFileName(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  return suffix == QLatin1String("ai") || suffix == QLatin1String("eps");
}

// --- construction --------------------------------------------------------------------------

Tfmain::Tfmain(std::vector<std::string> arguments, QWidget* parent)
    : QMainWindow(parent),
      arguments_(std::move(arguments)),
      preview_(Model, {[this] { return DrawingSettings(); },
                       [this](bool enabled) { Button1->setEnabled(enabled); },
                       [this](PreviewPicture picture) { ShowPicture(std::move(picture)); },
                       [this](std::exception_ptr error) {
                         reload_.PictureShown();
                         Guarded([error] { std::rethrow_exception(error); });
                       }}),
      import_(Output, ShowMessage),
      // The window sees the Delete key before any control (it is not consumed).
      deleteKey_(*this, [this] { Guarded([this] { DeleteExecute(); }); }) {
  setObjectName("fmain");
  ShowMessage = [this](const QString& text, bool error) {
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::NoIcon, ApplicationTitle(), text,
                    QMessageBox::Ok,
                    QApplication::activeWindow() ? QApplication::activeWindow() : this);
    box.exec();
  };
  setWindowTitle(QStringLiteral("AI/EPS Import Module  \u00A9 2026 the aiimport authors"));
  setAcceptDrops(true);
  QFont font = QApplication::font();
  font.setPointSize(8);
  setFont(font);

  Build(*this);
  model_ = new TreeModel(Tree, this);
  TreeView1->setModel(model_);
  ConnectCommands();

  // FormCreate: the edition after the caption, the host directory made ready and an output
  // file left from an earlier run deleted, so the host never sees it after a cancelled run.
  setWindowTitle(windowTitle() + QStringLiteral(" (Tarvel Edition)"));
  try {
    SystemHostPlatform platform = WindowHostPlatform(ShowMessage);
    const std::string dir = ResolveHostTempDir(platform);
    if (!platform.DirectoryExists(dir) && !platform.MakeDirectory(dir))
      platform.ShowMessage("Error (b) maing Dir " + dir);
    std::error_code ignored;
    std::filesystem::remove(platform.LocalPath(DotFileNameIn(dir)), ignored);
  } catch (const std::exception&) {
    // The directory is worked out again at "Import", which reports what still fails.
  }
}

Tfmain::~Tfmain() {
  // A reading or an import under way ends first (a reading is aborted).
  reload_.Abort();
  import_.Wait();
  // FormDestroy: the paths go, the tree is emptied.
  preview_.Stop();
  reload_.Dialog().reset();
  Tree.Clear();
  // The tree's model goes before the tree it observes: as a child of this window Qt would
  // delete it only after the window's members, the tree among them, are gone.
  delete model_;
  model_ = nullptr;
  ClearPaths(Model.PathList);
  ClearPaths(Output.OutputList);
}

void Tfmain::SetProgressDialog(std::unique_ptr<Tfabort> dialog) {
  reload_.Dialog() = std::move(dialog);
}

void Tfmain::ConnectCommands() {
  const auto on = [this](auto* sender, auto signal, std::function<void()> handler) {
    connect(sender, signal, this, [this, handler] { Guarded(handler); });
  };
  // The buttons. Cancel is the window's cancel button: Esc presses it.
  on(Button3, &QPushButton::clicked, [this] { Button3Click(); });
  on(Button2, &QPushButton::clicked, [this] { Button2Click(); });
  on(Button1, &QPushButton::clicked, [this] { Button1Click(); });
  on(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated,
     [this] { Button2Click(); });

  // The tree, the preview and the filters.
  connect(TreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (UiUpdating) return;
            Guarded([&] {
              Tree.Select(TreeModel::NodeAt(current));
              TreeView1Change();
            });
          });
  p->OnPaint = [this] { Guarded([this] { pPaint(); }); };
  p->OnMouseDown = [this](Qt::MouseButton button, int x, int y) {
    Guarded([&] { pMouseDown(button, x, y); });
  };
  p->OnMouseMove = [this](int x, int y) { Guarded([&] { pMouseMove(x, y); }); };
  p->OnMouseUp = [this](int x, int y) { Guarded([&] { pMouseUp(x, y); }); };
  for (QCheckBox* b : {cFlag, cfills, cLines})
    on(b, &QCheckBox::clicked, [this] { cLinesClick(); });

  // The tool bar.
  on(dzoomall, &QToolButton::clicked, [this] { ZoomAllExecute(); });
  on(dzoomin, &QToolButton::clicked, [this] { dzoominClick(); });
  on(ToolButton5, &QToolButton::clicked, [this] { RenderPreview(RenderRequest::RepaintAll); });
  for (QToolButton* b : {dviewsolid, dviewlines, dviewcw})
    on(b, &QToolButton::clicked, [this] { RenderPreview(RenderRequest::KeepExtent); });
  on(ToolButton12, &QToolButton::clicked, [this] { DeleteExecute(); });
  on(ToolButton15, &QToolButton::clicked, [this] { BreakApartExecute(); });
  for (QToolButton* b : {dopen, dclosed, dclear, dsolid, dflag})
    on(b, &QToolButton::clicked, [this, b] { dopenClick(b); });
  on(dhelp, &QToolButton::clicked, [this] { dhelpClick(); });
  csel1->OnChange = [this](TColorPickerButton*) { Guarded([this] { csel1Change(); }); };
  csel1->OnClick = [this](TColorPickerButton*) { Guarded([this] { csel1Click(); }); };

  // The menus.
  const auto menu = [&](QAction* action, std::function<void()> handler) {
    on(action, &QAction::triggered, std::move(handler));
  };
  menu(Reload1, [this] { Reload1Click(); });
  menu(Exit1, [this] { Button2Click(); });
  menu(Delete1, [this] { DeleteExecute(); });
  menu(tofront1, [this] { tofrontExecute(); });
  menu(BreakApart1, [this] { tobackExecute(); });
  menu(UpOne1, [this] { uponeExecute(); });
  menu(downone1, [this] { downoneExecute(); });
  menu(FlagSelected1, [this] { dopenClick(dflag); });
  menu(OpenSelected1, [this] { dopenClick(dopen); });
  menu(CloseSelected1, [this] { dopenClick(dclosed); });
  menu(SolidSelected1, [this] { dopenClick(dsolid); });
  menu(ClearSelected1, [this] { dopenClick(dclear); });
  menu(ZoomAll1, [this] { ZoomAllExecute(); });
  menu(Zoom1, [this] { Zoom1Click(); });
  menu(ZoomIN1, [this] { ZoomINExecute(); });
  menu(RedrawAll1, [this] { RenderPreview(RenderRequest::RepaintAll); });
  menu(EnancedView1, [this] { RenderPreview(RenderRequest::KeepExtent); });
  menu(Help2, [this] { dhelpClick(); });
}

// --- errors --------------------------------------------------------------------------------

void Tfmain::ReportError(const QString& message) {
  ShowMessage(message, true);
}

void Tfmain::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ReportError(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ReportError(QStringLiteral("An unexpected error occurred."));
  }
}

// --- files ---------------------------------------------------------------------------------

void Tfmain::Button3Click() {
  const QString name =
      QFileDialog::getOpenFileName(this, QStringLiteral("Select ai/eps file"),
                                   QFileInfo(QString::fromStdString(SourceFileName)).absolutePath(),
                                   QStringLiteral("AI/EPS Files (*.ai *.eps *.AI *.EPS)"));
  if (name.isEmpty()) return;
  LoadFile(name);
}

void Tfmain::LoadFile(const QString& fileName) {
  const QString full = QFileInfo(fileName).absoluteFilePath();
  StatusPanel1->setText(QDir::toNativeSeparators(full));
  SourceFileName = full.toStdString();
  Reload1Click();
}

void Tfmain::Reload1Click() {
  if (!isEnabled()) return;  // a reload is running
  preview_.Stop();
  // The preview goes white, the tree empty, and the last file's status is gone.
  p->Canvas().fill(Qt::white);
  p->update();
  StatusPanel2->setText(QString());
  {
    Remember updating(UiUpdating, true);
    cFlag->setChecked(false);
    TreeView1->collapseAll();
    Tree.Clear();
  }
  // Nor does the panel describe the last file's selection while this one is read.
  UpdateInfoPanel();
  for (QLabel* label : {label_nodes, label_width, label_height})
    label->clear();
  SetShapeColour(Shape1, 0xFFFFFF);
  SetShapeColour(Shape2, 0xFFFFFF);
  preview_.Invalidate();
  std::error_code ec;
  if (SourceFileName.empty() || !std::filesystem::is_regular_file(SourceFileName, ec)) {
    RefreshView();
    return;
  }
  // The file is read on a thread of its own; the window stays disabled until the tree is
  // filled (ReadingEnded).
  UiUpdating = true;
  setEnabled(false);
  try {
    reload_.Start(
        SourceFileName, ReadingOptions(), [this](std::string_view text) { DrawLineCounter(text); },
        [this](std::exception_ptr error) { Guarded([&] { ReadingEnded(error); }); });
  } catch (...) {
    UiUpdating = false;
    setEnabled(true);
    throw;  // reported by the general error handling
  }
}

void Tfmain::ReadingEnded(std::exception_ptr error) {
  // However the reading ended, also with an error: the line counter wiped from the preview, the
  // tree filled from what the path list holds while the window is still disabled (its controls
  // must not look usable before the tree is there), then the window back and focused. A large
  // drawing goes on on the drawing thread.
  p->Canvas().fill(Qt::white);
  p->update();
  Q_EMIT ReadingFinished();
  struct Enable {
    Tfmain& w;
    ~Enable() {
      w.UiUpdating = false;
      w.setEnabled(true);
      w.activateWindow();
      w.raise();
    }
  };
  {
    const Enable enableAfter{*this};
    RefreshView();
    if (error) std::rethrow_exception(error);  // reported by the general error handling
    // The status bar's last panel says why a file could not be read or gave nothing, how it
    // was read when that is not the plain way, and what it holds that was not imported.
    StatusPanel2->setText(reload_.StatusText(preview_.TreePathCount()));
  }
}

void Tfmain::LoadFromCommandLine() {
  preview_.Stop();
  ClearPaths(Model.PathList);
  ClearPaths(Output.OutputList);
  SourceFileName.clear();
  for (const std::string& argument : arguments_) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(argument, ec)) {
      LoadFile(QString::fromStdString(argument));
      return;
    }
    break;  // only the first argument counts
  }
}

void Tfmain::dhelpClick() {
  // The viewer beside the program, else the user guide; the status bar says when neither opens.
  const QString problem = OpenHelp(HelpViewers);
  if (!problem.isEmpty()) StatusPanel2->setText(problem);
}

void Tfmain::Button2Click() {
  close();
}

void Tfmain::closeEvent(QCloseEvent* event) {
  // No closing while a file is read (the progress dialog's "Abort" stops it) or imported.
  if (!isEnabled()) {
    event->ignore();
    return;
  }
  event->accept();
}

// --- tree, panel and preview ---------------------------------------------------------------

TreeFilters Tfmain::Filters() const {
  return {cFlag->isChecked(), cfills->isChecked(), cLines->isChecked()};
}

ReadOptions Tfmain::ReadingOptions() const {
  ReadOptions options;
  options.FlipVertical = Flip_Vertical->isChecked();
  options.ParseEverything = ParseEverything1->isChecked();
  options.Reader = ReadIllustrator->isChecked() ? ReadAs::IllustratorOperators
                   : ReadPage->isChecked()      ? ReadAs::PageDrawing
                                                : ReadAs::Automatic;
  return options;
}

PreviewInput Tfmain::DrawingSettings() const {
  PreviewInput input;
  input.ViewMode = ViewModeFromButtons(dviewsolid->isChecked(), dviewcw->isChecked());
  input.Enhanced = EnancedView1->isChecked();
  input.Width = p->width();
  input.Height = p->height();
  input.Palette = palette();
  return input;
}

void Tfmain::SelectNode(TreeNode* node) {
  Remember updating(UiUpdating, true);
  Tree.Select(node);
  const QModelIndex index = model_->IndexOf(node);
  TreeView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  if (index.isValid()) TreeView1->scrollTo(index);
}

void Tfmain::RefreshView() {
  {
    Remember updating(UiUpdating, true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
      ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    try {
      // The boxes and the extent, and a large drawing started ahead while the tree is filled.
      preview_.PrepareTree(Filters());
      BuildTree(Tree, Model.PathList, Filters());
      // The root opens one level, so that the file's groups are in view.
      if (TreeNode* first = Tree.First()) TreeView1->expand(model_->IndexOf(first));
      SelectNode(Tree.First());
    } catch (...) {
      UiUpdating = false;
      UpdateInfoPanel();
      RenderPreview(RenderRequest::FitAll);
      throw;
    }
  }
  UiUpdating = false;
  UpdateInfoPanel();
  RenderPreview(RenderRequest::FitAll);
}

void Tfmain::UpdateInfoPanel() {
  const InfoPanelState s = ComputeInfoPanel(Tree, Model.ViewExtent);
  label_width->setText(QString::fromStdString(s.Width));
  label_height->setText(QString::fromStdString(s.Height));
  Remember updating(UiUpdating, true);
  dopen->setChecked(s.OpenDown);
  dclosed->setChecked(s.ClosedDown);
  dclear->setChecked(s.ClearDown);
  dsolid->setChecked(s.SolidDown);
  csel1->SetSelectionColor(s.ButtonColor);
  if (s.FillShape) SetShapeColour(Shape1, *s.FillShape);
  if (s.LineShape) SetShapeColour(Shape2, *s.LineShape);
  for (QWidget* w : std::initializer_list<QWidget*>{dopen, dclosed, dclear, dsolid, csel1, dflag})
    w->setEnabled(s.HasPath);
  label_nodes->setText(QString::fromStdString(s.Description));
}

void Tfmain::TreeView1Change() {
  if (UiUpdating) return;
  RenderPreview(dzoomin->isChecked() ? RenderRequest::KeepExtent : RenderRequest::FitAll);
  UpdateInfoPanel();
}

void Tfmain::cLinesClick() {
  if (UiUpdating) return;
  RefreshView();
}

void Tfmain::ShowPicture(PreviewPicture picture) {
  Mapping = picture.Mapping;
  if (picture.ImportEnabled) Button1->setEnabled(*picture.ImportEnabled);
  p->Picture = picture.Image.isNull() ? QImage() : std::move(picture.Image);
  p->Refresh();
  Q_EMIT PreviewShown();
  reload_.PictureShown();  // the reading's picture is complete
}

void Tfmain::pPaint() {
  if (p->Tag == 10) {
    // The first paint: the window is on screen, so the file named on the command line is
    // loaded now, right after this paint.
    p->Tag = 0;
    QTimer::singleShot(0, this, [this] { Guarded([this] { LoadFromCommandLine(); }); });
    p->Canvas().fill(Qt::white);
    return;
  }
  // A new size is drawn anew, unless a drawing for this size is on its way.
  if (p->Picture.size() != p->size() && isEnabled() && preview_.DrawingSize() != p->size())
    RenderPreview(RenderRequest::KeepExtent);
}

void Tfmain::DrawLineCounter(std::string_view text) {
  // Shown at the next handling of events; only the counter's cell is painted again.
  p->update(aiimport::DrawLineCounter(p->Canvas(), std::string(text), p->font()));
}

// --- zoom and mouse ------------------------------------------------------------------------

void Tfmain::ZoomAllExecute() {
  TreeNode* first = Tree.First();
  if (first != Tree.Selected()) {
    // Selecting a different node is a selection change.
    SelectNode(first);
    TreeView1Change();
  }
  RenderPreview(RenderRequest::FitAll);
}

void Tfmain::dzoominClick() {
  RenderPreview(RenderRequest::FitSelection);
}

void Tfmain::ZoomINExecute() {
  RenderPreview(RenderRequest::FitSelection);
}

void Tfmain::Zoom1Click() {
  dzoom->setChecked(true);
}

void Tfmain::pMouseDown(Qt::MouseButton, int x, int y) {
  if (dzoom->isChecked()) {
    ZoomRect = {x, y, x, y};
    p->FocusRect = ZoomRect;
    p->update();
    ZoomDragging = true;
    return;
  }
  // Pick the smallest path box under the mouse, the earliest in tree order on a tie.
  std::vector<std::pair<TreeNode*, const tpath*>> nodes;
  for (TreeNode* n = Tree.First(); n; n = Tree.Next(n))
    if (n->Path) nodes.emplace_back(n, n->Path);
  TreeNode* chosen = PickNode(nodes, Mapping, x, y, Tree.Selected());
  if (chosen != Tree.Selected()) {
    SelectNode(chosen);
    TreeView1Change();
  }
}

void Tfmain::pMouseMove(int x, int y) {
  if (ZoomDragging && dzoom->isChecked()) {
    ZoomRect.Right = x;
    ZoomRect.Bottom = y;
    p->FocusRect = ZoomRect;
    p->update();
    return;
  }
  if (!ZoomDragging) p->setCursor(dzoom->isChecked() ? Qt::CrossCursor : Qt::ArrowCursor);
}

void Tfmain::pMouseUp(int, int) {
  if (!ZoomDragging) return;
  ZoomDragging = false;
  p->FocusRect.reset();
  p->update();
  if (!dzoom->isChecked()) return;
  dzoom->setChecked(false);
  p->setCursor(Qt::ArrowCursor);
  const std::optional<FloatRect> extent = ZoomAreaExtent(ZoomRect, Mapping);
  if (!extent) return;  // the last drawing had no scale to go back through
  Model.ViewExtent = *extent;
  dzoomin->setChecked(true);
  dzoomall->setChecked(false);
  RenderPreview(RenderRequest::KeepExtent);
}

// --- editing -------------------------------------------------------------------------------

void Tfmain::DeleteExecute() {
  if (!Tree.Selected()) return;
  {
    Remember updating(UiUpdating, true);
    DeleteSelected(Tree);
  }
  SelectNode(Tree.Selected());
  TreeView1Change();
}

void Tfmain::BreakApartExecute() {
  preview_.Stop();
  struct Rebuild {
    Tfmain& w;
    ~Rebuild() { w.preview_.Invalidate(); }
  } rebuild{*this};
  Remember updating(UiUpdating, true);
  BreakApart(Tree, Model.PathList, Filters());
  TreeView1->selectionModel()->clearCurrentIndex();
  if (TreeNode* first = Tree.First()) TreeView1->expand(model_->IndexOf(first));
}

void Tfmain::uponeExecute() {
  UpOneLevel(Tree);
  if (TreeNode* s = Tree.Selected()) {
    TreeView1->expand(model_->IndexOf(s->Parent));
    SelectNode(s);
  }
}

void Tfmain::downoneExecute() {
  TreeNode* s = Tree.Selected();
  if (!s) return;
  DownOneLevel(Tree);
  TreeView1->expand(model_->IndexOf(s->Parent));
  SelectNode(s);
}

void Tfmain::tofrontExecute() {
  BringToFront(Tree);
  if (TreeNode* s = Tree.Selected()) SelectNode(s);
}

void Tfmain::tobackExecute() {
  SendToBack(Tree);
  if (TreeNode* s = Tree.Selected()) SelectNode(s);
}

void Tfmain::dopenClick(QObject* sender) {
  if (!Tree.Selected()) return;
  preview_.Stop();  // the paths change
  PathChange change = PathChange::None;
  if (sender == dopen) change = PathChange::Open;
  if (sender == dclosed) change = PathChange::Close;
  if (sender == dclear) change = PathChange::NoFill;
  if (sender == dsolid) change = PathChange::SolidFill;
  if (sender == csel1) change = PathChange::Colour;
  if (sender == dflag) change = ToggleListChange(cFlag->isChecked());
  const TColor colour = csel1->SelectionColor();
  ApplyToSelection(Tree, change, colour);
  if (change == PathChange::Unflag || change == PathChange::Flag) {
    // The node has left the tree; the tree's new selection counts as a selection change.
    SelectNode(Tree.Selected());
  }
  preview_.Invalidate();
  TreeView1Change();
}

void Tfmain::csel1Change() {
  if (UiUpdating) return;
  dopenClick(csel1);
}

void Tfmain::csel1Click() {
  QColorDialog dialog(ToQColor(csel1->SelectionColor(), palette()), this);
  if (dialog.exec() != QDialog::Accepted) return;
  csel1->SetSelectionColor(FromQColor(dialog.selectedColor()));
}

// --- drag and drop -------------------------------------------------------------------------

void Tfmain::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (isEnabled() && urls.size() == 1 && urls.front().isLocalFile() &&
      IsDrawingFileName(urls.front().toLocalFile()))
    event->acceptProposedAction();
}

void Tfmain::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty()) return;
  const QString file = urls.front().toLocalFile();
  event->acceptProposedAction();
  QTimer::singleShot(0, this, [this, file] { Guarded([this, file] { LoadFile(file); }); });
}

// --- import --------------------------------------------------------------------------------

void Tfmain::Button1Click() {
  preview_.Stop();  // the import may draw on the preview
  const std::vector<tpath*> list = TreePaths(Tree);
  const std::vector<const tpath*> paths(list.begin(), list.end());
  // "Auto-Fix Holes" draws the output over the preview while it works; a failed import puts the
  // preview and its caption back.
  import_.Start(paths, {cReduce->isChecked(), cAutofix->isChecked()}, *p, *label_nodes, palette(),
                [this, preview = p->Picture](std::exception_ptr error) {
                  Guarded([&] { ImportEnded(error, preview); });
                });
}

void Tfmain::ImportEnded(std::exception_ptr error, const QImage& preview) {
  if (error) {
    p->Picture = preview;
    p->Refresh();
    UpdateInfoPanel();
    std::rethrow_exception(error);  // reported by the general error handling; the window stays
  }
  // Done: the program ends (the cursor stays the hour-glass until it has).
  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
  close();
}

}  // namespace aiimport
