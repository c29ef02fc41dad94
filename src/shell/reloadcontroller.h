// The window's reading of a file (File › Reload): the reading runs on a thread of its own while
// the window's event loop goes on, the progress dialog shows what it reports and "Abort" stops
// it. The window stays disabled meanwhile and touches neither the paths nor the interpreter's
// values until the reading has ended.
#pragma once

#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "abortdialog.h"
#include "backgroundtask.h"
#include "interpreter.h"
#include "pathunit.h"
#include "readfile.h"
#include "readingheap.h"

namespace aiimport {

class ReloadController : public QObject {
 public:
  // The paths read go into `model`; `output` is emptied with them; the reader's values that
  // survive from one file to the next are in `interpreter`.
  ReloadController(PathModel& model, ConversionResult& output, InterpreterState& interpreter,
                   QObject* parent = nullptr);
  // A reading under way is aborted and waited for.
  ~ReloadController() override;

  // The progress dialog, a window of its own (not a child of the main window), so that it
  // stays usable while a reading disables the main window. Without one the first reading makes
  // it. Not to be replaced while a file is read.
  std::unique_ptr<Tfabort>& Dialog() { return dialog_; }

  // From Start until `ended` has been called.
  bool Reading() const { return task_.Running(); }
  // Aborts a reading under way and waits for it; `ended` is not called.
  void Abort();

  // Starts reading `fileName` with the dialog shown, its "Abort" focused. The paths of the last
  // drawing and of an earlier import go first, so that their memory serves this reading, which
  // grows the heap up front. The interpreter's line counter is drawn by `lineCounter`. `ended`
  // is called on the window's thread when the reading has ended, the dialog hidden, with what
  // the reading threw (null if nothing).
  void Start(const std::string& fileName, const ReadOptions& options,
             std::function<void(std::string_view)> lineCounter,
             std::function<void(std::exception_ptr)> ended);

  // The status bar's last panel after the reading: why a file could not be read or gave
  // nothing, how it was read when that is not the plain way, and what it holds that was not
  // imported; `shown` is the number of paths the tree shows.
  QString StatusText(std::size_t shown) const;

  // The picture of the paths read is complete (or will not come): the heap the reading grew is
  // returned to its defaults, and what none of the paths took to the system.
  void PictureShown() {
    if (!Reading()) heap_.reset();
  }

 private:
  PathModel& model_;
  ConversionResult& output_;
  InterpreterState& interpreter_;
  std::unique_ptr<Tfabort> dialog_;
  // The heap of the last reading, kept until its picture is shown.
  std::optional<ReadingHeap> heap_;
  ReadResult result_;
  BackgroundTask task_;  // last: it waits for the reading before the rest goes
};

}  // namespace aiimport
