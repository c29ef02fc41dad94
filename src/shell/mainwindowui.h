// The main window's components, made in one place: the tool bar and the Select File, Cancel and
// Import buttons on top, the object tree on the left, the preview with the information panel on
// the right, the status bar below, and the menus. Names, captions, shortcuts and sizes are the
// window's form's. The builder connects nothing to the commands (the window does), only what
// belongs to the components themselves: the tool buttons' groups, the tree's hint.
#pragma once

#include <QToolBar>
#include <initializer_list>

#include "pathunit.h"

class QAction;
class QCheckBox;
class QFrame;
class QLayout;
class QLabel;
class QMainWindow;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeView;

namespace aiimport {

class TColorPickerButton;
class TPaintBox;

// The tool bar on its grey gradient: 33 rows from 255 down to 127, drawn behind the buttons.
class GradientToolBar : public QToolBar {
 public:
  using QToolBar::QToolBar;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// A colour box of the information panel ("Fill", "Line") in the colour.
void SetShapeColour(QFrame* shape, TColor colour);

struct MainWindowUi {
  // Makes the components as children of `window` (its central widget, status bar and menu bar),
  // sizes it (a client area of 794 x 554 below the menu bar) and centres it on the screen.
  void Build(QMainWindow& window);

  // The top strip:
  QFrame* Panel1 = nullptr;        // the strip: the tool bar, then the three buttons
  QToolBar* ToolBar1 = nullptr;    // the tool bar, on its grey gradient
  QPushButton* Button3 = nullptr;  // "Select File"
  QPushButton* Button2 = nullptr;  // "Cancel"
  QPushButton* Button1 = nullptr;  // "Import"
  // The body:
  QTreeView* TreeView1 = nullptr;  // the object tree, on the left; its hint is the caption
  QSplitter* Splitter2 = nullptr;  // between the tree and the drawing area
  QFrame* panel_draw = nullptr;    // the drawing area: the preview above the information panel
  TPaintBox* p = nullptr;          // the preview
  QFrame* panel_info = nullptr;    // the information panel below the preview
  // The information panel: the filters of the tree, the reading and the import options...
  QCheckBox* cFlag = nullptr;          // "Toggle List": the tree shows the other list
  QCheckBox* cfills = nullptr;         // "Fills (solid)": filled paths in the tree
  QCheckBox* cLines = nullptr;         // "Strokes (no fill)": paths without fill in the tree
  QCheckBox* Flip_Vertical = nullptr;  // "Flip_Vertical": the next reload turns y upside down
  QCheckBox* cAutofix = nullptr;       // "Auto-Fix Holes" (import option)
  QCheckBox* cReduce = nullptr;        // "Reduce Nodes" (import option)
  QLabel* Label5 = nullptr;            // the grey note under the filters: what they are for
  // ... and what the selection is.
  QLabel* Label6 = nullptr;        // "Nodes:"
  QLabel* label_nodes = nullptr;   // what the selected node holds; the import's phase
  QLabel* Label1 = nullptr;        // "Width"
  QLabel* label_width = nullptr;   // the width of the extent shown, in millimetres
  QLabel* Label2 = nullptr;        // "Height"
  QLabel* label_height = nullptr;  // its height
  QFrame* Shape1 = nullptr;        // "Fill": the selected path's fill colour
  QFrame* Shape2 = nullptr;        // "Line": the selected path's line colour
  // The status bar.
  QLabel* StatusPanel0 = nullptr;  // "File"
  QLabel* StatusPanel1 = nullptr;  // the file's full name
  QLabel* StatusPanel2 = nullptr;  // how the file was read or why not; why Help showed nothing

