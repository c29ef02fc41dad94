#include "mainwindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

#include "abortdialog.h"
#include "application.h"
#include "colorpickerbutton.h"
#include "editing.h"
#include "icons.h"
#include "importchain.h"
#include "infopanel.h"
#include "parallel.h"
#include "qtcolour.h"
#include "readfile.h"
#include "treemodel.h"

namespace aiimport {

namespace {

const QColor DarkBlue(0x00, 0x00, 0x80);

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

// The window's side of the import steps: the "Nodes:" caption, the event pump, the cursor and
// the preview the orientation correction draws on.
class WindowConvertView : public Progress, public OrientationCanvas {
 public:
  // The caption is "Nodes:"'s label, the box the preview; system colours from the palette.
  WindowConvertView(QLabel& caption, TPaintBox& box, const QPalette& palette)
      : caption_(caption), box_(box), palette_(palette) {}
  void ShowStatus(std::string_view text) override {
    caption_.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }
  // Once per path during the orientation correction. The window is brought up to date (the
  // caption, the drawing so far) at most every 40 ms, so that a drawing of a hundred thousand
  // paths is not slowed down by as many repaints.
  void ProcessEvents() override {
    if (pumped_.isValid() && pumped_.elapsed() < 40) return;
    painter_.reset();  // the lines so far, finished before they are shown
    box_.update();
    QApplication::processEvents();
    pumped_.start();
  }
  void BeginBusy() override { QApplication::setOverrideCursor(Qt::WaitCursor); }
  void EndBusy() override { QApplication::restoreOverrideCursor(); }
  int Width() const override { return box_.width(); }
  int Height() const override { return box_.height(); }
  void Clear() override {
    painter_.reset();
    box_.Canvas().fill(Qt::white);
  }
  void SetPen(TColor colour) override {
    pen_ = ToQColor(colour, palette_);
    if (painter_) painter_->setPen(QPen(pen_, 0));
  }
  void MoveTo(int x, int y) override { at_ = QPoint(x, y); }
  void LineTo(int x, int y) override {
    if (!painter_) {
      painter_.emplace(&box_.Canvas());
      painter_->setPen(QPen(pen_, 0));
    }
    painter_->drawLine(at_, QPoint(x, y));
    at_ = QPoint(x, y);
  }

 private:
  QLabel& caption_;
  TPaintBox& box_;
  QPalette palette_;
  QColor pen_ = Qt::black;
  QPoint at_;
  QElapsedTimer pumped_;
  std::optional<QPainter> painter_;  // open on the picture between two pumps
};

constexpr std::size_t MinPathsPerBoxThread = 20000;

// Every path's box, the list cut into runs for the threads the long steps use (each path's box
// is its own, so the boxes are the same whatever the number).
void BoxEveryPath(std::deque<tpath>& paths) {
  const std::size_t threads =
      std::min<std::size_t>(ThreadCount(), paths.size() / MinPathsPerBoxThread + 1);
  const std::size_t share = paths.size() / std::max<std::size_t>(1, threads);
  const auto run = [&paths, share, threads](std::size_t k) {
    const std::size_t end = k + 1 == threads ? paths.size() : share * (k + 1);
    for (std::size_t i = share * k; i < end; ++i)
      PathBox(paths[i]);
  };
  std::vector<std::thread> workers;
  std::size_t k = 1;
  try {
    for (; k < threads; ++k)
      workers.emplace_back(run, k);
  } catch (const std::system_error&) {
    // No more threads: this one does the rest.
  }
  run(0);
  for (std::size_t rest = k; rest < threads; ++rest)
    run(rest);
  for (std::thread& worker : workers)
    worker.join();
}

// The host directory's platform with the window's messages (`show`, which outlives it).
SystemHostPlatform WindowHostPlatform(
    const std::function<void(const QString& text, bool error)>& show) {
  return SystemHostPlatform(
      [&show](const std::string& text) { show(QString::fromStdString(text), false); });
}

}  // namespace

bool IsDrawingFileName(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  return suffix == QLatin1String("ai") || suffix == QLatin1String("eps");
}

// --- the paint box -------------------------------------------------------------------------

TPaintBox::TPaintBox(Tfmain* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setObjectName("p");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

QImage& TPaintBox::Canvas() {
  if (Picture.size() != size()) {
    Picture = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    Picture.fill(Qt::white);
  }
  return Picture;
}

void TPaintBox::Refresh() {
  if (!painting_) update();
}

void TPaintBox::paintEvent(QPaintEvent* event) {
  painting_ = true;
  owner_->Guarded([this] { owner_->pPaint(); });
  painting_ = false;
  QPainter painter(this);
  // Only the part to be painted is copied.
  const QRect exposed = event->rect();
  if (Picture.isNull())
    painter.fillRect(exposed, Qt::white);
  else
    painter.drawImage(exposed, Picture, exposed);
  if (FocusRect) {
    // The platform's focus rectangle: dotted, inverting what lies below it, so that it shows on
    // any colour and vanishes when the picture is drawn again.
    const PixelRect r = NormalizeRect(*FocusRect);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white, 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1)));
  }
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  owner_->Guarded([&] { owner_->pMouseDown(event->button(), at.x(), at.y()); });
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  owner_->Guarded([&] { owner_->pMouseMove(at.x(), at.y()); });
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  owner_->Guarded([&] { owner_->pMouseUp(at.x(), at.y()); });
}

