#include "outputpoints.h"

#include <cmath>
#include <vector>

#include "geometry.h"
#include "numeric.h"

namespace aiimport {

namespace {

[[noreturn]] void ThrowNotFinite() {
  throw ImportError(
      "Cannot import: a coordinate of the drawing is not a finite number (its values are too "
      "large to compute with). Nothing was written.");
}

[[noreturn]] void ThrowOutOfRange(float v) {
  throw ImportError("Cannot import: the coordinate " + std::to_string(v) +
                    " (points) lies outside the range of the host file (at most 2147483647 "
                    "micrometres, about 2.1 km, from the origin). Nothing was written.");
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
    out_.push_back({kind, OutputCoordinate(x), OutputCoordinate(y)});
  }

  std::vector<Tdot>& out_;
  bool reduce_;
  FloatPoint previous_{0, 0};
};

// The number of points the fixed conversion gives for a path: one per move and line, five per
// curve.
std::size_t FixedPointCount(const tpath& path) {
  std::size_t n = 0;
  for (const tbpoint& p : path.Items) n += p.Kind == 2 ? 5 : (p.Kind == 0 || p.Kind == 1 ? 1 : 0);
  return n;
}

}  // namespace

int32_t OutputCoordinate(float v) {
  const long double product = static_cast<long double>(OutputScale) * v;
  if (!std::isfinite(product)) ThrowNotFinite();
  const std::optional<int32_t> r = RoundToInt32(product);
  if (!r) ThrowOutOfRange(v);
  return *r;
}

void GenerateOutputPoints(PathStore& store, std::span<const tpath* const> paths, bool reduce,
                          ConvertView& view) {
  view.ProcessEvents();
  std::vector<tdotpath>& output = store.OutputList;
  ClearPaths(output);
  view.SetNodesCaption("Generating Splines.");

  output.reserve(paths.size());
  std::vector<Tdot> scratch;  // reduced paths are built here and copied at their exact size
  for (const tpath* source : paths) {
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
      for (const tbpoint& p : source->Items) builder.Add(p);
      path.Items.assign(scratch.begin(), scratch.end());
    } else {
      path.Items.reserve(FixedPointCount(*source));
      PointBuilder builder(path.Items, false);
      for (const tbpoint& p : source->Items) builder.Add(p);
    }
  }

  ComputeOutputExtent(store);
  const int64_t minX = store.OutputExtent.MinX, minY = store.OutputExtent.MinY;
  uint64_t total = 0;
  for (tdotpath& path : output) {
    for (Tdot& d : path.Items) {
      // Every point is at or above the minimum, so only the upper end of the range can be left.
      const int64_t x = d.X - minX, y = d.Y - minY;
      if (x > INT32_MAX || y > INT32_MAX)
        throw ImportError(
            "Cannot import: the drawing is too large for the host file (more than 2147483647 "
            "micrometres, about 2.1 km, across). Nothing was written.");
      d.X = static_cast<int32_t>(x);
      d.Y = static_cast<int32_t>(y);
    }
    ComputeDotBounds(path);
    total += path.Count();
  }
  ComputeOutputExtent(store);
  view.SetNodesCaption("Total Nodes: " + std::to_string(total));
}

}  // namespace aiimport
