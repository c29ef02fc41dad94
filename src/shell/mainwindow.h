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
#include <optional>
#include <string>

#include "help.h"
#include "interpreter.h"
#include "objecttree.h"
#include "pathunit.h"
#include "preview.h"
#include "previewrender.h"
#include "previewworker.h"
#include "readfile.h"
#include "readingheap.h"
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
class TfmainTestAccess;  // the tests' way in (tests/shell/windowtest.h)

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

// The components and the handlers are the window's own: the program reaches the window only
// through the public part below; the tests through TfmainTestAccess.
class Tfmain : public QMainWindow {
  Q_OBJECT
 public:
  // The program's own arguments (after its name): the first one that names an existing file is
  // loaded when the window is first painted.
  explicit Tfmain(std::vector<std::string> arguments, QWidget* parent = nullptr);
  ~Tfmain() override;

  // The progress dialog, made right after the window. A window of its own (not a child of this
  // one), so that it stays usable while a reload disables this window. Without one the first
  // reload makes it.
  void SetProgressDialog(std::unique_ptr<Tfabort> dialog);

  // Shows an error to the user (the application's general error report).
  void ReportError(const QString& message);

 Q_SIGNALS:
  // A file has been read (also when that failed); the tree is filled next.
  void ReadingFinished();
  // The preview shows a complete drawing (drawn at once or on the drawing thread).
  void PreviewShown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  friend class TPaintBox;  // passes its paints and the mouse to the handlers below
  friend class TfmainTestAccess;

  // The shared values of the commands.
  PathModel Model;               // the paths read (PathList) and ViewExtent
  ConversionResult Output;       // OutputList and OutputExtent of the last import
  InterpreterState Interpreter;  // the reader's values that survive from one file to the next
  ObjectTree Tree;               // what TreeView1 shows
  ScreenMapping Mapping;         // of the last drawing
  bool UiUpdating = true;        // silences the program's own change events
  std::string SourceFileName;    // the chosen file, empty until one is chosen
  PixelRect ZoomRect;            // the zoom area being dragged
  bool ZoomDragging = false;
  const TreeNode* HintNode = nullptr;  // the tree node last found under the mouse

  // Components, with the names of the window's form. The top strip:
  QFrame* Panel1 = nullptr;        // the strip: the tool bar, then the three buttons
  QToolBar* ToolBar1 = nullptr;    // the tool bar, on its grey gradient
  QPushButton* Button3 = nullptr;  // "Select File"
  QPushButton* Button2 = nullptr;  // "Cancel"
  QPushButton* Button1 = nullptr;  // "Import"
  // The body:
  QTreeView* TreeView1 = nullptr;  // the object tree, on the left
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

  std::unique_ptr<Tfabort> fabort;  // the progress dialog (SetProgressDialog)

  // Commands (the handlers of the form).
  void Button3Click();                     // "Select File"
  void Reload1Click();                     // File › Reload: reads the file again
  void LoadFromCommandLine();              // the first paint: the command line's file
  void LoadFile(const QString& fileName);  // "Select File" confirmed, or a file dropped
  void Button1Click();                     // "Import"
  void Button2Click();                     // "Cancel", Esc, "Exit"
  void dhelpClick();                       // "?" and Help › Help

  void RefreshView();      // the tree rebuilt from the paths read, then drawn to fit all
  void UpdateInfoPanel();  // the panel and the attribute buttons from the selection
  void TreeView1Change();  // the selection changed: drawn again, the panel updated
  void cLinesClick();      // a filter check box: the tree rebuilt
  // Draws the preview: at once when the drawing is small, else on the drawing thread, the
  // window answering meanwhile and the picture shown once complete. The extent, the
  // information panel and "Import" are brought up to date at once either way.
  void RenderPreview(RenderRequest request);
  // Stops a drawing under way on the drawing thread (its picture is never shown). Called before
  // the paths change or go and before the silver picture is dropped.
  void StopDrawing();
  void ShowPicture(PreviewPicture picture);
  // The drawing of the given lists as the buttons and the paint box ask for it.
  PreviewJob MakePreviewJob(RenderRequest request, std::vector<const tpath*> treePaths,
                            std::vector<const tpath*> selectedPaths, bool hasSelectedNode) const;
  // Starts, right after a reading, the silver picture the filled tree will need (a large one
  // only), drawn while the tree is filled.
  void StartDrawingAhead();
  // On the drawing thread; after the drawing under way, or stopping it.
  void StartDrawing(PreviewJob job, bool afterCurrent);
  // Whether two drawings need the same silver picture.
  static bool SameSilver(const PreviewJob& a, const PreviewJob& b);
  void pPaint();  // the preview is painted

