// The preview's drawing thread: a drawing of many points is made away from the window's event
// loop, so that the window answers while it is drawn, and is shown when it is complete. One
// drawing at a time: a new one cancels the one under way, which stops within a few hundred
// paths. When the system gives no thread, the drawing is made at once on the calling thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "pathunit.h"
#include "previewrender.h"

namespace aiimport {

// What a drawing in the background needs, its own copies of the lists included. The paths
// themselves are the window's: it stops the drawing before it changes or releases any.
struct PreviewJob {
  std::vector<const tpath*> TreePaths;
  std::vector<const tpath*> SelectedPaths;
  PreviewInput Input;  // its lists are set to the two above when the drawing starts
  FloatRect Extent{};
  unsigned Threads = 1;
};

class WorkerThreads;

class PreviewWorker {
 public:
  // Called on the drawing thread (or on the calling thread, when there is none) with the
  // complete picture, or with the error that stopped it.
  using Done = std::function<void(PreviewPicture picture)>;
  using Failed = std::function<void(std::exception_ptr error)>;

  // The silver picture is kept in `cache`, which only the drawing thread touches while a
  // drawing is under way.
  explicit PreviewWorker(SilverCache& cache);
  ~PreviewWorker();
  PreviewWorker(const PreviewWorker&) = delete;
  PreviewWorker& operator=(const PreviewWorker&) = delete;

  // Starts a drawing: a drawing under way is stopped first, or, with `afterCurrent`, finished
  // first (its silver picture can then serve this one). A cancelled drawing calls neither
  // function.
  void Start(PreviewJob job, Done done, Failed failed, bool afterCurrent = false);
  // Stops the drawing under way, if any, and waits for its thread.
  void Stop();

 private:
  SilverCache& cache_;
  std::atomic<bool> cancel_{false};
  // The thread of the latest drawing; it holds the one of the drawing before it, when it was
  // started after it, and waits for it first.
  std::unique_ptr<WorkerThreads> thread_;
};

}  // namespace aiimport
