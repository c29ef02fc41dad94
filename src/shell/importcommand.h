// "Import": the paths of the tree converted into the host's points and written as the DOT file
// in the host's temporary folder, on a thread of its own while every window of the program is
// disabled and the event loop goes on. "Auto-Fix Holes" draws the output while it works: into
// a picture of the conversion's own, a copy of which the preview shows every 40 ms, with the
// conversion's captions in the "Nodes:" label.
#pragma once

#include <QImage>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "backgroundtask.h"
#include "hostdir.h"
#include "importchain.h"
#include "pathunit.h"

class QLabel;
class QTimer;

namespace aiimport {

class TPaintBox;
class ConvertView;

// The host directory's platform with the window's messages (`show`, which outlives it).
SystemHostPlatform WindowHostPlatform(
    const std::function<void(const QString& text, bool error)>& show);

class ImportCommand : public QObject {
 public:
  // The import fills `output`; messages go through `show` (the window's, which outlives this).
  ImportCommand(ConversionResult& output,
                const std::function<void(const QString& text, bool error)>& show,
                QObject* parent = nullptr);
  ~ImportCommand() override;

  // Starts the import of `paths` (in tree order), unless there are none, which the user is told
  // (false). The conversion draws on the preview `box` (system colours from `palette`) and
  // writes its captions into `caption`, both shown as they were last handed over until `ended`
  // is called, on the window's thread, with the windows enabled again and what the import
  // threw (null if nothing). After a failure the cursor is back; after success it stays the
  // hour-glass.
  bool Start(const std::vector<const tpath*>& paths, const ImportOptions& options, TPaintBox& box,
             QLabel& caption, const QPalette& palette,
             std::function<void(std::exception_ptr)> ended);
  bool Running() const { return task_.Running(); }
  // Waits for an import under way to end; `ended` is not called.
  void Wait() { task_.Wait(); }

 private:
  // Shows the conversion's caption and picture when they changed.
  void ShowProgress();

  ConversionResult& output_;
  QPointer<TPaintBox> box_;
  QPointer<QLabel> caption_;
  const std::function<void(const QString& text, bool error)>& show_;
  std::vector<QPointer<QWidget>> disabled_;  // the windows disabled for the import
  std::unique_ptr<ConvertView> view_;
  QTimer* shown_;        // ShowProgress every 40 ms while the import runs
  BackgroundTask task_;  // last: it waits for the import before the rest goes
};

}  // namespace aiimport
