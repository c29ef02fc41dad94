// The arithmetic of the preview: what the caller asks a drawing to do, the view modes, and the
// mapping from world coordinates (PostScript points) to paint-box pixels that a drawing
// works out and leaves behind for the mouse. Plain C++: the painting itself lives in
// render/previewrender.h.
#pragma once

#include <cstdint>
#include <optional>

#include "numeric.h"
#include "pathunit.h"

namespace aiimport {

// What a drawing does with ViewExtent and what it draws.
enum class RenderRequest : int32_t {
  KeepExtent = 0,    // extent unchanged; all tree paths in silver, the selection in colour
  FitAll = 1,        // extent set to the union of the boxes of all tree paths; drawn as KeepExtent
  FitSelection = 2,  // extent set to the union of the selected paths' boxes; drawn as KeepExtent
  RepaintAll = 10,   // extent unchanged; all tree paths in the view mode's colours, no silver
};

// How a list of paths is drawn. The window's view mode is one of the first three; Background
// is the silver pass behind the selection.
enum class DrawMode : int32_t { Wireframe = 0, Solid = 1, Orientation = 2, Background = 3 };

// The window's view mode from its three grouped buttons: Solid while "Draw Solid" is down,
// Orientation while "Draw Orientation" is down, otherwise Wireframe.
constexpr DrawMode ViewModeFromButtons(bool solidDown, bool orientationDown) {
  if (solidDown) return DrawMode::Solid;
  if (orientationDown) return DrawMode::Orientation;
  return DrawMode::Wireframe;
}

// The mapping of the last drawing: a world point (x, y) lies at paint-box pixel
// (OffsetX + R((x - OriginX) * Scale), OffsetY + R((y - OriginY) * Scale)). A drawing that
// draws nothing leaves the reset value (1, 0, 0, 0, 0).
struct ScreenMapping {
  float Scale = 1.0f;   // pixels per world unit
  float OriginX = 0;    // ViewExtent.MinX when the drawing was made
  float OriginY = 0;    // ViewExtent.MinY when the drawing was made
  int32_t OffsetX = 0;  // pixels from the paint box's left edge to OriginX
  int32_t OffsetY = 0;  // pixels from the paint box's top edge to OriginY
  friend bool operator==(const ScreenMapping&, const ScreenMapping&) = default;
};

// R((value - origin) * scale): the difference and the product are formed in extended
// precision and rounded to the nearest integer, halves to even. A result outside the int32
// range saturates at its end; not-a-number gives 0, so every input maps somewhere.
inline int32_t MapDistance(float value, float origin, float scale) {
  const long double difference = static_cast<long double>(value) - origin;
  return RoundSaturatedQuick(difference * scale);
}

// The paint-box pixel column or row of a world coordinate (without the enhanced factor).
// 64 bits wide, so the offset plus the distance never overflows.
inline int64_t MapX(const ScreenMapping& m, float x) {
  return int64_t{m.OffsetX} + MapDistance(x, m.OriginX, m.Scale);
}
inline int64_t MapY(const ScreenMapping& m, float y) {
  return int64_t{m.OffsetY} + MapDistance(y, m.OriginY, m.Scale);
}

// A path's bounding box in paint-box pixels: left from MinX, top from MinY, right from MaxX,
// bottom from MaxY. Not reordered: a negative scale gives left > right.
struct ScreenBox {
  int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const ScreenBox&, const ScreenBox&) = default;
};
ScreenBox MapBox(const ScreenMapping& m, const tpath& path);

// The margin, in pixels, across each direction of the paint box.
inline constexpr int32_t PreviewMargin = 10;

// Fits an extent into a paint box of width x height pixels, centred and keeping the aspect
// ratio: the scale is the smaller of (width - 10) / w and (height - 10) / h (float32), the
// offsets centre R(scale * w) x R(scale * h) pixels (integer halves, truncated). Nothing when
// the extent has zero width or height: the preview then shows its white background only.
// A paint box of 10 pixels or less gives a scale of zero or below, which is returned as is.
std::optional<ScreenMapping> FitExtent(const FloatRect& extent, int32_t width, int32_t height);

}  // namespace aiimport
