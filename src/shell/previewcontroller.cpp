#include "previewcontroller.h"

#include <QPointer>
#include <algorithm>
#include <utility>

#include "parallel.h"

namespace aiimport {

namespace {

constexpr std::size_t MinPathsPerBoxThread = 20000;

// Every path's box, the list cut into runs for the threads the long steps use (each path's box
// is its own, so the boxes are the same whatever the number).
void BoxEveryPath(std::deque<tpath>& paths) {
  const std::size_t threads =
      std::min<std::size_t>(ThreadCount(), paths.size() / MinPathsPerBoxThread + 1);
  const std::size_t share = paths.size() / threads;
  RunOnThreads(threads, [&paths, share, threads](std::size_t k) {
    const std::size_t end = k + 1 == threads ? paths.size() : share * (k + 1);
    for (std::size_t i = share * k; i < end; ++i)
      PathBox(paths[i]);
  });
}

std::size_t Points(const std::vector<const tpath*>& list) {
  std::size_t n = 0;
  for (const tpath* path : list)
    n += path->Items.size();
  return n;
}

}  // namespace

PreviewController::PreviewController(PathModel& model, PreviewHooks hooks, QObject* parent)
    : QObject(parent), model_(model), hooks_(std::move(hooks)) {}

PreviewController::~PreviewController() {
  Stop();
}

PreviewJob PreviewController::MakeJob(RenderRequest request, std::vector<const tpath*> treePaths,
                                      std::vector<const tpath*> selectedPaths,
                                      bool hasSelectedNode) const {
  PreviewJob job;
  job.TreePaths = std::move(treePaths);
  job.SelectedPaths = std::move(selectedPaths);
  PreviewInput& input = job.Input;
  input = hooks_.Settings();
  input.TreePaths = job.TreePaths;
  input.SelectedPaths = job.SelectedPaths;
  input.HasSelectedNode = hasSelectedNode;
  input.Request = request;
  job.Threads = ThreadCount();
  return job;
}

void PreviewController::PrepareTree(const TreeFilters& filters) {
  Stop();
  // Every path's box first: a large drawing can then start on the drawing thread while the
  // tree is filled.
  BoxEveryPath(model_.PathList);
  model_.ViewExtent = ComputeViewExtent(model_.PathList, false);
  silver_.Invalidate();
  // The silver picture of what the tree will show once filled: the paths that pass the
  // filters, in the order of the file, fitted to the view. It is drawn into the kept silver
  // picture while the tree is filled; Render then draws the selection over it.
  std::vector<const tpath*> paths;
  std::size_t points = 0;
  for (const tpath& path : model_.PathList) {
    if (!PassesFilters(path, filters)) continue;
    paths.push_back(&path);
    points += path.Items.size();
  }
  if (paths.empty() || points <= BackgroundDrawingPoints) return;
  PreviewJob job = MakeJob(RenderRequest::FitAll, std::move(paths), {}, true);
  ahead_ = job;  // kept to compare with
  StartDrawing(std::move(job), false);
}

void PreviewController::Render(RenderRequest request, const ObjectTree& tree) {
  const std::vector<tpath*> treeList = TreePaths(tree);
  std::vector<const tpath*> treePaths(treeList.begin(), treeList.end());
  std::vector<const tpath*> selectedPaths;
  const TreeNode* first = tree.First();
  if (first && tree.Selected() == first && !first->Path && tree.TopLevel().size() == 1) {
    selectedPaths = treePaths;  // the only top-level node holds every path
  } else {
    const std::vector<tpath*> list = SelectedPaths(tree);
    selectedPaths.assign(list.begin(), list.end());
  }
  treePathCount_ = treePaths.size();
  PreviewJob job =
      MakeJob(request, std::move(treePaths), std::move(selectedPaths), tree.Selected() != nullptr);
  PreviewInput& input = job.Input;

  // The silver picture started while the tree was filled is the one this drawing needs: it is
  // finished, and this drawing made after it.
  const bool after = ahead_ && drawingSize_ && SameSilver(*ahead_, job) &&
                     (request == RenderRequest::FitAll || request == RenderRequest::KeepExtent);
  ahead_.reset();
  if (!after) Stop();

  // The extent to fit and "Import" are settled now, as the drawing would settle them, so that
  // the commands and the information panel see them while the drawing is made.
  if (input.HasSelectedNode) {
    if (request == RenderRequest::FitAll) {
      model_.ViewExtent = ComputeViewExtent(input.TreePaths, false);
      input.Request = RenderRequest::KeepExtent;
    } else if (request == RenderRequest::FitSelection) {
      model_.ViewExtent = ComputeViewExtent(input.SelectedPaths, false);
      input.Request = RenderRequest::KeepExtent;
    }
    hooks_.EnableImport(!input.TreePaths.empty());
  }
  job.Extent = model_.ViewExtent;
  if (after) {
    StartDrawing(std::move(job), true);
    return;
  }

  // The points to draw: the selection's, and the silver pass's unless its picture is kept.
  std::size_t work = Points(job.SelectedPaths);
  if (input.Request == RenderRequest::RepaintAll ||
      !silver_.Matches(input.TreePaths, job.Extent, input.Width, input.Height, input.Enhanced))
    work += Points(job.TreePaths);
  if (!input.HasSelectedNode || work <= BackgroundDrawingPoints) {
    ++drawing_;
    RenderControl control;
    control.Threads = job.Threads;
    Deliver(RenderPreview(input, model_.ViewExtent, &silver_, control));
    return;
  }
  StartDrawing(std::move(job), false);
}

bool PreviewController::SameSilver(const PreviewJob& a, const PreviewJob& b) {
  const PreviewInput &x = a.Input, &y = b.Input;
  return a.TreePaths == b.TreePaths && x.HasSelectedNode && y.HasSelectedNode &&
         x.Enhanced == y.Enhanced && x.Width == y.Width && x.Height == y.Height &&
         x.Palette == y.Palette;
}

void PreviewController::StartDrawing(PreviewJob job, bool afterCurrent) {
  if (!afterCurrent) Stop();
  drawingSize_ = QSize(job.Input.Width, job.Input.Height);
  const uint64_t number = ++drawing_;
  QPointer<PreviewController> self(this);
  drawer_.Start(
      std::move(job),
      [self, number](PreviewPicture picture) {
        QMetaObject::invokeMethod(
            self,
            [self, number, picture = std::move(picture)]() mutable {
              if (self && number == self->drawing_) self->Deliver(std::move(picture));
            },
            Qt::QueuedConnection);
      },
      [self, number](std::exception_ptr error) {
        QMetaObject::invokeMethod(
            self,
            [self, number, error] {
              if (!self || number != self->drawing_) return;
              self->drawingSize_.reset();
              self->hooks_.Failed(error);
            },
            Qt::QueuedConnection);
      },
      afterCurrent);
}

void PreviewController::Stop() {
  drawer_.Stop();
  if (drawingSize_) ++drawing_;  // a picture already on its way is not shown
  drawingSize_.reset();
}

void PreviewController::Deliver(PreviewPicture picture) {
  drawingSize_.reset();
  hooks_.Show(std::move(picture));
}

}  // namespace aiimport
