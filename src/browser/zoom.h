// The mouse on the preview: picking the path under a click, turning a dragged zoom area back
// into world coordinates, and the grey gradient behind the tool bar. Plain C++; the window
// supplies the mouse positions and the mapping of the last drawing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "pathunit.h"
#include "preview.h"

namespace aiimport {

// A rectangle in paint-box pixels. A zoom area keeps the corner where the drag started in
// Left/Top and the corner that follows the mouse in Right/Bottom, so it is not ordered.
struct PixelRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Left/Top the smaller and Right/Bottom the larger of each pair.
PixelRect NormalizeRect(const PixelRect& rect);

// A zoom area smaller than this many world units in a direction is widened to it.
inline constexpr float MinZoomSize = 5.0f;

// The world rectangle for a zoom area dragged on a drawing made with `mapping`: the normalised
// rectangle taken back through the mapping without rounding, then MaxX raised to MinX + 5
// when narrower than 5 units, likewise MaxY. A click without movement gives the 5 x 5 area
// whose top-left corner is the clicked point. Nothing when the last drawing's scale is zero
// (a paint box of 10 pixels or less) or not a number: the release then changes nothing.
std::optional<FloatRect> ZoomAreaExtent(const PixelRect& zoomRect, const ScreenMapping& mapping);

// The area of the path's mapped box when the point (x, y) lies in it (left <= x < right,
// top <= y < bottom); nothing otherwise. A box of zero width or height holds no point.
std::optional<int64_t> HitArea(const tpath& path, const ScreenMapping& mapping, int32_t x,
                               int32_t y);

// A click hits the box areas below this; the first candidate must be smaller.
inline constexpr int64_t NoHitArea = 2147483647;

// The index of the path a click at (x, y) picks: the one whose mapped box holds the point and
// has the smallest area, the earliest on a tie. Nothing on a miss. Null entries are skipped.
std::optional<std::size_t> PickPath(std::span<const tpath* const> paths,
                                    const ScreenMapping& mapping, int32_t x, int32_t y);

// The tree node a click at (x, y) selects. `nodes` lists, in tree order, the nodes that carry
// a path as pairs (node, path); any range of two-member records will do. A miss keeps
// `current`, the node selected now.
template <class Range, class NodeId>
NodeId PickNode(const Range& nodes, const ScreenMapping& mapping, int32_t x, int32_t y,
                NodeId current) {
  NodeId candidate = current;
  int64_t best = NoHitArea;
  for (const auto& [node, path] : nodes) {
    if (!path) continue;
    const auto area = HitArea(*path, mapping, x, y);
    if (area && *area < best) {
      best = *area;
      candidate = node;
    }
  }
  return candidate;
}

// The tool bar's background: rows 0 to 32 from its top, each a horizontal line in the grey
// 255 - (row * 128) / 32 (255, 251, ..., 127); lower rows keep the normal background.
inline constexpr int ToolBarGradientRows = 33;
constexpr int ToolBarGradientGrey(int row) {
  return 255 - (row * 128) / 32;
}

}  // namespace aiimport
