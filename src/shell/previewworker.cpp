#include "previewworker.h"

#include <exception>
#include <utility>

namespace aiimport {

void PreviewWorker::Start(PreviewJob job, Done done, Failed failed, bool afterCurrent) {
  std::thread before;
  if (afterCurrent) {
    before = std::move(thread_);
  } else {
    Stop();
    cancel_.store(false);
  }
  thread_ = std::thread([this, before = std::move(before), job = std::move(job),
                         done = std::move(done), failed = std::move(failed)]() mutable {
    if (before.joinable()) before.join();
    if (cancel_.load()) return;
    try {
      job.Input.TreePaths = job.TreePaths;
      job.Input.SelectedPaths = job.SelectedPaths;
      RenderControl control;
      control.Threads = job.Threads;
      control.Cancel = &cancel_;
      FloatRect extent = job.Extent;
      PreviewPicture picture = RenderPreview(job.Input, extent, &cache_, control);
      if (picture.Complete && !cancel_.load()) done(std::move(picture));
    } catch (...) {
      if (!cancel_.load()) failed(std::current_exception());
    }
  });
}

void PreviewWorker::Stop() {
  if (!thread_.joinable()) return;
  cancel_.store(true);
  thread_.join();
}

}  // namespace aiimport