  void ZoomAllExecute();  // "Zoom to All", View › Zoom All
  void dzoominClick();    // "Zoom to Object" pressed
  void ZoomINExecute();   // View › Zoom to Object
  void Zoom1Click();      // View › Zoom: presses "Zoom"
  // The mouse on the preview: picks a path, or drags the zoom area.
  void pMouseDown(Qt::MouseButton button, int x, int y);
  void pMouseMove(int x, int y);
  void pMouseUp(int x, int y);

  void DeleteExecute();      // "Delete Paths", Edit › Delete, the Delete key
  void BreakApartExecute();  // "Break Apart": a compound's paths become paths of their own
  void uponeExecute();       // Edit › Up One Level
  void downoneExecute();     // Edit › Down One Level
  void tofrontExecute();     // Edit › Bring to Front
  void tobackExecute();      // Edit › Send to Back
  // The attribute buttons and their menu items (sender: the button) and the colour: the change
  // applied to every path of the selection.
  void dopenClick(QObject* sender);
  void csel1Change();  // a colour chosen in the drop-down
  void csel1Click();   // the colour button's face: the colour dialog

  // The tree's selection as the window shows it, set without selection-change handling.
  void SelectNode(TreeNode* node);

  // The check boxes and buttons read by the commands.
  TreeFilters Filters() const;
  // The reading options of the next reload: Flip_Vertical, Parse Everything, Read As.
  ReadOptions ReadingOptions() const;

  // Runs a handler; an exception that escapes it is reported and the window goes on.
  void Guarded(const std::function<void()>& handler);

  // How messages reach the user: a message box by default (tests record them instead). The
  // flag tells an error from a notice.
  std::function<void(const QString& text, bool error)> ShowMessage;

  // How Help reaches the help viewer or the user guide (tests record instead of launching).
  HelpOpener HelpViewers = DesktopHelpOpener();

  void BuildToolBar();
  void BuildMenus();
  QFrame* BuildInfoPanel();
  void SetShapeColour(QFrame* shape, TColor colour);
  // A tool button of the tool bar; the hint is UTF-8, its lines broken by "\r\n".
  QToolButton* AddToolButton(const char* name, int image, const char* hint, bool checkable);
  void Group(std::initializer_list<QToolButton*> buttons, bool allowAllUp);
  void DrawLineCounter(std::string_view text);

  std::vector<std::string> arguments_;
  TreeModel* model_ = nullptr;
  SilverCache silver_;
  // The heap of the last reading, kept until its picture is shown.
  std::optional<ReadingHeap> readingHeap_;
  PreviewWorker drawer_{silver_};  // the drawing thread, which keeps the silver picture
  // Drawings of more points than this (the silver pass counted when it is not kept) are made on
  // the drawing thread: about 20 ms of drawing.
  std::size_t BackgroundDrawingPoints = 50000;
  uint64_t drawing_ = 0;              // the number of the latest drawing
  std::optional<QSize> drawingSize_;  // the paint-box size of a drawing under way
  std::optional<PreviewJob> ahead_;   // the silver picture started ahead of the tree
  std::size_t treePathCount_ = 0;     // the tree's paths at the last drawing
  bool closing_ = false;
};

// Whether a file name looks like a drawing the program reads (".ai" or ".eps").
bool IsDrawingFileName(const QString& fileName);

}  // namespace aiimport
