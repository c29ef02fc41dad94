#include "backgroundtask.h"

#include <utility>

#include "parallel.h"

namespace aiimport {

BackgroundTask::BackgroundTask(QObject* parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask() {
  Wait();  // the end it posted goes with this object
}

void BackgroundTask::Start(std::function<void()> work, Ended ended) {
  thread_.reset();
  const uint64_t number = ++started_;
  WorkerThreads::Work run = [this, number, work = std::move(work)](std::size_t) {
    std::exception_ptr error;
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
    QMetaObject::invokeMethod(
        this, [this, number, error] { Finish(number, error); }, Qt::QueuedConnection);
  };
  thread_ = std::make_unique<WorkerThreads>(1, run);
  ended_ = std::move(ended);
  running_ = true;  // its end, posted, comes later
  if (thread_->Started() == 0) run(0);
}

void BackgroundTask::Wait() {
  thread_.reset();
  ended_ = nullptr;
  running_ = false;
}

void BackgroundTask::Finish(uint64_t number, std::exception_ptr error) {
  if (!running_ || number != started_) return;  // waited for
  thread_.reset();                              // the work has ended: its thread is at its end
  running_ = false;
  const Ended ended = std::exchange(ended_, nullptr);
  if (ended) ended(error);
}

}  // namespace aiimport
