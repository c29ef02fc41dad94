#include "linedrawer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace aiimport {

namespace {

// QPointF's comparison: relative to 12 digits, or absolute to 1e-12 when either side is zero.
bool SameCoordinate(double a, double b) {
  if (a == 0 || b == 0) return std::fabs(a - b) <= 0.000000000001;
  return std::fabs(a - b) * 1000000000000. <= std::min(std::fabs(a), std::fabs(b));
}

bool SamePoint(const PathElement& e, double x, double y) {
  return SameCoordinate(e.X, x) && SameCoordinate(e.Y, y);
}

}  // namespace

void FigureElements::Ensure() {
  if (elements_.empty()) elements_.push_back({0, 0, ElementKind::Move});
}

void FigureElements::MoveTo(double x, double y) {
  Ensure();
  if (elements_.back().Kind == ElementKind::Move) {
    elements_.back().X = x;
    elements_.back().Y = y;
  } else {
    elements_.push_back({x, y, ElementKind::Move});
  }
}

void FigureElements::LineTo(double x, double y) {
  Ensure();
  if (SamePoint(elements_.back(), x, y)) return;
  elements_.push_back({x, y, ElementKind::Line});
}

void FigureElements::CubicTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  Ensure();
  if (SamePoint(elements_.back(), x1, y1) && SameCoordinate(x1, x2) && SameCoordinate(y1, y2) &&
      SameCoordinate(x2, x3) && SameCoordinate(y2, y3)) {
    return;
  }
  elements_.push_back({x1, y1, ElementKind::Curve});
  elements_.push_back({x2, y2, ElementKind::CurveData});
  elements_.push_back({x3, y3, ElementKind::CurveData});
}

void FigureElements::Clear() {
  if (elements_.empty()) return;
  elements_.clear();
  elements_.push_back({0, 0, ElementKind::Move});
}

void FigureElements::Append(const FigureElements& other) {
  if (other.IsEmpty()) return;
  Ensure();
  if (elements_.back().Kind == ElementKind::Move) elements_.pop_back();
  elements_.insert(elements_.end(), other.elements_.begin(), other.elements_.end());
}

// --- the line drawing ------------------------------------------------------------------------
//
// Qt's cosmetic line drawing works in 26.6 fixed point with 16.16 steps. Each line covers the
// pixels its major axis crosses from the rounded start up to, not including, the rounded end.
// Where two lines of a subpath meet it drops a pixel the previous line already set, inserts one
// where a change of direction would leave a gap, and shortens or lengthens a line by half a
// pixel where it turns back along its axis. A closed subpath (its last point on its first)
// starts knowing where its last line will end. The direction of the last line carries over to
// the next subpath. Lines are clipped, in floating point, to one pixel beyond the image.

