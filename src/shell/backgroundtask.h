// One piece of the window's work on a thread of its own (src/pathunit/parallel.h), while the
// window's event loop goes on; its end is handled on the window's thread, from the event loop.
// When the system gives no thread, the work runs at once on the calling thread (the window then
// waits for it), and its end is handled the same way.
#pragma once

#include <QObject>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

namespace aiimport {

class WorkerThreads;

class BackgroundTask : public QObject {
 public:
  // Called on the window's thread once the work has ended, with what it threw (null if nothing).
  using Ended = std::function<void(std::exception_ptr error)>;

  explicit BackgroundTask(QObject* parent = nullptr);
  // Waits for the work under way; its end is not handled. Whoever started it must have made it
  // stop first (an abort flag it polls).
  ~BackgroundTask() override;
  BackgroundTask(const BackgroundTask&) = delete;
  BackgroundTask& operator=(const BackgroundTask&) = delete;

  // Starts `work`; one at a time.
  void Start(std::function<void()> work, Ended ended);
  // From Start until `ended` is called.
  bool Running() const { return running_; }
  // Waits for the work under way to end; its end is then not handled.
  void Wait();

 private:
  void Finish(uint64_t number, std::exception_ptr error);

  std::unique_ptr<WorkerThreads> thread_;
  uint64_t started_ = 0;  // the number of the latest work
  Ended ended_;
  bool running_ = false;
};

}  // namespace aiimport
