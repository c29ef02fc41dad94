#include "zoom.h"

#include <algorithm>
#include <cmath>

namespace aiimport {

PixelRect NormalizeRect(const PixelRect& rect) {
  return {std::min(rect.Left, rect.Right), std::min(rect.Top, rect.Bottom),
          std::max(rect.Left, rect.Right), std::max(rect.Top, rect.Bottom)};
}

namespace {

// (pixel - offset) / scale + origin, in extended precision, stored as float32.
float Unmap(int32_t pixel, int32_t offset, float scale, float origin) {
  const long double distance = static_cast<long double>(int64_t{pixel} - offset);
  return static_cast<float>(distance / scale + origin);
}

}  // namespace

std::optional<FloatRect> ZoomAreaExtent(const PixelRect& zoomRect, const ScreenMapping& mapping) {
  if (mapping.Scale == 0 || std::isnan(mapping.Scale)) return std::nullopt;
  const PixelRect r = NormalizeRect(zoomRect);
  FloatRect extent;
  extent.MinX = Unmap(r.Left, mapping.OffsetX, mapping.Scale, mapping.OriginX);
  extent.MaxX = Unmap(r.Right, mapping.OffsetX, mapping.Scale, mapping.OriginX);
  extent.MinY = Unmap(r.Top, mapping.OffsetY, mapping.Scale, mapping.OriginY);
  extent.MaxY = Unmap(r.Bottom, mapping.OffsetY, mapping.Scale, mapping.OriginY);
  // The widths are compared exactly, so a width that only rounds to 5 still counts as less.
  if (static_cast<long double>(extent.MaxX) - extent.MinX < MinZoomSize) {
    extent.MaxX = extent.MinX + MinZoomSize;
  }
  if (static_cast<long double>(extent.MaxY) - extent.MinY < MinZoomSize) {
    extent.MaxY = extent.MinY + MinZoomSize;
  }
  return extent;
}

std::optional<int64_t> HitArea(const tpath& path, const ScreenMapping& mapping, int32_t x,
                               int32_t y) {
  const ScreenBox box = MapBox(mapping, path);
  if (!(box.Left <= x && x < box.Right && box.Top <= y && y < box.Bottom)) return std::nullopt;
  const int64_t width = box.Right - box.Left;  // both at least 1 here, at most 2^33
  const int64_t height = box.Bottom - box.Top;
  // A side of NoHitArea or more makes an area that never wins; leave it there so that the
  // product below stays far from overflow.
  if (width >= NoHitArea || height >= NoHitArea) return NoHitArea;
  return width * height;
}

std::optional<std::size_t> PickPath(std::span<const tpath* const> paths,
                                    const ScreenMapping& mapping, int32_t x, int32_t y) {
  std::optional<std::size_t> candidate;
  int64_t best = NoHitArea;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (!paths[i]) continue;
    const auto area = HitArea(*paths[i], mapping, x, y);
    if (area && *area < best) {
      best = *area;
      candidate = i;
    }
  }
  return candidate;
}

}  // namespace aiimport