// --- construction --------------------------------------------------------------------------

Tfmain::Tfmain(std::vector<std::string> arguments, QWidget* parent)
    : QMainWindow(parent), arguments_(std::move(arguments)) {
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

  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  // The top strip: the tool bar, then Select File, Cancel and Import at the right edge.
  Panel1 = new QFrame(central);
  Panel1->setObjectName("Panel1");
  Panel1->setFixedHeight(34);
  auto* strip = new QHBoxLayout(Panel1);
  strip->setContentsMargins(0, 0, 4, 0);
  strip->setSpacing(4);
  BuildToolBar();
  strip->addWidget(ToolBar1, 1);
  Button3 = new QPushButton(QStringLiteral("Select File"), Panel1);
  Button2 = new QPushButton(QStringLiteral("Cancel"), Panel1);
  Button1 = new QPushButton(QStringLiteral("Import"), Panel1);
  Button3->setObjectName("Button3");
  Button2->setObjectName("Button2");
  Button1->setObjectName("Button1");
  QFont bold = Button1->font();
  bold.setBold(true);
  Button1->setFont(bold);
  Button1->setEnabled(false);
  for (QPushButton* b : {Button3, Button2, Button1}) {
    b->setFixedSize(75, 25);
    b->setAutoDefault(false);
    strip->addWidget(b);
  }
  outer->addWidget(Panel1);

  // The tree on the left, the drawing area on the right, with a splitter between them.
  auto* body = new QWidget(central);
  auto* bodyLayout = new QHBoxLayout(body);
  bodyLayout->setContentsMargins(3, 0, 0, 0);  // the left edge splitter strip
  bodyLayout->setSpacing(0);
  Splitter2 = new QSplitter(Qt::Horizontal, body);
  Splitter2->setObjectName("Splitter2");
  Splitter2->setHandleWidth(3);
  Splitter2->setChildrenCollapsible(false);

  TreeView1 = new QTreeView(Splitter2);
  TreeView1->setObjectName("TreeView1");
  TreeView1->setHeaderHidden(true);
  TreeView1->setUniformRowHeights(true);
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
  TreeView1->setIndentation(19);
  TreeView1->setMinimumWidth(50);
  TreeView1->setMouseTracking(true);
  TreeView1->viewport()->installEventFilter(this);
  TreeView1->setIconSize(QSize(16, 16));
  model_ = new TreeModel(Tree, this);
  TreeView1->setModel(model_);
  connect(TreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (UiUpdating) return;
            Guarded([&] {
              Tree.Select(TreeModel::NodeAt(current));
              TreeView1Change();
            });
          });

  panel_draw = new QFrame(Splitter2);
  panel_draw->setObjectName("panel_draw");
  panel_draw->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  panel_draw->setAutoFillBackground(true);
  QPalette white = panel_draw->palette();
  white.setColor(QPalette::Window, Qt::white);
  panel_draw->setPalette(white);
  auto* drawLayout = new QVBoxLayout(panel_draw);
  drawLayout->setContentsMargins(1, 1, 1, 1);
  drawLayout->setSpacing(0);
  p = new TPaintBox(this, panel_draw);
  p->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  drawLayout->addWidget(p, 1);
  panel_info = BuildInfoPanel();
  panel_info->setParent(panel_draw);
  drawLayout->addWidget(panel_info);

  Splitter2->addWidget(TreeView1);
  Splitter2->addWidget(panel_draw);
  Splitter2->setStretchFactor(1, 1);
  Splitter2->setSizes({209, 582});
  bodyLayout->addWidget(Splitter2);
  outer->addWidget(body, 1);
  setCentralWidget(central);

  // The status bar: "File", the file name, and an empty panel.
  StatusPanel0 = new QLabel(QStringLiteral("File"));
  StatusPanel1 = new QLabel();
  StatusPanel2 = new QLabel();
  // Panel widths 25, 500 and 50; the file name gives way when the last panel says why a file
  // could not be read.
  StatusPanel0->setMinimumWidth(25);
  StatusPanel1->setMinimumWidth(200);
  StatusPanel1->resize(500, StatusPanel1->height());
  StatusPanel2->setMinimumWidth(50);
  StatusPanel1->setTextInteractionFlags(Qt::TextSelectableByMouse);
  statusBar()->addWidget(StatusPanel0);
  statusBar()->addWidget(StatusPanel1, 1);
  statusBar()->addWidget(StatusPanel2);
  statusBar()->setFixedHeight(19);
  statusBar()->setSizeGripEnabled(true);

  BuildMenus();

  connect(Button3, &QPushButton::clicked, this, [this] { Guarded([this] { Button3Click(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { Guarded([this] { Button2Click(); }); });
  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
  // Cancel is the window's cancel button: Esc presses it.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [this] { Guarded([this] { Button2Click(); }); });
  // The window sees the Delete key before any control (it is not consumed).
  qApp->installEventFilter(this);

  // The client area: 794 x 554 below the menu bar, centred on the screen.
  resize(794, 554 + menuBar()->sizeHint().height());
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

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
  // FormDestroy: the paths go, the tree is emptied.
  closing_ = true;
  StopDrawing();
  fabort.reset();
  qApp->removeEventFilter(this);
  Tree.Clear();
  ClearPaths(Model.PathList);
  ClearPaths(Output.OutputList);
}

void Tfmain::SetProgressDialog(std::unique_ptr<Tfabort> dialog) {
  fabort = std::move(dialog);
}

QToolButton* Tfmain::AddToolButton(const char* name, int image, const char* hint, bool checkable) {
  auto* button = new QToolButton(ToolBar1);
  button->setObjectName(name);
  button->setIcon(ToolImage(image));
  button->setIconSize(QSize(20, 20));
  button->setFixedSize(27, 26);
  button->setAutoRaise(true);
  button->setCheckable(checkable);
  QString shown = QString::fromUtf8(hint);
  // The platform's line break.
  button->setToolTip(shown.replace(QLatin1String("\r\n"), QLatin1String("\n")));
  button->setFocusPolicy(Qt::NoFocus);
  ToolBar1->addWidget(button);
  return button;
}

void Tfmain::Group(std::initializer_list<QToolButton*> buttons, bool allowAllUp) {
  // At most one button of a group is down; pressing another puts the one down up. Without
  // allowAllUp a down button stays down when pressed again.
  std::vector<QToolButton*> members(buttons);
  for (QToolButton* b : members) {
    connect(b, &QToolButton::clicked, this, [b, members, allowAllUp](bool checked) {
      if (!checked && !allowAllUp) {
        b->setChecked(true);
        return;
      }
      if (checked)
        for (QToolButton* other : members)
          if (other != b) other->setChecked(false);
    });
  }
}

void Tfmain::BuildToolBar() {
  ToolBar1 = new QToolBar(Panel1);
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setIconSize(QSize(20, 20));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setContentsMargins(0, 0, 0, 0);
  ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBar1->setFixedHeight(34);  // the whole strip, so that the gradient fills its 33 rows
  // Its background is the grey gradient drawn before the buttons (see eventFilter).
  ToolBar1->setStyleSheet(
      QStringLiteral("QToolBar { background: transparent; border: none; spacing: 0px; }"));
  ToolBar1->installEventFilter(this);

  dzoomall =
      AddToolButton("dzoomall", 0,
                    "Zoom to All\r\n\r\nWhen this button is active,  the zoom is\r\nalways set "
                    "to show every object.",
                    true);
  dzoomin =
      AddToolButton("dzoomin", 2,
                    "Zoom to Object\r\n\r\nClicking on this causes the zoom to be set\r\nto the "
                    "bounds of the current selection.\r\n\r\nWhile this button is active, the "
                    "zoom is not\r\naltered when you change your selection.",
                    true);
  Group({dzoomall, dzoomin}, true);
  ToolBar1->addSeparator();
  dzoom = AddToolButton("dzoom", 25,
                        "Zoom\r\n\r\nClicking on this button allows you to select a\r\nzoom area "
                        "with the mouse.",
                        true);
  ToolButton5 = AddToolButton("ToolButton5", 26,
                              "Repaint All\r\n\r\nThis button repaints all of the objects,\r\nnot "
                              "just the selected ones.",
                              false);
  ToolBar1->addSeparator();
  dviewsolid = AddToolButton("dviewsolid", 13, "Draw Solid", true);
  dviewlines = AddToolButton("dviewlines", 11, "Draw Wireframe", true);
  dviewcw = AddToolButton("dviewcw", 12, "Draw Orientation", true);
  Group({dviewsolid, dviewlines, dviewcw}, false);
  dviewsolid->setChecked(true);
  ToolBar1->addSeparator();
  ToolButton12 = AddToolButton("ToolButton12", 5, "Delete Paths", false);
  ToolButton15 = AddToolButton("ToolButton15", 14, "Break Apart", false);
  ToolBar1->addSeparator();
  dopen = AddToolButton("dopen", 8, "Open Paths", true);
  dclosed = AddToolButton("dclosed", 9, "Closed Paths", true);
  Group({dopen, dclosed}, false);
  ToolBar1->addSeparator();
  dclear = AddToolButton("dclear", 9, "No fill", true);
  dsolid = AddToolButton("dsolid", 10, "Solid Fill", true);
  Group({dclear, dsolid}, false);
  ToolBar1->addSeparator();
  dflag = AddToolButton("dflag", 17,
                        "Toggle List\r\n\r\nThis button allows you to quickly swap\r\nselected "
                        "paths between two lists.\r\n\r\nTo view the other list, change the Toggle "
                        "List\r\ncheckbox in the 'Filter Paths' area.",
                        false);
  ToolBar1->addSeparator();
  csel1 = new TColorPickerButton(ToolBar1);
  csel1->setObjectName("csel1");
  csel1->setFixedSize(45, 26);
  csel1->SetFlat(true);
  csel1->SetCustomText(QStringLiteral("Custom Colors"));
  csel1->SetShowSystemColors(false);
  ToolBar1->addWidget(csel1);
  ToolBar1->addSeparator();
  dhelp = AddToolButton("dhelp", 7, "Help", false);

  auto on = [this](QToolButton* button, std::function<void()> handler) {
    connect(button, &QToolButton::clicked, this, [this, handler] { Guarded(handler); });
  };
  on(dzoomall, [this] { ZoomAllExecute(); });
  on(dzoomin, [this] { dzoominClick(); });
  on(ToolButton5, [this] { RenderPreview(RenderRequest::RepaintAll); });
  for (QToolButton* b : {dviewsolid, dviewlines, dviewcw})
    on(b, [this] { RenderPreview(RenderRequest::KeepExtent); });
  on(ToolButton12, [this] { DeleteExecute(); });
  on(ToolButton15, [this] { BreakApartExecute(); });
  for (QToolButton* b : {dopen, dclosed, dclear, dsolid, dflag})
    on(b, [this, b] { dopenClick(b); });
  on(dhelp, [this] { dhelpClick(); });
  csel1->OnChange = [this](TColorPickerButton*) { Guarded([this] { csel1Change(); }); };
  csel1->OnClick = [this](TColorPickerButton*) { Guarded([this] { csel1Click(); }); };
}

void Tfmain::BuildMenus() {
  auto action = [this](QMenu* menu, const char* name, const char* caption, int image,
                       const QKeySequence& shortcut, std::function<void()> handler) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(name);
    if (image >= 0) a->setIcon(ToolImage(image));
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    connect(a, &QAction::triggered, this, [this, handler] { Guarded(handler); });
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  Reload1 = action(file, "Reload1", "Reload", -1, {}, [this] { Reload1Click(); });
  file->addSeparator();
  Exit1 = action(file, "Exit1", "Exit", -1, {}, [this] { Button2Click(); });

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  Delete1 = action(edit, "Delete1", "Delete (Del)", 5, {}, [this] { DeleteExecute(); });
  edit->addSeparator();
  tofront1 = action(edit, "tofront1", "Bring to Front", 19,
                    QKeySequence(Qt::SHIFT | Qt::Key_PageUp), [this] { tofrontExecute(); });
  BreakApart1 = action(edit, "BreakApart1", "Send to Back", 18,
                       QKeySequence(Qt::SHIFT | Qt::Key_PageDown), [this] { tobackExecute(); });
  edit->addSeparator();
  UpOne1 = action(edit, "UpOne1", "Up One Level", 19, QKeySequence(Qt::CTRL | Qt::Key_PageUp),
                  [this] { uponeExecute(); });
  downone1 = action(edit, "downone1", "Down One Level", 18,
                    QKeySequence(Qt::CTRL | Qt::Key_PageDown), [this] { downoneExecute(); });
  edit->addSeparator();
  FlagSelected1 = action(edit, "FlagSelected1", "Toggle Selected", 23, QKeySequence(Qt::Key_F8),
                         [this] { dopenClick(dflag); });
  edit->addSeparator();
  OpenSelected1 = action(edit, "OpenSelected1", "Open Selected", 22,
                         QKeySequence(Qt::CTRL | Qt::Key_O), [this] { dopenClick(dopen); });
  CloseSelected1 = action(edit, "CloseSelected1", "Close Selected", 20,
                          QKeySequence(Qt::CTRL | Qt::Key_C), [this] { dopenClick(dclosed); });
  edit->addSeparator();
  SolidSelected1 = action(edit, "SolidSelected1", "Solid Selected", 20,
                          QKeySequence(Qt::CTRL | Qt::Key_S), [this] { dopenClick(dsolid); });
  ClearSelected1 = action(edit, "ClearSelected1", "Clear Selected", 21,
                          QKeySequence(Qt::CTRL | Qt::Key_L), [this] { dopenClick(dclear); });

  QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
  ZoomAll1 = action(view, "ZoomAll1", "Zoom All", 0, QKeySequence(Qt::Key_F5),
                    [this] { ZoomAllExecute(); });
  Zoom1 = action(view, "Zoom1", "Zoom", 25, QKeySequence(Qt::Key_F2), [this] { Zoom1Click(); });
  ZoomIN1 = action(view, "ZoomIN1", "Zoom to Object", 1, {}, [this] { ZoomINExecute(); });
  RedrawAll1 = action(view, "RedrawAll1", "Redraw All", 26, QKeySequence(Qt::Key_F3),
                      [this] { RenderPreview(RenderRequest::RepaintAll); });
  view->addSeparator();
  EnancedView1 = view->addAction(QStringLiteral("Enanced View"));
  EnancedView1->setObjectName("EnancedView1");
  EnancedView1->setCheckable(true);
  EnancedView1->setChecked(true);
  connect(EnancedView1, &QAction::triggered, this,
          [this] { Guarded([this] { RenderPreview(RenderRequest::KeepExtent); }); });

  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  ParseEverything1 = options->addAction(QStringLiteral("Parse Everything"));
  ParseEverything1->setObjectName("ParseEverything1");
  ParseEverything1->setCheckable(true);
  ParseEverything1->setChecked(false);
  QMenu* readAs = options->addMenu(QStringLiteral("Read &As"));
  auto* reading = new QActionGroup(this);
  auto readChoice = [&](const char* name, const char* caption) {
    QAction* a = readAs->addAction(QString::fromUtf8(caption));
    a->setObjectName(name);
    a->setCheckable(true);
    reading->addAction(a);
    return a;
  };
  ReadAutomatic = readChoice("ReadAutomatic", "Automatic");
  ReadIllustrator = readChoice("ReadIllustrator", "Illustrator Operators");
  ReadPage = readChoice("ReadPage", "Page Drawing");
  ReadAutomatic->setChecked(true);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  Help2 = action(help, "Help2", "&Help", 7, {}, [this] { dhelpClick(); });

  // Shortcuts work wherever the focus is in the window.
  for (QAction* a : menuBar()->actions())
    addAction(a);
}

QFrame* Tfmain::BuildInfoPanel() {
  auto* panel = new QFrame();
  panel->setObjectName("panel_info");
  panel->setFixedHeight(141);
  panel->setMinimumWidth(294);
  panel->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  panel->setAutoFillBackground(true);
  QPalette face = panel->palette();
  face.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
  panel->setPalette(face);

  auto title = [panel](const char* text, bool bar) {
    auto* label = new QLabel(QString::fromUtf8(text), panel);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, DarkBlue);
    if (bar) {
      pal.setColor(QPalette::Window, QColor(170, 170, 170));
      label->setAutoFillBackground(true);
    }
    label->setPalette(pal);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    label->setContentsMargins(4, 1, 4, 1);
    return label;
  };
  auto check = [panel](const char* name, const char* caption, bool checked) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), panel);
    box->setObjectName(name);
    box->setChecked(checked);
    return box;
  };

  auto* grid = new QGridLayout(panel);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(14);
  grid->setVerticalSpacing(1);

  // Filter paths.
  auto* filterBox = new QVBoxLayout();
  filterBox->setSpacing(1);
  filterBox->addWidget(title("Filter paths", true));
  cFlag = check("cFlag", "Toggle List", false);
  cfills = check("cfills", "Fills (solid)", true);
  cLines = check("cLines", "Strokes (no fill)", true);
  Flip_Vertical = check("Flip_Vertical", "Flip_Vertical", true);
  for (QCheckBox* b : {cFlag, cfills, cLines, Flip_Vertical})
    filterBox->addWidget(b);
  Label5 = new QLabel(QStringLiteral("Use this feature to select which paths to import"), panel);
  Label5->setObjectName("Label5");
  Label5->setWordWrap(true);
  QPalette grey = Label5->palette();
  grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
  Label5->setPalette(grey);
  filterBox->addWidget(Label5);
  filterBox->addStretch(1);
  grid->addLayout(filterBox, 0, 0, 3, 1);
  for (QCheckBox* b : {cFlag, cfills, cLines})
    connect(b, &QCheckBox::clicked, this, [this] { Guarded([this] { cLinesClick(); }); });

  // Information.
  auto* info = new QGridLayout();
  info->setHorizontalSpacing(8);
  info->setVerticalSpacing(2);
  Label6 = title("Nodes:", false);
  Label6->setObjectName("Label6");
  label_nodes = new QLabel(panel);
  label_nodes->setObjectName("label_nodes");
  Label1 = new QLabel(QStringLiteral("Width"), panel);
  label_width = new QLabel(panel);
  label_width->setObjectName("label_width");
  Label2 = new QLabel(QStringLiteral("Height"), panel);
  label_height = new QLabel(panel);
  label_height->setObjectName("label_height");
  info->addWidget(Label6, 0, 0);
  info->addWidget(label_nodes, 0, 1, 1, 3);
  info->addWidget(Label1, 1, 0);
  info->addWidget(label_width, 1, 1);
  info->addWidget(Label2, 2, 0);
  info->addWidget(label_height, 2, 1);
  auto shape = [panel](const char* name, const char* hint) {
    auto* s = new QFrame(panel);
    s->setObjectName(name);
    s->setFixedSize(22, 22);
    s->setFrameStyle(QFrame::Box | QFrame::Plain);
    s->setAutoFillBackground(true);
    s->setToolTip(QString::fromUtf8(hint));
    return s;
  };
  Shape1 = shape("Shape1", "Fill");
  Shape2 = shape("Shape2", "Line");
  SetShapeColour(Shape1, 0xFFFFFF);
  SetShapeColour(Shape2, 0xFFFFFF);
  info->addWidget(Shape1, 1, 2, 2, 1, Qt::AlignVCenter);
  info->addWidget(Shape2, 1, 3, 2, 1, Qt::AlignVCenter);
  info->setColumnStretch(1, 1);
  grid->addLayout(info, 0, 1);

  auto* line = new QFrame(panel);
  line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  grid->addWidget(line, 1, 1);

  // Import options.
  auto* options = new QVBoxLayout();
  options->setSpacing(1);
  options->addWidget(title("Import Options", false));
  auto* row = new QHBoxLayout();
  cAutofix = check("cAutofix", "Auto-Fix Holes", false);
  cReduce = check("cReduce", "Reduce Nodes", false);
  row->addWidget(cAutofix);
  row->addWidget(cReduce);
  row->addStretch(1);
  options->addLayout(row);
  options->addStretch(1);
  grid->addLayout(options, 2, 1);
  grid->setColumnStretch(1, 1);
  return panel;
}

