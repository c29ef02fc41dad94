#include "preview.h"

#include "numeric.h"

namespace aiimport {

ScreenBox MapBox(const ScreenMapping& m, const tpath& path) {
  return {MapX(m, path.MinX), MapY(m, path.MinY), MapX(m, path.MaxX), MapY(m, path.MaxY)};
}

std::optional<ScreenMapping> FitExtent(const FloatRect& extent, int32_t width, int32_t height) {
  const float w = extent.MaxX - extent.MinX;
  const float h = extent.MaxY - extent.MinY;
  if (w == 0 || h == 0) return std::nullopt;
  const PaintBoxFit fit = FitIntoPaintBox(w, h, width, height);
  ScreenMapping m;
  m.Scale = fit.Scale;
  m.OriginX = extent.MinX;
  m.OriginY = extent.MinY;
  m.OffsetX = fit.OffsetX;
  m.OffsetY = fit.OffsetY;
  return m;
}

}  // namespace aiimport
