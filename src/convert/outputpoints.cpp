#include "outputpoints.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "geometry.h"
#include "numeric.h"

namespace aiimport {

namespace {

[[noreturn, gnu::noinline, gnu::cold]] void ThrowNotFinite() {
  throw ImportError(
      "Cannot import: a coordinate of the drawing is not a finite number (its values are too "
      "large to compute with). Nothing was written.");
}

[[noreturn, gnu::noinline, gnu::cold]] void ThrowOutOfRange(float v) {
  char value[32];
  std::snprintf(value, sizeof value, "%g", static_cast<double>(v));
  throw ImportError("Cannot import: the coordinate " + std::string(value) +
                    " (points) lies outside the range of the host file (at most 2147483647 "
                    "micrometres, about 2.1 km, from the origin). Nothing was written.");
}

// R(v). The product is formed exactly: OutputScale has 23 significant bits and v at most 24,
// so a double holds it as the extended product would. Within the range checked first, the low
// 32 bits of the rounded product are the whole of it.
inline int32_t Micrometres(float v) {
  const double product = static_cast<double>(OutputScale) * static_cast<double>(v);
  if (!(product >= -2147483648.5 && product < 2147483647.5)) [[unlikely]] {
    if (!std::isfinite(product)) ThrowNotFinite();
    ThrowOutOfRange(v);
  }
  return RoundLow32Exact(product);
}

// One output path's points, curve by curve.
class PointBuilder {
 public:
  PointBuilder(std::vector<Tdot>& out, bool reduce) : out_(out), reduce_(reduce) {}

  void Add(const tbpoint& p) {
    switch (p.Kind) {
      case 0:  // move: the start of a sub-path
        Put(1, p.X1, p.Y1);
        previous_ = {p.X1, p.Y1};
        break;
      case 1:  // line: a node
        Put(2, p.X1, p.Y1);
        previous_ = {p.X1, p.Y1};
        break;
      case 2: {  // curve: quadratic controls, then the end point as a node
        const BezierSegment curve{previous_.X, previous_.Y, p.X1, p.Y1, p.X2, p.Y2, p.X3, p.Y3};
        previous_ = {p.X3, p.Y3};
        const CurveApprox approx = reduce_ ? ApproxCurveReduced(curve) : ApproxCurveFixed(curve);
        for (int32_t k = 0; k < approx.Count; ++k) {
          const FloatPoint& q = approx.Points[static_cast<std::size_t>(k)];
          Put(k + 1 < approx.Count ? 3 : 2, q.X, q.Y);
        }
        break;
      }
      default:  // no other kind produces a point
        break;
    }
  }

 private:
  void Put(int32_t kind, float x, float y) {
    out_.push_back({kind, Micrometres(x), Micrometres(y)});
  }

  std::vector<Tdot>& out_;
  bool reduce_;
  FloatPoint previous_{0, 0};
};

// The number of points the fixed conversion gives for a path: one per move and line, five per
// curve.
std::size_t FixedPointCount(const tpath& path) {
  std::size_t n = 0;
  for (const tbpoint& p : path.Items)
    n += p.Kind == 2 ? 5 : (p.Kind == 0 || p.Kind == 1 ? 1 : 0);
  return n;
}

}  // namespace

int32_t OutputCoordinate(float v) {
  return Micrometres(v);
}

void GenerateOutputPoints(ConversionResult& result, std::span<const tpath* const> paths,
                          bool reduce, Progress& progress, ConvertedPathHook* converted) {
  progress.ProcessEvents();
  std::vector<tdotpath>& output = result.OutputList;
  ClearPaths(output);
  progress.ShowStatus("Generating Splines.");

  output.reserve(paths.size());
  std::vector<Tdot> scratch;  // reduced paths are built here and copied at their exact size
  for (std::size_t index = 0; index < paths.size(); ++index) {
    const tpath* source = paths[index];
    tdotpath& path = output.emplace_back();
    path.LineColor = source->LineColor;
    path.FillColor = source->FillColor;
    path.Anticlockwise = source->Anticlockwise;
    path.Reversed = source->Reversed;
    path.Filled = source->Filled;
    path.Closed = source->Closed;
    path.GroupLevel = source->GroupLevel;
    path.CompoundNo = source->CompoundNo;
    if (reduce) {
      scratch.clear();
      PointBuilder builder(scratch, true);
      for (const tbpoint& p : source->Items)
        builder.Add(p);
      path.Items.assign(scratch.begin(), scratch.end());
    } else {
      path.Items.reserve(FixedPointCount(*source));
      PointBuilder builder(path.Items, false);
      for (const tbpoint& p : source->Items)
        builder.Add(p);
    }
    if (converted) converted->PathConverted(index);
  }

  // The extent, the shift and the boxes. This gives what ComputeOutputExtent, the shift,
  // ComputeDotBounds on every path and ComputeOutputExtent again give, in two passes instead of
  // five: a float32 box bound is the float32 of the integer extreme (rounding keeps the order).
  IntRect& extent = result.OutputExtent;
  extent = {2147483647, 2147483647, -2147483647, -2147483647};
  for (const tdotpath& path : output)
    for (const Tdot& d : path.Items) {
      extent.MinX = std::min(extent.MinX, d.X);
      extent.MinY = std::min(extent.MinY, d.Y);
    }
  const int64_t minX = extent.MinX, minY = extent.MinY;
  uint64_t total = 0;
  for (tdotpath& path : output) {
    int32_t boxMinX = 2147483647, boxMinY = 2147483647, boxMaxX = INT32_MIN, boxMaxY = INT32_MIN;
    for (Tdot& d : path.Items) {
      // Every point is at or above the minimum, so only the upper end of the range can be left.
      const int64_t x = d.X - minX, y = d.Y - minY;
      if (x > INT32_MAX || y > INT32_MAX)
        throw ImportError(
            "Cannot import: the drawing is too large for the host file (more than 2147483647 "
            "micrometres, about 2.1 km, across). Nothing was written.");
      d.X = static_cast<int32_t>(x);
      d.Y = static_cast<int32_t>(y);
      boxMinX = std::min(boxMinX, d.X);
      boxMinY = std::min(boxMinY, d.Y);
      boxMaxX = std::max(boxMaxX, d.X);
      boxMaxY = std::max(boxMaxY, d.Y);
    }
    if (path.Items.empty()) {
      path.MinX = path.MinY = 2147483648.0f;
      path.MaxX = path.MaxY = -2147483648.0f;
    } else {
      path.MinX = static_cast<float>(boxMinX);
      path.MinY = static_cast<float>(boxMinY);
      path.MaxX = static_cast<float>(boxMaxX);
      path.MaxY = static_cast<float>(boxMaxY);
      extent.MaxX = std::max(extent.MaxX, boxMaxX);
      extent.MaxY = std::max(extent.MaxY, boxMaxY);
      extent.MinX = extent.MinY = 0;
    }
    total += path.Count();
  }
  progress.ShowStatus("Total Nodes: " + std::to_string(total));
}

}  // namespace aiimport