void Tfmain::SetShapeColour(QFrame* shape, TColor colour) {
  QPalette pal = shape->palette();
  pal.setColor(QPalette::Window, ToQColor(colour, pal));
  shape->setPalette(pal);
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
  StopDrawing();
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
  silver_.Invalidate();
  std::error_code ec;
  if (SourceFileName.empty() || !std::filesystem::is_regular_file(SourceFileName, ec)) {
    RefreshView();
    return;
  }

  if (!fabort) fabort = std::make_unique<Tfabort>();
  fabort->LineCounter = [this](std::string_view text) { DrawLineCounter(text); };
  UiUpdating = true;
  setEnabled(false);
  fabort->show();
  // The dialog takes the keyboard focus, so that Esc presses "Abort": the disabled window
  // would keep it and swallow every key.
  fabort->raise();
  fabort->activateWindow();
  QApplication::processEvents();

  // However the reading ends, also with an error: the dialog gone, the line counter wiped from
  // the preview, the tree filled from what the path list holds while the window is still
  // disabled (its controls must not look usable before the tree is there), then the window
  // back and focused. A large drawing goes on on the drawing thread.
  const auto finish = [this] {
    fabort->hide();
    p->Canvas().fill(Qt::white);
    p->update();
    Q_EMIT ReadingFinished();
  };
  const std::function<void()> enable = [this] {
    UiUpdating = false;
    setEnabled(true);
    activateWindow();
    raise();
    QApplication::processEvents();
  };
  struct Enable {
    const std::function<void()>& enable;
    ~Enable() { enable(); }
  };
  ReadResult read;
  try {
    // The heap grown for the reading and kept while the tree and the picture are made; what
    // none of them took is returned once the picture is shown.
    // The last drawing's paths go first (a reading empties the drawing however it ends), so
    // that their memory serves this one rather than lying beside it.
    ClearPaths(Model.PathList);
    ClearPaths(Output.OutputList);  // a reload starts without the paths of an earlier import
    readingHeap_.reset();
    readingHeap_.emplace(SourceFileName);
    read = ReadSourceFile(Model, Interpreter, SourceFileName, ReadingOptions(), *fabort);
    readingHeap_->ReadingEnded();
  } catch (...) {
    readingHeap_.reset();
    finish();
    Enable enableAfter{enable};
    RefreshView();
    throw;  // reported by the general error handling
  }
  finish();
  Enable enableAfter{enable};
  RefreshView();
  // The status bar's last panel says why a file could not be read or gave nothing, how it was
  // read when that is not the plain way, and what it holds that was not imported.
  StatusPanel2->setText(
      QString::fromStdString(ReadingStatus(read, treePathCount_, fabort->ThousandsSeparator())));
}