namespace {

constexpr double CoordinateLimit = 1099511627776.0;  // 2^40
constexpr int RasterCoordinateLimit = 32767;

struct Pixel {
  int X = INT_MIN;
  int Y = INT_MIN;
};

enum Direction : int {
  NoDirection = 0,
  TopToBottom = 0x1,
  BottomToTop = 0x2,
  LeftToRight = 0x4,
  RightToLeft = 0x8,
  VerticalMask = 0x3,
  HorizontalMask = 0xc
};

enum Caps : int { NoCaps = 0, CapBegin = 0x1, CapEnd = 0x2 };

// Without member initialisers: a curve's working array is filled before it is read.
struct PointD {
  double x;
  double y;
};

// The conversion the drawing uses; its arguments are always well inside the int range here
// (clipped lines), and a value outside gives what the processor gives.
int ToF26Dot6(double v) {
  const double scaled = v * 64.;
  if (scaled >= -2147483648.0 && scaled < 2147483648.0) return static_cast<int>(scaled);
  return INT_MIN;
}

// Whether a clipped coordinate leaves the fixed-point arithmetic room.
bool InFixedRange(double v) {
  return std::fabs(v) <= 16777216.0;
}

int64_t FixedDiv(int x, int y) {
  return static_cast<int64_t>(x) * (1 << 16) / y;
}

int SwapCaps(int caps) {
  return ((caps & CapBegin) << 1) | ((caps & CapEnd) >> 1);
}

// A line's two axes: the major one, along which it sets one pixel a step, and the minor one
// across it. One piece of code draws mostly vertical lines (along y) and mostly horizontal ones
// (along x).
template <bool Vertical>
struct Axes {
  static constexpr int Forward = Vertical ? TopToBottom : LeftToRight;
  static constexpr int Backward = Vertical ? BottomToTop : RightToLeft;
  static constexpr int Mask = Vertical ? VerticalMask : HorizontalMask;
  static Pixel At(int along, int across) {
    return Vertical ? Pixel{across, along} : Pixel{along, across};
  }
  static int Along(const Pixel& p) { return Vertical ? p.Y : p.X; }
  static int& Across(Pixel& p) { return Vertical ? p.X : p.Y; }
};

class LineDrawer {
 public:
  LineDrawer(const PixelTarget& target, uint32_t pixel)
      : target_(target),
        pixel_(pixel),
        xmin_(-1),
        xmax_(target.Width - 1 + 2),
        ymin_(-1),
        ymax_(target.Height - 1 + 2) {}

  void DrawPath(std::span<const PathElement> e);

 private:
  void SetPixel(int x, int y) {
    if (x < 0 || x > target_.Width - 1 || y < 0 || y > target_.Height - 1) return;
    target_.Pixels[static_cast<std::ptrdiff_t>(y) * target_.Stride + x] = pixel_;
  }
  bool ClipLine(double& x1, double& y1, double& x2, double& y2);
  // ClipEnds and JoinWithLast run for every line drawn: inlined.
  [[gnu::always_inline]] bool ClipEnds(double& a1, double& b1, double& a2, double& b2, double low,
                                       double high);
  void CalculateLastPoint(double rx1, double ry1, double rx2, double ry2);
  template <bool Vertical>
  void LastPixelAlong(int along1, int across1, int along2, int across2);
  void RenderCubic(PointD p1, PointD p2, PointD p3, PointD p4, int caps);
  void RenderCubicSubdivision(PointD* points, int level, int caps);
  void Stroke(double rx1, double ry1, double rx2, double ry2, int caps);
  template <bool Vertical>
  void StrokeAlong(int along1, int across1, int along2, int across2, int caps);
  // How a line that starts at `first` meets the previous line's last pixel: on it (the pixel is
  // not set twice), apart after a turn (a gap: one more pixel), or one pixel across it going the
  // same way (half a step further).
  enum class Join { None, Overlap, Gap, HalfStep };
  [[gnu::always_inline]] Join JoinWithLast(const Pixel& first, int dir, bool axisAligned) const;

