// The main window "AI/EPS Import Module": the tool bar and the Select File, Cancel and Import
// buttons on top, the object tree on the left, the preview with the information panel on the
// right, the status bar below (mainwindowui.h). It owns the path store, the tree and every value
// the commands share; it holds the commands and hands the work to the reading (reloadcontroller),
// the preview (previewcontroller) and the import (importcommand).
#pragma once

#include <QMainWindow>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "deletekey.h"
#include "help.h"
#include "importcommand.h"
#include "interpreter.h"
#include "mainwindowui.h"
#include "objecttree.h"
#include "paintbox.h"
#include "pathunit.h"
#include "preview.h"
#include "previewcontroller.h"
#include "readfile.h"
#include "reloadcontroller.h"
#include "zoom.h"

namespace aiimport {

class Tfabort;
class TreeModel;
class TfmainTestAccess;  // the tests' way in (tests/shell/windowtest.h)

// The components and the handlers are the window's own: the program reaches the window only
// through the public part below; the tests through TfmainTestAccess.
class Tfmain : public QMainWindow, private MainWindowUi {
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
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
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

  // Commands (the handlers of the form).
  void Button3Click();                     // "Select File"
  void Reload1Click();                     // File › Reload: reads the file again
  void LoadFromCommandLine();              // the first paint: the command line's file
  void LoadFile(const QString& fileName);  // "Select File" confirmed, or a file dropped
  void Button1Click();                     // "Import"
  void Button2Click();                     // "Cancel", Esc, "Exit"
  void dhelpClick();                       // "?" and Help › Help

  // The reading has ended (with what it threw, if anything): the tree filled and drawn, the
  // window back, the status bar's last panel set.
  void ReadingEnded(std::exception_ptr error);
  // "Import" has ended: the program ends, or after a failure the preview is put back.
  void ImportEnded(std::exception_ptr error, const QImage& preview);

  void RefreshView();      // the tree rebuilt from the paths read, then drawn to fit all
  void UpdateInfoPanel();  // the panel and the attribute buttons from the selection
  void TreeView1Change();  // the selection changed: drawn again, the panel updated
  void cLinesClick();      // a filter check box: the tree rebuilt
  // Draws the preview: at once when the drawing is small, else on the drawing thread, the
  // window answering meanwhile and the picture shown once complete. The extent, the
  // information panel and "Import" are brought up to date at once either way.
  void RenderPreview(RenderRequest request) { preview_.Render(request, Tree); }
  void ShowPicture(PreviewPicture picture);
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
  // A drawing's settings as the buttons and the paint box stand.
  PreviewInput DrawingSettings() const;

  // Runs a handler; an exception that escapes it is reported and the window goes on.
  void Guarded(const std::function<void()>& handler);

  // How messages reach the user: a message box by default (tests record them instead). The
  // flag tells an error from a notice.
  std::function<void(const QString& text, bool error)> ShowMessage;

  // How Help reaches the help viewer or the user guide (tests record instead of launching).
  HelpOpener HelpViewers = DesktopHelpOpener();

  // The handlers connected to the components.
  void ConnectCommands();
  void DrawLineCounter(std::string_view text);

  std::vector<std::string> arguments_;
  TreeModel* model_ = nullptr;
  // The work the commands hand on; they go before the values above.
  ReloadController reload_{Model, Output, Interpreter};
  PreviewController preview_;
  ImportCommand import_;
  DeleteKey deleteKey_;
};

// Whether a file name looks like a drawing the program reads (".ai" or ".eps").
bool IsDrawingFileName(const QString& fileName);

}  // namespace aiimport
