#include "reloadcontroller.h"

#include <utility>

namespace aiimport {

ReloadController::ReloadController(PathModel& model, ConversionResult& output,
                                   InterpreterState& interpreter, QObject* parent)
    : QObject(parent), model_(model), output_(output), interpreter_(interpreter) {}

ReloadController::~ReloadController() {
  Abort();
}

void ReloadController::Abort() {
  if (!task_.Running()) return;
  dialog_->Button1Click();
  task_.Wait();
  dialog_->EndReading();
}

void ReloadController::Start(const std::string& fileName, const ReadOptions& options,
                             std::function<void(std::string_view)> lineCounter,
                             std::function<void(std::exception_ptr)> ended) {
  if (!dialog_) dialog_ = std::make_unique<Tfabort>();
  Tfabort& dialog = *dialog_;
  dialog.BeginReading();
  dialog.LineCounter = std::move(lineCounter);
  dialog.show();
  // The dialog takes the keyboard focus, so that Esc presses "Abort": the disabled window
  // would keep it and swallow every key.
  dialog.raise();
  dialog.activateWindow();
  result_ = ReadResult();

  try {
    task_.Start(
        [this, &dialog, fileName, options] {
          // The last drawing's paths go first (a reading empties the drawing however it ends),
          // so that their memory serves this one rather than lying beside it.
          ClearPaths(model_.PathList);
          ClearPaths(output_.OutputList);  // a reload starts without the paths of an import
          // The heap grown for the reading and kept while the tree and the picture are made;
          // what none of them took is returned once the picture is shown.
          heap_.reset();
          heap_.emplace(fileName);
          result_ = ReadSourceFile(model_, interpreter_, fileName, options, dialog);
          heap_->ReadingEnded();
        },
        [this, ended = std::move(ended)](std::exception_ptr error) {
          if (error) heap_.reset();
          dialog_->EndReading();
          ended(error);
        });
  } catch (...) {
    dialog.EndReading();  // the reading could not start
    throw;
  }
}

QString ReloadController::StatusText(std::size_t shown) const {
  const std::string separator = dialog_ ? dialog_->ThousandsSeparator() : std::string(",");
  return QString::fromStdString(ReadingStatus(result_, shown, separator));
}

}  // namespace aiimport