  const PixelTarget& target_;
  uint32_t pixel_;
  double xmin_, xmax_, ymin_, ymax_;
  Pixel lastPixel_;
  int lastDir_ = NoDirection;
  bool lastAxisAligned_ = false;
};

bool LineDrawer::ClipLine(double& x1, double& y1, double& x2, double& y2) {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
    return true;
  if (ClipEnds(x1, y1, x2, y2, xmin_, xmax_) || ClipEnds(y1, x1, y2, x2, ymin_, ymax_)) {
    lastPixel_.X = INT_MIN;
    return true;
  }
  return false;
}

// Clips the line's ends to [low, high] along one axis (a; b is the other coordinate), moving
// them along the line; true when the whole line lies beyond one side. A clipped end leaves no
// last pixel to join.
inline bool LineDrawer::ClipEnds(double& a1, double& b1, double& a2, double& b2, double low,
                                 double high) {
  if (a1 < low) {
    if (a2 <= low) return true;
    b1 += (b2 - b1) / (a2 - a1) * (low - a1);
    a1 = low;
  } else if (a1 > high) {
    if (a2 >= high) return true;
    b1 += (b2 - b1) / (a2 - a1) * (high - a1);
    a1 = high;
  }
  if (a2 < low) {
    lastPixel_.X = INT_MIN;
    b2 += (b2 - b1) / (a2 - a1) * (low - a2);
    a2 = low;
  } else if (a2 > high) {
    lastPixel_.X = INT_MIN;
    b2 += (b2 - b1) / (a2 - a1) * (high - a2);
    a2 = high;
  }
  return false;
}

void LineDrawer::CalculateLastPoint(double rx1, double ry1, double rx2, double ry2) {
  lastPixel_ = Pixel{};
  if (ClipLine(rx1, ry1, rx2, ry2)) return;
  if (!InFixedRange(rx1) || !InFixedRange(ry1) || !InFixedRange(rx2) || !InFixedRange(ry2)) return;
  const int x1 = ToF26Dot6(rx1), y1 = ToF26Dot6(ry1), x2 = ToF26Dot6(rx2), y2 = ToF26Dot6(ry2);
  if (std::abs(x2 - x1) < std::abs(y2 - y1))
    LastPixelAlong<true>(y1, x1, y2, x2);
  else
    LastPixelAlong<false>(x1, y1, x2, y2);
}

// The pixel the line would set last, and its direction.
template <bool Vertical>
void LineDrawer::LastPixelAlong(int along1, int across1, int along2, int across2) {
  using A = Axes<Vertical>;
  if (along1 == along2) return;
  bool swapped = false;
  if (along1 > along2) {
    swapped = true;
    std::swap(along1, along2);
    std::swap(across1, across2);
  }
  const int64_t inc = FixedDiv(across2 - across1, along2 - along1);
  int64_t across = int64_t{across1} * (1 << 10);
  const int first = (along1 + 32) >> 6;
  const int end = (along2 + 32) >> 6;
  const int round = inc > 0 ? 32 : 0;
  if (first == end) return;
  across += ((first * (1 << 6)) + round - along1) * inc >> 6;
  if (swapped) {
    lastPixel_ = A::At(first, static_cast<int>(across >> 16));
    lastDir_ = A::Backward;
  } else {
    lastPixel_ = A::At(end - 1, static_cast<int>((across + (end - first - 1) * inc) >> 16));
    lastDir_ = A::Forward;
  }
  lastAxisAligned_ = std::llabs(inc) < (1 << 14);
}

void LineDrawer::Stroke(double rx1, double ry1, double rx2, double ry2, int caps) {
  if (ClipLine(rx1, ry1, rx2, ry2)) return;
  if (!InFixedRange(rx1) || !InFixedRange(ry1) || !InFixedRange(rx2) || !InFixedRange(ry2))
    return;  // not for whole-number points within 2^40, whose clipped lines stay by the image
  const int x1 = ToF26Dot6(rx1), y1 = ToF26Dot6(ry1), x2 = ToF26Dot6(rx2), y2 = ToF26Dot6(ry2);
  if (std::abs(x2 - x1) < std::abs(y2 - y1))
    StrokeAlong<true>(y1, x1, y2, x2, caps);  // mostly vertical: one pixel a row
  else
    StrokeAlong<false>(x1, y1, x2, y2, caps);  // mostly horizontal: one pixel a column
}

template <bool Vertical>
void LineDrawer::StrokeAlong(int along1, int across1, int along2, int across2, int caps) {
  using A = Axes<Vertical>;
  if (along1 == along2) return;
  int dir = A::Forward;
  bool swapped = false;
  if (along1 > along2) {
    swapped = true;
    std::swap(along1, along2);
    std::swap(across1, across2);
    caps = SwapCaps(caps);
    dir = A::Backward;
  }
  const int run = along2 - along1;  // the step is taken over the line before any cap adjustment
  if ((lastDir_ ^ A::Mask) == dir) caps |= swapped ? CapEnd : CapBegin;
  if (caps & CapBegin) along1 -= 32;
  if (caps & CapEnd) along2 += 32;
  int step = (along1 + 32) >> 6;
  int end = (along2 + 32) >> 6;
  // Rounded away from what the closing line's last pixel gave: rounded back.
  if ((caps & CapBegin) && A::Along(lastPixel_) == step + 1) step++;
  if (step == end) return;
  // Only a line that sets pixels needs its step (a division).
  const int64_t inc = FixedDiv(across2 - across1, run);
  int64_t across = int64_t{across1} * (1 << 10);
  if (caps & CapBegin) across -= inc >> 1;
  const int round = inc > 0 ? 32 : 0;
  across += ((step * (1 << 6)) + round - along1) * inc >> 6;
  Pixel first = A::At(step, static_cast<int>(across >> 16));
  Pixel last = A::At(end - 1, static_cast<int>((across + (end - step - 1) * inc) >> 16));
  if (swapped) std::swap(first, last);
  const bool axisAligned = std::llabs(inc) < (1 << 14);
  const Join join = JoinWithLast(first, dir, axisAligned);
  if (join == Join::Overlap || join == Join::Gap) {
    const int more = join == Join::Gap ? 1 : -1;
    if (swapped) {
      end += more;
    } else {
      step -= more;
      across -= more * inc;
    }
  } else if (join == Join::HalfStep) {
    across += inc >> 1;
    if (swapped)
      A::Across(last) = static_cast<int>(across >> 16);
    else
      A::Across(last) = static_cast<int>((across + (end - step - 1) * inc) >> 16);
  }
  lastDir_ = dir;
  lastAxisAligned_ = axisAligned;
  do {
    const Pixel p = A::At(step, static_cast<int>(across >> 16));
    SetPixel(p.X, p.Y);
    across += inc;
  } while (++step < end);
  lastPixel_ = last;
}

inline LineDrawer::Join LineDrawer::JoinWithLast(const Pixel& first, int dir,
                                                 bool axisAligned) const {
  if (lastPixel_.X == INT_MIN) return Join::None;
  if (first.X == lastPixel_.X && first.Y == lastPixel_.Y) return Join::Overlap;
  const int dx = std::abs(lastPixel_.X - first.X), dy = std::abs(lastPixel_.Y - first.Y);
  if (lastDir_ != dir &&
      ((axisAligned && lastAxisAligned_ && dx != 0 && dy != 0) || dx > 1 || dy > 1))
    return Join::Gap;
  // Taken in x and y whatever the line's axis.
  if (lastDir_ == dir && dx <= 1 && dy > 1) return Join::HalfStep;
  return Join::None;
}

// A curve is halved until it lies within a quarter of its chord's taxicab length of the chord,
// at most six times, and each piece drawn as a line.
void SplitCubic(PointD* points) {
  const double half = .5;
  double a, b, c, d;
  points[6].x = points[3].x;
  c = points[1].x;
  d = points[2].x;
  points[1].x = a = (points[0].x + c) * half;
  points[5].x = b = (points[3].x + d) * half;
  c = (c + d) * half;
  points[2].x = a = (a + c) * half;
  points[4].x = b = (b + c) * half;
  points[3].x = (a + b) * half;

  points[6].y = points[3].y;
  c = points[1].y;
  d = points[2].y;
  points[1].y = a = (points[0].y + c) * half;
  points[5].y = b = (points[3].y + d) * half;
  c = (c + d) * half;
  points[2].y = a = (a + c) * half;
  points[4].y = b = (b + c) * half;
  points[3].y = (a + b) * half;
}

void LineDrawer::RenderCubicSubdivision(PointD* points, int level, int caps) {
  // A curve whose four points are one point halves into such curves down to the last level,
  // whose lines have no length and do all the same: one of them is drawn.
  if (level && points[0].x == points[3].x && points[0].y == points[3].y &&
      points[1].x == points[0].x && points[1].y == points[0].y && points[2].x == points[0].x &&
      points[2].y == points[0].y) {
    level = 0;
  }
  if (level) {
    const double dx = points[3].x - points[0].x;
    const double dy = points[3].y - points[0].y;
    const double len = .25 * (std::fabs(dx) + std::fabs(dy));
    if (std::fabs(dx * (points[0].y - points[2].y) - dy * (points[0].x - points[2].x)) >= len ||
        std::fabs(dx * (points[0].y - points[1].y) - dy * (points[0].x - points[1].x)) >= len) {
      SplitCubic(points);
      --level;
      RenderCubicSubdivision(points + 3, level, caps & CapBegin);
      RenderCubicSubdivision(points, level, caps & CapEnd);
      return;
    }
  }
  Stroke(points[3].x, points[3].y, points[0].x, points[0].y, caps);
}

void LineDrawer::RenderCubic(PointD p1, PointD p2, PointD p3, PointD p4, int caps) {
  constexpr int MaxSubdivisions = 6;
  PointD points[3 * MaxSubdivisions + 4];  // NOLINT: filled as the halving goes
  points[3] = p1;
  points[2] = p2;
  points[1] = p3;
  points[0] = p4;
  RenderCubicSubdivision(points, MaxSubdivisions, caps);
}

void LineDrawer::DrawPath(std::span<const PathElement> e) {
  const std::size_t n = e.size();
  std::size_t i = 0;
  while (i < n) {
    PointD p{e[i].X, e[i].Y};
    lastPixel_ = Pixel{};
    std::size_t end = i + 1;  // the next subpath's move
    while (end < n && e[end].Kind != ElementKind::Move)
      ++end;
    // Closed when the last point is the first (exactly).
    const PathElement& lastPoint = e[end - 1];
    if (e[i].X == lastPoint.X && e[i].Y == lastPoint.Y && end >= 2) {
      const PathElement& before = e[end - 2];
      CalculateLastPoint(before.X, before.Y, lastPoint.X, lastPoint.Y);
    }
    ++i;
    while (i < end) {
      const PointD p2{e[i].X, e[i].Y};
      if (e[i].Kind == ElementKind::Curve && i + 2 < end) {
        const PointD p3{e[i + 1].X, e[i + 1].Y};
        const PointD p4{e[i + 2].X, e[i + 2].Y};
        RenderCubic(p, p2, p3, p4, NoCaps);
        p = p4;
        i += 3;
      } else {
        Stroke(p.x, p.y, p2.x, p2.y, NoCaps);
        p = p2;
        ++i;
      }
    }
  }
}

}  // namespace

