// The main window "AI/EPS Import Module": the tool bar and the Select File, Cancel and Import
// buttons on top, the object tree on the left, the preview with the information panel on the
// right, the status bar below. It owns the path store, the tree and every value the commands
// share, and hands them to the reading, drawing, editing and import code.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "help.h"
#include "interpreter.h"
#include "objecttree.h"
#include "pathunit.h"
#include "preview.h"
#include "previewrender.h"
#include "readfile.h"
#include "zoom.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QToolBar;
class QToolButton;
class QTreeView;

namespace aiimport {

class TColorPickerButton;
class Tfabort;
class TreeModel;
class Tfmain;

// The preview paint box "p": shows the last drawing and passes the mouse to the window.
class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaintBox(Tfmain* owner, QWidget* parent);

  int Tag = 10;    // 10 until the first paint starts the load of the command line's file
  QImage Picture;  // the last drawing, exactly the paint box's size
  // A zoom area being dragged, drawn over the picture as a dotted XOR rectangle.
  std::optional<PixelRect> FocusRect;

  // The picture, made white first when its size no longer fits.
  QImage& Canvas();
  // Shows the picture again (later, unless a paint is under way, which shows it anyway).
  void Refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  Tfmain* owner_;
  bool painting_ = false;
};

class Tfmain : public QMainWindow {
  Q_OBJECT
 public:
  // The program's own arguments (after its name): the first one that names an existing file is
  // loaded when the window is first painted.
  explicit Tfmain(std::vector<std::string> arguments, QWidget* parent = nullptr);
  ~Tfmain() override;

  // The shared values of the commands.
  PathModel Model;               // the paths read (PathList) and ViewExtent
  ConversionResult Output;       // OutputList and OutputExtent of the last import
  InterpreterState Interpreter;  // the reader's values that survive from one file to the next
  ObjectTree Tree;
  ScreenMapping Mapping;       // of the last drawing
  bool UiUpdating = true;      // silences the program's own change events
  std::string SourceFileName;  // the chosen file, empty until one is chosen
  PixelRect ZoomRect;          // the zoom area being dragged
  bool ZoomDragging = false;
  const TreeNode* HintNode = nullptr;  // the tree node last found under the mouse

  // Components, with the names of the window's form.
  QFrame* Panel1 = nullptr;
  QToolBar* ToolBar1 = nullptr;
  QPushButton* Button3 = nullptr;  // "Select File"
  QPushButton* Button2 = nullptr;  // "Cancel"
  QPushButton* Button1 = nullptr;  // "Import"
  QTreeView* TreeView1 = nullptr;
  QSplitter* Splitter2 = nullptr;
  QFrame* panel_draw = nullptr;
  TPaintBox* p = nullptr;
  QFrame* panel_info = nullptr;
  QCheckBox* cFlag = nullptr;
  QCheckBox* cfills = nullptr;
  QCheckBox* cLines = nullptr;
  QCheckBox* Flip_Vertical = nullptr;
  QCheckBox* cAutofix = nullptr;
  QCheckBox* cReduce = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* label_nodes = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* label_width = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* label_height = nullptr;
  QFrame* Shape1 = nullptr;  // "Fill"
  QFrame* Shape2 = nullptr;  // "Line"
  QLabel* StatusPanel0 = nullptr;
  QLabel* StatusPanel1 = nullptr;
  QLabel* StatusPanel2 = nullptr;

  QToolButton* dzoomall = nullptr;
  QToolButton* dzoomin = nullptr;
  QToolButton* dzoom = nullptr;
  QToolButton* ToolButton5 = nullptr;
  QToolButton* dviewsolid = nullptr;
  QToolButton* dviewlines = nullptr;
  QToolButton* dviewcw = nullptr;
  QToolButton* ToolButton12 = nullptr;
  QToolButton* ToolButton15 = nullptr;
  QToolButton* dopen = nullptr;
  QToolButton* dclosed = nullptr;
  QToolButton* dclear = nullptr;
  QToolButton* dsolid = nullptr;
  QToolButton* dflag = nullptr;
  TColorPickerButton* csel1 = nullptr;
  QToolButton* dhelp = nullptr;

