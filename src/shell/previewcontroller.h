// The window's preview: which drawing is made and where (at once when it is small, else on the
// drawing thread, the window answering meanwhile), the silver picture kept between drawings
// and the one drawn ahead of the tree after a reading, and which of the pictures on their way
// is shown: only the latest drawing's, never one of paths that have changed since.
#pragma once

#include <QObject>
#include <QSize>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>

#include "objecttree.h"
#include "pathunit.h"
#include "preview.h"
#include "previewrender.h"
#include "previewworker.h"

namespace aiimport {

// The window's side of the preview.
struct PreviewHooks {
  // A drawing's settings as the window stands: the view mode, "Enanced View", the paint box's
  // width and height, the palette (the lists and the request are the controller's).
  std::function<PreviewInput()> Settings;
  // "Import" enabled or not, settled when a drawing starts.
  std::function<void(bool enabled)> EnableImport;
  // A complete picture to show, on the window's thread.
  std::function<void(PreviewPicture picture)> Show;
  // What stopped a drawing on the drawing thread, on the window's thread.
  std::function<void(std::exception_ptr error)> Failed;
};

class PreviewController : public QObject {
 public:
  // The paths drawn are the model's; its ViewExtent is the extent fitted and kept.
  PreviewController(PathModel& model, PreviewHooks hooks, QObject* parent = nullptr);
  ~PreviewController() override;

  // Drawings of more points than this (the silver pass counted when it is not kept) are made on
  // the drawing thread: about 20 ms of drawing.
  std::size_t BackgroundDrawingPoints = 50000;

  // Right after the paths were read or the filters changed, before the tree is built: every
  // path's box (the tree does not use them), the extent of all paths, and, for a large drawing,
  // the silver picture the filled tree will need, started on the drawing thread while the tree
  // is filled.
  void PrepareTree(const TreeFilters& filters);
  // Draws the tree's paths with its selection over them: at once when the drawing is small,
  // else on the drawing thread. The extent and "Import" are settled at once either way.
  void Render(RenderRequest request, const ObjectTree& tree);
  // Stops a drawing under way on the drawing thread (its picture is never shown). Called before
  // the paths change or go and before the silver picture is dropped.
  void Stop();
  // The kept silver picture no longer holds (the paths changed or were read anew).
  void Invalidate() { silver_.Invalidate(); }

  // Whether a drawing is under way on the drawing thread, and for which paint-box size.
  bool Drawing() const { return drawingSize_.has_value(); }
  std::optional<QSize> DrawingSize() const { return drawingSize_; }
  // The tree's paths at the last drawing.
  std::size_t TreePathCount() const { return treePathCount_; }

 private:
  // The drawing of the given lists as the window's settings ask for it.
  PreviewJob MakeJob(RenderRequest request, std::vector<const tpath*> treePaths,
                     std::vector<const tpath*> selectedPaths, bool hasSelectedNode) const;
  // On the drawing thread; after the drawing under way, or stopping it.
  void StartDrawing(PreviewJob job, bool afterCurrent);
  void Deliver(PreviewPicture picture);
  // Whether two drawings need the same silver picture.
  static bool SameSilver(const PreviewJob& a, const PreviewJob& b);

  PathModel& model_;
  PreviewHooks hooks_;
  SilverCache silver_;
  PreviewWorker drawer_{silver_};     // the drawing thread, which keeps the silver picture
  uint64_t drawing_ = 0;              // the number of the latest drawing
  std::optional<QSize> drawingSize_;  // the paint-box size of a drawing under way
  std::optional<PreviewJob> ahead_;   // the silver picture started ahead of the tree
  std::size_t treePathCount_ = 0;
};

}  // namespace aiimport