bool OnePixelTargetApplies(const PixelTarget& target) {
  return target.Pixels && target.Width > 0 && target.Height > 0 &&
         target.Width <= RasterCoordinateLimit && target.Height <= RasterCoordinateLimit &&
         target.Stride >= target.Width;
}

bool OnePixelLinesApply(const PixelTarget& target, std::span<const PathElement> elements) {
  if (!OnePixelTargetApplies(target)) return false;
  if (elements.empty() || elements.front().Kind != ElementKind::Move) return elements.empty();
  for (const PathElement& e : elements) {
    if (!(std::fabs(e.X) <= CoordinateLimit) || !(std::fabs(e.Y) <= CoordinateLimit) ||
        e.X != std::floor(e.X) || e.Y != std::floor(e.Y)) {
      return false;
    }
  }
  // A curve is followed by its two data points, and data points follow nothing else.
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (elements[i].Kind == ElementKind::CurveData) return false;
    if (elements[i].Kind != ElementKind::Curve) continue;
    if (i + 2 >= elements.size() || elements[i + 1].Kind != ElementKind::CurveData ||
        elements[i + 2].Kind != ElementKind::CurveData) {
      return false;
    }
    i += 2;
  }
  return true;
}

void DrawOnePixelLines(const PixelTarget& target, uint32_t pixel,
                       std::span<const PathElement> elements) {
  LineDrawer drawer(target, pixel);
  drawer.DrawPath(elements);
}

}  // namespace aiimport