  QAction* Reload1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* Delete1 = nullptr;
  QAction* tofront1 = nullptr;
  QAction* BreakApart1 = nullptr;  // "Send to Back"
  QAction* UpOne1 = nullptr;
  QAction* downone1 = nullptr;
  QAction* FlagSelected1 = nullptr;
  QAction* OpenSelected1 = nullptr;
  QAction* CloseSelected1 = nullptr;
  QAction* SolidSelected1 = nullptr;
  QAction* ClearSelected1 = nullptr;
  QAction* ZoomAll1 = nullptr;
  QAction* Zoom1 = nullptr;
  QAction* ZoomIN1 = nullptr;
  QAction* RedrawAll1 = nullptr;
  QAction* EnancedView1 = nullptr;
  QAction* ParseEverything1 = nullptr;
  // Options › Read As: how the next reload reads the file.
  QAction* ReadAutomatic = nullptr;    // "Automatic"
  QAction* ReadIllustrator = nullptr;  // "Illustrator Operators"
  QAction* ReadPage = nullptr;         // "Page Drawing"
  QAction* Help2 = nullptr;

  // The progress dialog, made right after the window. A window of its own (not a child of this
  // one), so that it stays usable while a reload disables this window.
  std::unique_ptr<Tfabort> fabort;

  // Commands (the handlers of the form).
  void Button3Click();  // "Select File"
  void Reload1Click();
  void LoadFromCommandLine();
  void LoadFile(const QString& fileName);  // "Select File" confirmed, or a file dropped
  void Button1Click();                     // "Import"
  void Button2Click();                     // "Cancel", Esc, "Exit"
  void dhelpClick();

  void RefreshView();
  void UpdateInfoPanel();
  void TreeView1Change();
  void cLinesClick();
  void RenderPreview(RenderRequest request);
  void pPaint();

  void ZoomAllExecute();
  void dzoominClick();
  void ZoomINExecute();
  void Zoom1Click();
  void pMouseDown(Qt::MouseButton button, int x, int y);
  void pMouseMove(int x, int y);
  void pMouseUp(int x, int y);

  void DeleteExecute();
  void BreakApartExecute();
  void uponeExecute();
  void downoneExecute();
  void tofrontExecute();
  void tobackExecute();
  void dopenClick(QObject* sender);  // ApplyToSelection
  void csel1Change();
  void csel1Click();

  // The tree's selection as the window shows it, set without selection-change handling.
  void SelectNode(TreeNode* node);

  // The check boxes and buttons read by the commands.
  TreeFilters Filters() const;
  // The reading options of the next reload: Flip_Vertical, Parse Everything, Read As.
  ReadOptions ReadingOptions() const;

  // Runs a handler; an exception that escapes it is reported and the window goes on.
  void Guarded(const std::function<void()>& handler);

  // Shows an error to the user (the application's general error report).
  void ReportError(const QString& message);

  // How messages reach the user: a message box by default (tests record them instead). The
  // flag tells an error from a notice.
  std::function<void(const QString& text, bool error)> ShowMessage;

  // How Help reaches the help viewer or the user guide (tests record instead of launching).
  HelpOpener HelpViewers = DesktopHelpOpener();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildToolBar();
  void BuildMenus();
  QFrame* BuildInfoPanel();
  void SetShapeColour(QFrame* shape, TColor colour);
  QToolButton* AddToolButton(const char* name, int image, const QString& hint, bool checkable);
  void Group(std::initializer_list<QToolButton*> buttons, bool allowAllUp);
  void DrawLineCounter(std::string_view text);

  std::vector<std::string> arguments_;
  TreeModel* model_ = nullptr;
  SilverCache silver_;
  bool closing_ = false;
};

// Whether a file name looks like a drawing the program reads (".ai" or ".eps").
bool IsDrawingFileName(const QString& fileName);

}  // namespace aiimport
