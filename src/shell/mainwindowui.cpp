#include "mainwindowui.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <vector>

#include "colorpickerbutton.h"
#include "icons.h"
#include "paintbox.h"
#include "qtcolour.h"
#include "treemodel.h"
#include "zoom.h"

namespace aiimport {

namespace {

const QColor DarkBlue(0x00, 0x00, 0x80);

// A title of the information panel in dark blue and bold; `bar`: on a grey bar.
QLabel* Title(QWidget* panel, const char* text, bool bar) {
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
}

QCheckBox* Check(QWidget* panel, const char* name, const char* caption, bool checked) {
  auto* box = new QCheckBox(QString::fromUtf8(caption), panel);
  box->setObjectName(name);
  box->setChecked(checked);
  return box;
}

}  // namespace

void GradientToolBar::paintEvent(QPaintEvent* event) {
  {
    // ToolBar1CustomDraw: 33 rows of grey from 255 down to 127 behind the buttons.
    QPainter painter(this);
    const int w = width();
    for (int row = 0; row < ToolBarGradientRows; ++row) {
      const int grey = ToolBarGradientGrey(row);
      painter.setPen(QColor(grey, grey, grey));
      painter.drawLine(0, row, w, row);
    }
  }
  QToolBar::paintEvent(event);  // the buttons are drawn over it as usual
}

void SetShapeColour(QFrame* shape, TColor colour) {
  QPalette pal = shape->palette();
  pal.setColor(QPalette::Window, ToQColor(colour, pal));
  shape->setPalette(pal);
}

void MainWindowUi::Build(QMainWindow& window) {
  auto* central = new QWidget(&window);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(BuildStrip(central));
  outer->addWidget(BuildBody(central), 1);
  window.setCentralWidget(central);
  BuildStatusBar(window);
  BuildMenus(window);

  // The client area: 794 x 554 below the menu bar, centred on the screen.
  window.resize(794, 554 + window.menuBar()->sizeHint().height());
  if (QScreen* screen = QGuiApplication::primaryScreen())
    window.move(screen->availableGeometry().center() - window.rect().center());
}

QFrame* MainWindowUi::BuildStrip(QWidget* parent) {
  // The top strip: the tool bar, then Select File, Cancel and Import at the right edge.
  Panel1 = new QFrame(parent);
  Panel1->setObjectName("Panel1");
  Panel1->setFixedHeight(34);
  auto* strip = new QHBoxLayout(Panel1);
  strip->setContentsMargins(0, 0, 4, 0);
  strip->setSpacing(4);
  BuildToolBar(Panel1);
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
  return Panel1;
}

QWidget* MainWindowUi::BuildBody(QWidget* parent) {
  // The tree on the left, the drawing area on the right, with a splitter between them.
  auto* body = new QWidget(parent);
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
  new TreeHint(TreeView1);
  TreeView1->setIconSize(QSize(16, 16));

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
  p = new TPaintBox(panel_draw);
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
  return body;
}

void MainWindowUi::BuildStatusBar(QMainWindow& window) {
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
  QStatusBar* status = window.statusBar();
  status->addWidget(StatusPanel0);
  status->addWidget(StatusPanel1, 1);
  status->addWidget(StatusPanel2);
  status->setFixedHeight(19);
  status->setSizeGripEnabled(true);
}

QToolButton* MainWindowUi::AddToolButton(const char* name, int image, const char* hint,
                                         bool checkable) {
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

void MainWindowUi::Group(std::initializer_list<QToolButton*> buttons, bool allowAllUp) {
  std::vector<QToolButton*> members(buttons);
  for (QToolButton* b : members) {
    QObject::connect(b, &QToolButton::clicked, b, [b, members, allowAllUp](bool checked) {
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

void MainWindowUi::BuildToolBar(QFrame* strip) {
  ToolBar1 = new GradientToolBar(strip);
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setIconSize(QSize(20, 20));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setContentsMargins(0, 0, 0, 0);
  ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBar1->setFixedHeight(34);  // the whole strip, so that the gradient fills its 33 rows
  // Its background is the grey gradient drawn before the buttons.
  ToolBar1->setStyleSheet(
      QStringLiteral("QToolBar { background: transparent; border: none; spacing: 0px; }"));

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
}

void MainWindowUi::BuildMenus(QMainWindow& window) {
  auto action = [](QMenu* menu, const char* name, const char* caption, int image,
                   const QKeySequence& shortcut = {}) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(name);
    if (image >= 0) a->setIcon(ToolImage(image));
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    return a;
  };
  QMenuBar* bar = window.menuBar();
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  Reload1 = action(file, "Reload1", "Reload", -1);
  file->addSeparator();
  Exit1 = action(file, "Exit1", "Exit", -1);

  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  Delete1 = action(edit, "Delete1", "Delete (Del)", 5);
  edit->addSeparator();
  tofront1 =
      action(edit, "tofront1", "Bring to Front", 19, QKeySequence(Qt::SHIFT | Qt::Key_PageUp));
  BreakApart1 =
      action(edit, "BreakApart1", "Send to Back", 18, QKeySequence(Qt::SHIFT | Qt::Key_PageDown));
  edit->addSeparator();
  UpOne1 = action(edit, "UpOne1", "Up One Level", 19, QKeySequence(Qt::CTRL | Qt::Key_PageUp));
  downone1 =
      action(edit, "downone1", "Down One Level", 18, QKeySequence(Qt::CTRL | Qt::Key_PageDown));
  edit->addSeparator();
  FlagSelected1 = action(edit, "FlagSelected1", "Toggle Selected", 23, QKeySequence(Qt::Key_F8));
  edit->addSeparator();
  OpenSelected1 =
      action(edit, "OpenSelected1", "Open Selected", 22, QKeySequence(Qt::CTRL | Qt::Key_O));
  CloseSelected1 =
      action(edit, "CloseSelected1", "Close Selected", 20, QKeySequence(Qt::CTRL | Qt::Key_C));
  edit->addSeparator();
  SolidSelected1 =
      action(edit, "SolidSelected1", "Solid Selected", 20, QKeySequence(Qt::CTRL | Qt::Key_S));
  ClearSelected1 =
      action(edit, "ClearSelected1", "Clear Selected", 21, QKeySequence(Qt::CTRL | Qt::Key_L));

  QMenu* view = bar->addMenu(QStringLiteral("View"));
  ZoomAll1 = action(view, "ZoomAll1", "Zoom All", 0, QKeySequence(Qt::Key_F5));
  Zoom1 = action(view, "Zoom1", "Zoom", 25, QKeySequence(Qt::Key_F2));
  ZoomIN1 = action(view, "ZoomIN1", "Zoom to Object", 1);
  RedrawAll1 = action(view, "RedrawAll1", "Redraw All", 26, QKeySequence(Qt::Key_F3));
  view->addSeparator();
  EnancedView1 = view->addAction(QStringLiteral("Enanced View"));
  EnancedView1->setObjectName("EnancedView1");
  EnancedView1->setCheckable(true);
  EnancedView1->setChecked(true);

  QMenu* options = bar->addMenu(QStringLiteral("&Options"));
  ParseEverything1 = options->addAction(QStringLiteral("Parse Everything"));
  ParseEverything1->setObjectName("ParseEverything1");
  ParseEverything1->setCheckable(true);
  ParseEverything1->setChecked(false);
  QMenu* readAs = options->addMenu(QStringLiteral("Read &As"));
  auto* reading = new QActionGroup(&window);
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

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  Help2 = action(help, "Help2", "&Help", 7);

  // Shortcuts work wherever the focus is in the window.
  for (QAction* a : bar->actions())
    window.addAction(a);
}

QFrame* MainWindowUi::BuildInfoPanel() {
  auto* panel = new QFrame();
  panel->setObjectName("panel_info");
  panel->setFixedHeight(141);
  panel->setMinimumWidth(294);
  panel->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  panel->setAutoFillBackground(true);
  QPalette face = panel->palette();
  face.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
  panel->setPalette(face);

  auto* grid = new QGridLayout(panel);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(14);
  grid->setVerticalSpacing(1);
  grid->addLayout(BuildFilters(panel), 0, 0, 3, 1);
  grid->addLayout(BuildInformation(panel), 0, 1);
  auto* line = new QFrame(panel);
  line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  grid->addWidget(line, 1, 1);
  grid->addLayout(BuildImportOptions(panel), 2, 1);
  grid->setColumnStretch(1, 1);
  return panel;
}

QLayout* MainWindowUi::BuildFilters(QFrame* panel) {
  auto* filterBox = new QVBoxLayout();
  filterBox->setSpacing(1);
  filterBox->addWidget(Title(panel, "Filter paths", true));
  cFlag = Check(panel, "cFlag", "Toggle List", false);
  cfills = Check(panel, "cfills", "Fills (solid)", true);
  cLines = Check(panel, "cLines", "Strokes (no fill)", true);
  Flip_Vertical = Check(panel, "Flip_Vertical", "Flip_Vertical", true);
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
  return filterBox;
}

QLayout* MainWindowUi::BuildInformation(QFrame* panel) {
  auto* info = new QGridLayout();
  info->setHorizontalSpacing(8);
  info->setVerticalSpacing(2);
  Label6 = Title(panel, "Nodes:", false);
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
  const auto shape = [panel](const char* name, const char* hint) {
    auto* s = new QFrame(panel);
    s->setObjectName(name);
    s->setFixedSize(22, 22);
    s->setFrameStyle(QFrame::Box | QFrame::Plain);
    s->setAutoFillBackground(true);
    s->setToolTip(QString::fromUtf8(hint));
    SetShapeColour(s, 0xFFFFFF);
    return s;
  };
  Shape1 = shape("Shape1", "Fill");
  Shape2 = shape("Shape2", "Line");
  info->addWidget(Shape1, 1, 2, 2, 1, Qt::AlignVCenter);
  info->addWidget(Shape2, 1, 3, 2, 1, Qt::AlignVCenter);
  info->setColumnStretch(1, 1);
  return info;
}

QLayout* MainWindowUi::BuildImportOptions(QFrame* panel) {
  auto* options = new QVBoxLayout();
  options->setSpacing(1);
  options->addWidget(Title(panel, "Import Options", false));
  auto* row = new QHBoxLayout();
  cAutofix = Check(panel, "cAutofix", "Auto-Fix Holes", false);
  cReduce = Check(panel, "cReduce", "Reduce Nodes", false);
  row->addWidget(cAutofix);
  row->addWidget(cReduce);
  row->addStretch(1);
  options->addLayout(row);
  options->addStretch(1);
  return options;
}

}  // namespace aiimport
