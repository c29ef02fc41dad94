#include "pathunit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "numeric.h"

namespace aiimport {

namespace {

constexpr long double Pi = 3.14159265358979323846264338327950288L;

}  // namespace

float Direction(float x, float y) {
  if (x == 0.0f) {
    if (y == 0.0f) return 0.0f;
    return y > 0.0f ? 1.5707964f : -1.5707964f;
  }
  long double angle = std::atan(static_cast<long double>(y) / static_cast<long double>(x));
  if (x < 0.0f) angle += (y >= 0.0f) ? Pi : -Pi;
  return static_cast<float>(angle);
}

float TurnAngle(FloatPoint p, FloatPoint q, FloatPoint r) {
  const FloatPoint d1{q.X - p.X, q.Y - p.Y};
  const FloatPoint d2{r.X - p.X, r.Y - p.Y};
  if (d1.X == 0.0f && d1.Y == 0.0f) return 0.0f;
  const float a = Direction(d1.X, d1.Y);
  const long double c = std::cos(-static_cast<long double>(a));
  const long double s = std::sin(-static_cast<long double>(a));
  auto rotate = [&](FloatPoint v) {
    const long double x = v.X, y = v.Y;
    return FloatPoint{static_cast<float>(x * c - y * s), static_cast<float>(x * s + y * c)};
  };
  const FloatPoint r1 = rotate(d1);
  const FloatPoint r2 = rotate(d2);
  return Direction(r2.X - r1.X, r2.Y - r1.Y);
}

namespace {

// A coordinate times 1000, rounded half to even, low 32 bits kept; `nearest` as
// ConversionsRoundToNearest() says for this thread.
int32_t Thousandths(float v, bool nearest) {
  const double t = static_cast<double>(v) * 1000.0;  // exact: 24 + 10 bits
  if (nearest && t >= -2147483648.5 && t < 2147483647.5) return ConvertToNearest(t);
  return RoundLow32Exact(t);
}

// The control polygon without repeated neighbours and without the closing repeat.
void ControlPolygon(const tpath& path, std::vector<Tdot>& kept) {
  kept.clear();
  kept.reserve(path.Count() * 3);
  const bool nearest = ConversionsRoundToNearest();
  auto add = [&kept, nearest](float x, float y) {
    const Tdot d{1, Thousandths(x, nearest), Thousandths(y, nearest)};
    if (kept.empty() || kept.back().X != d.X || kept.back().Y != d.Y) kept.push_back(d);
  };
  for (const tbpoint& p : path.Items) {
    add(p.X1, p.Y1);
    if (p.Kind == 2) {
      add(p.X2, p.Y2);
      add(p.X3, p.Y3);
    }
  }
  // The closing repeat of the first point; a last entry equal to the first entry is dropped.
  const Tdot first = kept.front();
  add(path.Items.front().X1, path.Items.front().Y1);
  if (kept.back().X == first.X && kept.back().Y == first.Y) kept.pop_back();
}

}  // namespace

bool TurningSumLiteral(const std::vector<Tdot>& kept) {
  float sum = 0.0f;
  const std::size_t n = kept.size();
  auto at = [&kept](std::size_t i) {
    return FloatPoint{static_cast<float>(kept[i].X), static_cast<float>(kept[i].Y)};
  };
  for (std::size_t i = 0; i < n; ++i) {
    sum = sum + TurnAngle(at(i == 0 ? n - 1 : i - 1), at(i), at(i + 1 == n ? 0 : i + 1));
  }
  return sum >= 0.0f;
}

// Why the certified answer equals the literal one. The turning angles th_i (each in (-pi, pi])
// of a closed polygon add up to exactly 2 pi T, T the turning number, which integer tests
// give: count how often the edge direction sweeps across the +x direction. The literal sum
// differs from 2 pi T only by rounding, which is bounded term by term:
//  - its rotation angle a, a float32, is within half an ulp of pi (1.2e-7) of the true one;
//  - rotating d1 and d2 and storing the results as float32 errs by at most 2^-24 sqrt 2 |d|
//    each (plus extended-precision noise far below), and their float32 difference u by
//    2^-24 |u| more; u approximates the second edge e2 rotated into the frame of the first,
//    so its direction errs by at most (pi/2) |error| / |e2| while the error stays below |e2|/2;
//  - the angle of u, stored as float32, errs by another half ulp of pi;
//  - as long as |th_i| plus these errors stays below pi, no term jumps by 2 pi;
//  - each float32 addition errs by at most 2^-24 times the partial sum, whose size is bounded
//    through the number of sweeps so far: 2 pi (1 + |sweeps|).
// When all coordinates lie within +-2^23, every difference of two of them is an exact float32
// and the literal d1 = Q - P and d2 = R - P are exact. If the accumulated bound stays below
// 2 pi |T|, the float32 sum has the sign of T.
std::optional<bool> TurningSumCertified(const std::vector<Tdot>& kept) {
  const std::size_t n = kept.size();
  if (n < 3) return std::nullopt;
  constexpr int64_t Limit = int64_t{1} << 23;
  for (const Tdot& d : kept) {
    if (d.X > Limit || d.X < -Limit || d.Y > Limit || d.Y < -Limit) return std::nullopt;
  }
  constexpr double Ulp24 = 1.0 / 16777216.0;  // 2^-24
  constexpr double AngleRounding = 1.25e-7;   // half an ulp of pi as float32, with room
  constexpr double TwoPi = 6.283185307179586;
  constexpr double HalfPi = 1.5707963267948966;

  // The upper half of directions: angle in [0, pi).
  auto upper = [](int64_t x, int64_t y) { return y > 0 || (y == 0 && x > 0); };

  int64_t sweeps = 0;  // signed crossings of the +x direction so far
  double bound = 0.0;  // bound on |literal partial sum - exact partial sum|
  for (std::size_t i = 0; i < n; ++i) {
    const Tdot& p = kept[i == 0 ? n - 1 : i - 1];
    const Tdot& q = kept[i];
    const Tdot& r = kept[i + 1 == n ? 0 : i + 1];
    const int64_t e1x = int64_t{q.X} - p.X, e1y = int64_t{q.Y} - p.Y;
    const int64_t e2x = int64_t{r.X} - q.X, e2y = int64_t{r.Y} - q.Y;
    const int64_t cross = e1x * e2y - e1y * e2x;  // |e| <= 2^24: exact in int64
    const int64_t dot = e1x * e2x + e1y * e2y;
    if (cross == 0 && dot < 0) return std::nullopt;  // doubles back: the term is +-pi by rounding

    // Sweep across the +x direction: counter-clockwise from the lower to the upper half, or
    // clockwise from the upper to the lower half.
    const bool from = upper(e1x, e1y), to = upper(e2x, e2y);
    if (cross > 0 && !from && to) ++sweeps;
    if (cross < 0 && from && !to) --sweeps;

    // Norm bounds: max(|x|, |y|) <= |v| <= |x| + |y|.
    const double e1Upper = static_cast<double>(std::abs(e1x) + std::abs(e1y));
    const double e2Upper = static_cast<double>(std::abs(e2x) + std::abs(e2y));
    const double e2Lower = static_cast<double>(std::max(std::abs(e2x), std::abs(e2y)));
    const double d2Upper = static_cast<double>(std::abs(e1x + e2x) + std::abs(e1y + e2y));
    const double uError = Ulp24 * (1.6 * (e1Upper + d2Upper) + 1.1 * e2Upper);
    if (uError > 0.5 * e2Lower) return std::nullopt;
    const double term = (AngleRounding + HalfPi * uError / e2Lower + AngleRounding) * 1.01 + 1e-15;
    if (term > 0.5) return std::nullopt;
    if (dot <= 0) {
      // pi - |th| >= sin(pi - |th|) = |cross| / (|e1| |e2|): the term must stay clear of pi.
      const double clearance = static_cast<double>(std::llabs(cross)) / (e1Upper * e2Upper) * 0.99;
      if (clearance <= term) return std::nullopt;
    }
    const double partial = TwoPi * static_cast<double>(1 + std::llabs(sweeps));
    bound = (bound + term) * (1.0 + Ulp24) + Ulp24 * partial;
    bound *= 1.0 + 1e-12;  // this bound's own double rounding
  }
  if (sweeps == 0) return std::nullopt;
  if (bound >= TwoPi * static_cast<double>(std::llabs(sweeps)) * 0.999) return std::nullopt;
  return sweeps > 0;
}

bool PathOrientation(const tpath& path, std::vector<Tdot>& scratch) {
  if (path.Count() < 2) return false;
  ControlPolygon(path, scratch);
  if (scratch.empty()) return true;  // every point the same: an empty turning sum
  if (const std::optional<bool> certain = TurningSumCertified(scratch)) return *certain;
  return TurningSumLiteral(scratch);
}

bool PathOrientation(const tpath& path) {
  std::vector<Tdot> scratch;
  return PathOrientation(path, scratch);
}

void PathBox(tpath& path) {
  path.MinX = 0;
  path.MinY = 0;
  path.MaxX = 1.0f;
  path.MaxY = 1.0f;
  bool first = true;
  auto widen = [&path](float x, float y) {
    if (x < path.MinX) path.MinX = x;
    if (x > path.MaxX) path.MaxX = x;
    if (y < path.MinY) path.MinY = y;
    if (y > path.MaxY) path.MaxY = y;
  };
  for (const tbpoint& p : path.Items) {
    if (first) {
      path.MinX = path.MaxX = p.X1;
      path.MinY = path.MaxY = p.Y1;
      first = false;
    }
    widen(p.X1, p.Y1);
    if (p.Kind == 2) {
      widen(p.X2, p.Y2);
      widen(p.X3, p.Y3);
    }
  }
}

PaintBoxFit FitIntoPaintBox(float w, float h, int32_t width, int32_t height) {
  constexpr int64_t Margin = 10;
  const float sx = static_cast<float>(static_cast<long double>(int64_t{width} - Margin) / w);
  const float sy = static_cast<float>(static_cast<long double>(int64_t{height} - Margin) / h);
  PaintBoxFit fit;
  fit.Scale = sy < sx ? sy : sx;
  auto centring = [&fit](int32_t size, float extent) {
    const int64_t used = RoundSaturated(static_cast<long double>(fit.Scale) * extent);
    return ClampToInt32((int64_t{size} - used) / 2);
  };
  fit.OffsetX = centring(width, w);
  fit.OffsetY = centring(height, h);
  return fit;
}

void ComputeOutputExtent(ConversionResult& output) {
  IntRect& e = output.OutputExtent;
  e = {2147483647, 2147483647, -2147483647, -2147483647};
  for (const tdotpath& path : output.OutputList) {
    for (const Tdot& d : path.Items) {
      if (d.X < e.MinX) e.MinX = d.X;
      if (d.Y < e.MinY) e.MinY = d.Y;
      if (d.X > e.MaxX) e.MaxX = d.X;
      if (d.Y > e.MaxY) e.MaxY = d.Y;
    }
  }
}

void ComputeDotBounds(tdotpath& path) {
  path.MinX = path.MinY = 2147483648.0f;
  path.MaxX = path.MaxY = -2147483648.0f;
  // The integers are compared exactly with the float32 box (an int32 is exact as a double).
  for (const Tdot& d : path.Items) {
    const double x = d.X, y = d.Y;
    if (x < path.MinX) path.MinX = static_cast<float>(d.X);
    if (x > path.MaxX) path.MaxX = static_cast<float>(d.X);
    if (y < path.MinY) path.MinY = static_cast<float>(d.Y);
    if (y > path.MaxY) path.MaxY = static_cast<float>(d.Y);
  }
}

TColor CmykToColor(float cyan, float magenta, float yellow, float black) {
  auto clamp = [](float v) { return v > 1.0f ? 1.0f : (v >= 0.0f ? v : 0.0f); };  // NaN -> 0
  const long double w = 1.0L - clamp(black);
  auto component = [w, &clamp](float colour) -> int32_t {
    const float product = static_cast<float>((1.0L - clamp(colour)) * w);
    return RoundLow32Exact(255.0 * product);  // exact in a double; 0 .. 255
  };
  return component(cyan) + component(magenta) * 256 + component(yellow) * 65536;
}

TColor RgbToColor(float red, float green, float blue) {
  // 255 times a float32 is exact in a double (24 + 8 bits).
  const uint32_t r = static_cast<uint32_t>(RoundLow32Exact(255.0 * red)) & 0xFFu;
  const uint32_t g = static_cast<uint32_t>(RoundLow32Exact(255.0 * green)) & 0xFFu;
  const uint32_t b = static_cast<uint32_t>(RoundLow32Exact(255.0 * blue)) & 0xFFu;
  return static_cast<TColor>(r | (g << 8) | (b << 16));
}

}  // namespace aiimport
