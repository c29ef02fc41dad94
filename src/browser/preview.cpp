#include "preview.h"

#include <cmath>
#include <limits>

#include "numeric.h"

namespace aiimport {

namespace {

// R(v) as an int32, saturating instead of failing.
int32_t RoundSaturated(long double v) {
  if (const auto r = RoundToInt32(v)) return *r;
  if (std::isnan(v)) return 0;
  return v > 0 ? std::numeric_limits<int32_t>::max() : std::numeric_limits<int32_t>::min();
}

int32_t ClampToInt32(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// (size - R(scale * extent)) / 2, truncated towards zero.
int32_t CentringOffset(int32_t size, float scale, float extent) {
  const int64_t used = RoundSaturated(static_cast<long double>(scale) * extent);
  return ClampToInt32((int64_t{size} - used) / 2);
}

}  // namespace

int32_t MapDistance(float value, float origin, float scale) {
  const long double difference = static_cast<long double>(value) - origin;
  return RoundSaturated(difference * scale);
}

ScreenBox MapBox(const ScreenMapping& m, const tpath& path) {
  return {MapX(m, path.MinX), MapY(m, path.MinY), MapX(m, path.MaxX), MapY(m, path.MaxY)};
}

std::optional<ScreenMapping> FitExtent(const FloatRect& extent, int32_t width, int32_t height) {
  const float w = extent.MaxX - extent.MinX;
  const float h = extent.MaxY - extent.MinY;
  if (w == 0 || h == 0) return std::nullopt;

  const float sx = static_cast<float>(static_cast<long double>(int64_t{width} - PreviewMargin) / w);
  const float sy =
      static_cast<float>(static_cast<long double>(int64_t{height} - PreviewMargin) / h);
  const float scale = sy < sx ? sy : sx;

  ScreenMapping m;
  m.Scale = scale;
  m.OriginX = extent.MinX;
  m.OriginY = extent.MinY;
  m.OffsetX = CentringOffset(width, scale, w);
  m.OffsetY = CentringOffset(height, scale, h);
  return m;
}

}  // namespace aiimport
