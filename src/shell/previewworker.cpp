#include "previewworker.h"

#include <exception>
#include <utility>

#include "parallel.h"

namespace aiimport {

PreviewWorker::PreviewWorker(SilverCache& cache) : cache_(cache) {}

PreviewWorker::~PreviewWorker() {
  Stop();
}

void PreviewWorker::Start(PreviewJob job, Done done, Failed failed, bool afterCurrent) {
  // One drawing's state, shared by every copy of its work.
  struct Drawing {
    std::unique_ptr<WorkerThreads> Before;  // the drawing to wait for, if any
    PreviewJob Job;
    Done OnDone;
    Failed OnFailed;
  };
  auto d = std::make_shared<Drawing>();
  if (afterCurrent) {
    d->Before = std::move(thread_);
  } else {
    Stop();
    cancel_.store(false);
  }
  d->Job = std::move(job);
  d->OnDone = std::move(done);
  d->OnFailed = std::move(failed);
  const WorkerThreads::Work work = [this, d](std::size_t) {
    d->Before.reset();  // waits for the drawing before this one
    if (cancel_.load()) return;
    try {
      PreviewJob& j = d->Job;
      j.Input.TreePaths = j.TreePaths;
      j.Input.SelectedPaths = j.SelectedPaths;
      RenderControl control;
      control.Threads = j.Threads;
      control.Cancel = &cancel_;
      FloatRect extent = j.Extent;
      PreviewPicture picture = RenderPreview(j.Input, extent, &cache_, control);
      if (picture.Complete && !cancel_.load()) d->OnDone(std::move(picture));
    } catch (...) {
      if (!cancel_.load()) d->OnFailed(std::current_exception());
    }
  };
  thread_ = std::make_unique<WorkerThreads>(1, work);
  // No thread to be had: drawn here and now (after the drawing before it).
  if (thread_->Started() == 0) work(0);
}

void PreviewWorker::Stop() {
  if (!thread_) return;
  cancel_.store(true);
  thread_.reset();  // waits for the drawing and the one it waits for
}

}  // namespace aiimport
