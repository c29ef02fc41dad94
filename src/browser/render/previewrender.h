// The preview drawing: the paths of the object tree painted into a QImage that the paint box
// shows. RenderPreview takes everything it depends on as arguments (the tree's paths, the
// selection, the request, the view mode, the enhanced option, the extent and the paint-box
// size) and hands back the picture, the mapping the mouse needs and whether "Import" is to be
// enabled. No antialiasing anywhere: every point lands on the pixel the mapping gives.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPointF>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "pathunit.h"
#include "preview.h"
#include "qtcolour.h"

namespace aiimport {

// The fixed colours of the preview (0x00BBGGRR).
inline constexpr TColor PreviewWhite = 0xFFFFFF;
inline constexpr TColor PreviewBlack = 0x000000;
inline constexpr TColor PreviewSilver = 0xC0C0C0;
inline constexpr TColor PreviewBlue = 0xFF0000;
inline constexpr TColor PreviewRed = 0x0000FF;
inline constexpr TColor PreviewDarkBlue = 0x800000;

// What one DrawPaths call did: paths whose points were emitted, and paths skipped because
// their mapped box lay wholly outside the clip rectangle.
struct DrawStats {
  std::size_t Emitted = 0;
  std::size_t Culled = 0;
};

// Draws a list of paths onto the painter's device. Consecutive paths with one CompoundNo form
// one figure (in Orientation mode every path is its own), filled even-odd and stroked with the
// settings the mode chooses for the figure's last path; a figure with a negative number is
// never finished and so not drawn. Every coordinate is factor * (offset + R((v - origin) *
// scale)); pens are one device pixel wide. `position` carries the current drawing position
// across calls (a line or curve that starts a figure starts there); null starts at (0, 0).
// Null entries of the list are skipped. A system colour is taken from the palette (by default
// the application's). When `cancel` is given and becomes true, the drawing stops within a few
// hundred paths and what it leaves on the canvas is incomplete. Strokes that only outline are
// set straight into an image's pixels, as the painter would set them; `painterLines` has the
// painter draw them instead (the tests compare the two).
DrawStats DrawPaths(QPainter& canvas, std::span<const tpath* const> paths, int factor,
                    DrawMode mode, const ScreenMapping& mapping, QPointF* position = nullptr,
                    const QPalette& palette = QPalette(), const std::atomic<bool>* cancel = nullptr,
                    bool painterLines = false);

// How a drawing runs: on how many threads, and whether it is to stop early.
struct RenderControl {
  // A long list of paths is cut, at the start of a figure, into this many parts that are drawn
  // side by side on layers of their own and laid over each other in order. The pixels are
  // those of one drawing in a row: every colour is opaque and nothing is antialiased, so a
  // later part's pixel replaces an earlier one exactly as it would on one canvas.
  unsigned Threads = 1;
  // The fewest points a part is given: below it a thread costs more than it saves.
  std::size_t MinPointsPerLayer = 20000;
  // When it becomes true the drawing stops soon; its picture is then incomplete.
  const std::atomic<bool>* Cancel = nullptr;
  // Every line through the painter rather than set straight into the pixels (the same pixels).
  bool PainterLines = false;
};

// Draws a list of paths as DrawPaths does, in RenderControl::Threads layers when the list is
// long enough to gain from it; the pixels and the position left behind are the same either way.
// False when it was cancelled.
bool DrawPathsLayered(QImage& target, std::span<const tpath* const> paths, int factor,
                      DrawMode mode, const ScreenMapping& mapping, QPointF& position,
                      const QPalette& palette, const RenderControl& control);

// Half the width and height of the source (an odd last column or row is dropped), each of the
// three colour bytes the average of the 2 x 2 source pixels, rounded down. RGB32 result; a null
// source gives a null image.
QImage HalveBitmap(const QImage& source);

// The white background plus the silver pass of every tree path, kept between drawings. It
// depends only on the tree's paths (their order and compound numbers), the extent, the
// paint-box size and the enhanced option, so a selection change that keeps those reuses it.
// It recognises the paths by address: call Invalidate whenever the paths are read anew (a
// reload may put new paths at old addresses). Points never change after reading.
class SilverCache {
 public:
  void Invalidate();
  bool Empty() const { return image_.isNull(); }

  // True when the stored picture was drawn for exactly these inputs.
  bool Matches(std::span<const tpath* const> treePaths, const FloatRect& extent, int32_t width,
               int32_t height, bool enhanced) const;
  void Store(std::span<const tpath* const> treePaths, const FloatRect& extent, int32_t width,
             int32_t height, bool enhanced, const QImage& image, QPointF endPosition);

  const QImage& Image() const { return image_; }
  QPointF EndPosition() const { return endPosition_; }

 private:
  std::vector<std::pair<const tpath*, int32_t>> paths_;  // path and its CompoundNo
  FloatRect extent_{};
  int32_t width_ = 0;
  int32_t height_ = 0;
  bool enhanced_ = false;
  QImage image_;
  QPointF endPosition_;
};

// Everything a drawing depends on.
struct PreviewInput {
  std::span<const tpath* const> TreePaths;      // every tree node's path, in tree order
  std::span<const tpath* const> SelectedPaths;  // the paths under the selected node
  bool HasSelectedNode = false;
  RenderRequest Request = RenderRequest::KeepExtent;
  DrawMode ViewMode = DrawMode::Solid;  // Wireframe, Solid or Orientation
  bool Enhanced = true;                 // "Enanced View": drawn at twice the size and halved
  int32_t Width = 0;                    // the paint box
  int32_t Height = 0;
  QPalette Palette;  // where system colours come from (the application's unless set)
};

// What a drawing produces.
struct PreviewPicture {
  QImage Image;           // Width x Height, RGB32 (null for an empty paint box)
  ScreenMapping Mapping;  // (1, 0, 0, 0, 0) when nothing was drawn
  // "Import" enabled (the tree holds a path) or disabled; nothing when no node is selected,
  // which leaves the button as it is.
  std::optional<bool> ImportEnabled;
  // False when the drawing was cancelled: the image is then not to be shown (the extent and
  // the mapping are still right).
  bool Complete = true;
};

// Draws the preview. FitAll and FitSelection set viewExtent first (the union of the stored
// boxes of the tree's or the selection's paths; (0, 0, 1, 1) for none). With a cache the
// silver pass is taken from it when it still fits, and stored in it otherwise; the pixels are
// the same either way, and so are they whatever the control's thread count.
PreviewPicture RenderPreview(const PreviewInput& input, FloatRect& viewExtent,
                             SilverCache* cache = nullptr, const RenderControl& control = {});

// The interpreter's line counter: the text at (0, 0) of the picture in the given font and
// colours, on an opaque background. Returns the rectangle it painted.
QRect DrawLineCounter(QImage& image, const std::string& text, const QFont& font,
                      const QColor& textColor = Qt::black, const QColor& background = Qt::white);

}  // namespace aiimport