void Tfmain::LoadFromCommandLine() {
  StopDrawing();
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
  // No closing while a file is read (the progress dialog's "Abort" stops it).
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
      StopDrawing();
      // Every path's box first (the tree does not use them): a large drawing can then start
      // on the drawing thread while the tree is filled.
      BoxEveryPath(Model.PathList);
      Model.ViewExtent = ComputeViewExtent(Model.PathList, false);
      silver_.Invalidate();
      StartDrawingAhead();
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

PreviewJob Tfmain::MakePreviewJob(RenderRequest request, std::vector<const tpath*> treePaths,
                                  std::vector<const tpath*> selectedPaths,
                                  bool hasSelectedNode) const {
  PreviewJob job;
  job.TreePaths = std::move(treePaths);
  job.SelectedPaths = std::move(selectedPaths);
  PreviewInput& input = job.Input;
  input.TreePaths = job.TreePaths;
  input.SelectedPaths = job.SelectedPaths;
  input.HasSelectedNode = hasSelectedNode;
  input.Request = request;
  input.ViewMode = ViewModeFromButtons(dviewsolid->isChecked(), dviewcw->isChecked());
  input.Enhanced = EnancedView1->isChecked();
  input.Width = p->width();
  input.Height = p->height();
  input.Palette = palette();
  job.Threads = ThreadCount();
  return job;
}

void Tfmain::StartDrawingAhead() {
  // The silver picture of what the tree will show once filled: the paths that pass the
  // filters, in the order of the file, fitted to the view. It is drawn into the kept silver
  // picture while the tree is filled; RenderPreview then draws the selection over it.
  std::vector<const tpath*> paths;
  std::size_t points = 0;
  const TreeFilters filters = Filters();
  for (const tpath& path : Model.PathList) {
    if (!PassesFilters(path, filters)) continue;
    paths.push_back(&path);
    points += path.Items.size();
  }
  if (paths.empty() || points <= BackgroundDrawingPoints) return;
  PreviewJob job = MakePreviewJob(RenderRequest::FitAll, std::move(paths), {}, true);
  ahead_ = job;  // kept to compare with
  StartDrawing(std::move(job), false);
}

void Tfmain::RenderPreview(RenderRequest request) {
  const std::vector<tpath*> treeList = TreePaths(Tree);
  std::vector<const tpath*> treePaths(treeList.begin(), treeList.end());
  std::vector<const tpath*> selectedPaths;
  const TreeNode* first = Tree.First();
  if (first && Tree.Selected() == first && !first->Path && Tree.TopLevel().size() == 1) {
    selectedPaths = treePaths;  // the only top-level node holds every path
  } else {
    const std::vector<tpath*> list = SelectedPaths(Tree);
    selectedPaths.assign(list.begin(), list.end());
  }
  treePathCount_ = treePaths.size();
  PreviewJob job = MakePreviewJob(request, std::move(treePaths), std::move(selectedPaths),
                                  Tree.Selected() != nullptr);
  PreviewInput& input = job.Input;

  // The silver picture started while the tree was filled is the one this drawing needs: it is
  // finished, and this drawing made after it.
  const bool after = ahead_ && drawingSize_ && SameSilver(*ahead_, job) &&
                     (request == RenderRequest::FitAll || request == RenderRequest::KeepExtent);
  ahead_.reset();
  if (!after) StopDrawing();

  // The extent to fit and "Import" are settled now, as the drawing would settle them, so that
  // the commands and the information panel see them while the drawing is made.
  if (input.HasSelectedNode) {
    if (request == RenderRequest::FitAll) {
      Model.ViewExtent = ComputeViewExtent(input.TreePaths, false);
      input.Request = RenderRequest::KeepExtent;
    } else if (request == RenderRequest::FitSelection) {
      Model.ViewExtent = ComputeViewExtent(input.SelectedPaths, false);
      input.Request = RenderRequest::KeepExtent;
    }
    Button1->setEnabled(!input.TreePaths.empty());
  }
  job.Extent = Model.ViewExtent;
  if (after) {
    StartDrawing(std::move(job), true);
    return;
  }

  // The points to draw: the selection's, and the silver pass's unless its picture is kept.
  const auto points = [](const std::vector<const tpath*>& list) {
    std::size_t n = 0;
    for (const tpath* path : list)
      n += path->Items.size();
    return n;
  };
  std::size_t work = points(job.SelectedPaths);
  if (input.Request == RenderRequest::RepaintAll ||
      !silver_.Matches(input.TreePaths, job.Extent, input.Width, input.Height, input.Enhanced))
    work += points(job.TreePaths);
  if (!input.HasSelectedNode || work <= BackgroundDrawingPoints) {
    ++drawing_;
    RenderControl control;
    control.Threads = job.Threads;
    ShowPicture(aiimport::RenderPreview(input, Model.ViewExtent, &silver_, control));
    return;
  }
  StartDrawing(std::move(job), false);
}

bool Tfmain::SameSilver(const PreviewJob& a, const PreviewJob& b) {
  const PreviewInput &x = a.Input, &y = b.Input;
  return a.TreePaths == b.TreePaths && x.HasSelectedNode && y.HasSelectedNode &&
         x.Enhanced == y.Enhanced && x.Width == y.Width && x.Height == y.Height &&
         x.Palette == y.Palette;
}

void Tfmain::StartDrawing(PreviewJob job, bool afterCurrent) {
  if (!afterCurrent) StopDrawing();
  drawingSize_ = QSize(job.Input.Width, job.Input.Height);
  const uint64_t number = ++drawing_;
  QPointer<Tfmain> window(this);
  drawer_.Start(
      std::move(job),
      [window, number](PreviewPicture picture) {
        QMetaObject::invokeMethod(
            window,
            [window, number, picture = std::move(picture)]() mutable {
              if (window && number == window->drawing_) window->ShowPicture(std::move(picture));
            },
            Qt::QueuedConnection);
      },
      [window, number](std::exception_ptr error) {
        QMetaObject::invokeMethod(
            window,
            [window, number, error] {
              if (!window || number != window->drawing_) return;
              window->drawingSize_.reset();
              window->readingHeap_.reset();
              window->Guarded([error] { std::rethrow_exception(error); });
            },
            Qt::QueuedConnection);
      },
      afterCurrent);
}

void Tfmain::StopDrawing() {
  drawer_.Stop();
  if (drawingSize_) ++drawing_;  // a picture already on its way is not shown
  drawingSize_.reset();
}

void Tfmain::ShowPicture(PreviewPicture picture) {
  drawingSize_.reset();
  Mapping = picture.Mapping;
  if (picture.ImportEnabled) Button1->setEnabled(*picture.ImportEnabled);
  p->Picture = picture.Image.isNull() ? QImage() : std::move(picture.Image);
  p->Refresh();
  Q_EMIT PreviewShown();
  readingHeap_.reset();  // the reading's picture is complete
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
  if (p->Picture.size() != p->size() && isEnabled() && drawingSize_ != p->size())
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

bool Tfmain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && !closing_ && TreeView1 && isActiveWindow()) {
    auto* key = static_cast<QKeyEvent*>(event);
    // The Delete key, seen here before the focused control (which still gets it): a key
    // press goes to the focused widget first and then up its parents, so it is taken only on
    // its first stop.
    QWidget* focus = QApplication::focusWidget();
    const bool firstStop = focus ? watched == focus : watched == this;
    if (key->key() == Qt::Key_Delete && firstStop && isEnabled())
      Guarded([this] { DeleteExecute(); });
  }
  if (watched == ToolBar1 && event->type() == QEvent::Paint) {
    // ToolBar1CustomDraw: 33 rows of grey from 255 down to 127 behind the buttons.
    QPainter painter(ToolBar1);
    const int width = ToolBar1->width();
    for (int row = 0; row < ToolBarGradientRows; ++row) {
      const int grey = ToolBarGradientGrey(row);
      painter.setPen(QColor(grey, grey, grey));
      painter.drawLine(0, row, width, row);
    }
    return false;  // the buttons are drawn over it as usual
  }
  if (TreeView1 && watched == TreeView1->viewport() && event->type() == QEvent::MouseMove) {
    // The tree's hint: the full caption of the node under the mouse.
    const auto* move = static_cast<QMouseEvent*>(event);
    const QModelIndex index = TreeView1->indexAt(move->position().toPoint());
    const TreeNode* node = TreeModel::NodeAt(index);
    if (node != HintNode) {
      HintNode = node;
      QToolTip::hideText();
      TreeView1->setToolTip(node ? QString::fromStdString(node->Caption()) : QString());
    }
  }
  return QMainWindow::eventFilter(watched, event);
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
  StopDrawing();
  struct Rebuild {
    Tfmain& w;
    ~Rebuild() { w.silver_.Invalidate(); }
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
  StopDrawing();  // the paths change
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
  silver_.Invalidate();
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
  StopDrawing();  // the import may draw on the preview
  SystemHostPlatform platform = WindowHostPlatform(ShowMessage);
  const std::string fileName = PrepareHostDotFile(platform);

  const std::vector<tpath*> list = TreePaths(Tree);
  if (list.empty()) {
    ShowMessage(QStringLiteral("There are no paths to import!"), false);
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QApplication::processEvents();
  // Every window of the program is disabled while the conversion runs.
  std::vector<QPointer<QWidget>> disabled;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isEnabled()) {
      w->setEnabled(false);
      disabled.emplace_back(w);
    }
  }
  auto enableAgain = [&disabled] {
    for (const QPointer<QWidget>& w : disabled)
      if (w) w->setEnabled(true);
  };
  const std::vector<const tpath*> paths(list.begin(), list.end());
  // "Auto-Fix Holes" draws the output over the preview while it works; a failed import puts the
  // preview and its caption back (once the view has finished drawing on the picture).
  const QImage preview = p->Picture;
  try {
    WindowConvertView view(*label_nodes, *p, palette());
    ImportToFile(Output, paths, {cReduce->isChecked(), cAutofix->isChecked()}, {view, &view},
                 fileName);
  } catch (...) {
    enableAgain();
    QApplication::restoreOverrideCursor();
    p->Picture = preview;
    p->Refresh();
    UpdateInfoPanel();
    throw;  // reported by the general error handling; the window stays open
  }
  enableAgain();
  // Done: the program ends (the cursor stays the hour-glass until it has).
  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
  close();
}

}  // namespace aiimport