  // The tool bar, left to right.
  QToolButton* dzoomall = nullptr;      // "Zoom to All": stays down, every drawing fits all
  QToolButton* dzoomin = nullptr;       // "Zoom to Object": fits the selection; down, keeps it
  QToolButton* dzoom = nullptr;         // "Zoom": the next drag on the preview is the area
  QToolButton* ToolButton5 = nullptr;   // "Repaint All"
  QToolButton* dviewsolid = nullptr;    // "Draw Solid"
  QToolButton* dviewlines = nullptr;    // "Draw Wireframe"
  QToolButton* dviewcw = nullptr;       // "Draw Orientation"
  QToolButton* ToolButton12 = nullptr;  // "Delete Paths"
  QToolButton* ToolButton15 = nullptr;  // "Break Apart"
  QToolButton* dopen = nullptr;         // "Open Paths"
  QToolButton* dclosed = nullptr;       // "Closed Paths"
  QToolButton* dclear = nullptr;        // "No fill"
  QToolButton* dsolid = nullptr;        // "Solid Fill"
  QToolButton* dflag = nullptr;         // "Toggle List": the selection to the other list
  TColorPickerButton* csel1 = nullptr;  // the selection's colour, with its drop-down chooser
  QToolButton* dhelp = nullptr;         // "Help" ("?")

  // The menus.
  QAction* Reload1 = nullptr;           // File › Reload
  QAction* Exit1 = nullptr;             // File › Exit
  QAction* Delete1 = nullptr;           // Edit › Delete (Del)
  QAction* tofront1 = nullptr;          // Edit › Bring to Front (Shift+PgUp)
  QAction* BreakApart1 = nullptr;       // Edit › Send to Back (Shift+PgDown), not Break Apart
  QAction* UpOne1 = nullptr;            // Edit › Up One Level (Ctrl+PgUp)
  QAction* downone1 = nullptr;          // Edit › Down One Level (Ctrl+PgDown)
  QAction* FlagSelected1 = nullptr;     // Edit › Toggle Selected (F8)
  QAction* OpenSelected1 = nullptr;     // Edit › Open Selected (Ctrl+O)
  QAction* CloseSelected1 = nullptr;    // Edit › Close Selected (Ctrl+C)
  QAction* SolidSelected1 = nullptr;    // Edit › Solid Selected (Ctrl+S)
  QAction* ClearSelected1 = nullptr;    // Edit › Clear Selected (Ctrl+L)
  QAction* ZoomAll1 = nullptr;          // View › Zoom All (F5)
  QAction* Zoom1 = nullptr;             // View › Zoom (F2)
  QAction* ZoomIN1 = nullptr;           // View › Zoom to Object
  QAction* RedrawAll1 = nullptr;        // View › Redraw All (F3)
  QAction* EnancedView1 = nullptr;      // View › Enanced View: drawn twice the size and halved
  QAction* ParseEverything1 = nullptr;  // Options › Parse Everything (for the next reload)
  // Options › Read As: how the next reload reads the file.
  QAction* ReadAutomatic = nullptr;    // "Automatic"
  QAction* ReadIllustrator = nullptr;  // "Illustrator Operators"
  QAction* ReadPage = nullptr;         // "Page Drawing"
  QAction* Help2 = nullptr;            // Help › Help

 private:
  QFrame* BuildStrip(QWidget* parent);  // the tool bar and the three buttons
  QWidget* BuildBody(QWidget* parent);  // the tree, the preview and the information panel
  void BuildStatusBar(QMainWindow& window);
  void BuildToolBar(QFrame* strip);
  void BuildMenus(QMainWindow& window);
  QFrame* BuildInfoPanel();
  QLayout* BuildFilters(QFrame* panel);        // "Filter paths"
  QLayout* BuildInformation(QFrame* panel);    // "Nodes:", the extent, the colours
  QLayout* BuildImportOptions(QFrame* panel);  // "Import Options"
  // A tool button of the tool bar; the hint is UTF-8, its lines broken by "\r\n".
  QToolButton* AddToolButton(const char* name, int image, const char* hint, bool checkable);
  // At most one button of a group is down; pressing another puts the one down up. Without
  // allowAllUp a down button stays down when pressed again.
  static void Group(std::initializer_list<QToolButton*> buttons, bool allowAllUp);
};

}  // namespace aiimport
