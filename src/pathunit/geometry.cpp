#include "geometry.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>

namespace aiimport {

namespace {

using Ext = long double;

// The four weights of CubicPoint at one parameter.
struct CubicWeights {
  float B0, B1, B2, B3;
};

CubicWeights WeightsAt(float t) {
  const float s = static_cast<float>(1.0L - t);
  const Ext es = s, et = t;
  return {static_cast<float>(es * s * s), static_cast<float>(es * s * (3.0L * t)),
          static_cast<float>(et * t * (es * 3.0L)), static_cast<float>(et * t * t)};
}

FloatPoint Evaluate(const BezierSegment& c, const CubicWeights& w) {
  const float x =
      static_cast<float>(static_cast<Ext>(c.P0x) * w.B0 + static_cast<Ext>(c.P1x) * w.B1 +
                         static_cast<Ext>(c.P2x) * w.B2 + static_cast<Ext>(c.P3x) * w.B3);
  const float y =
      static_cast<float>(static_cast<Ext>(c.P0y) * w.B0 + static_cast<Ext>(c.P1y) * w.B1 +
                         static_cast<Ext>(c.P2y) * w.B2 + static_cast<Ext>(c.P3y) * w.B3);
  return {x, y};
}

// The weights at the parameters every conversion uses, k/20 and k/8 (as float32). They depend
// on the parameter alone, so they are worked out once and give the same points as CubicPoint.
struct WeightTables {
  CubicWeights Twentieths[21];
  CubicWeights Eighths[9];
  WeightTables() {
    for (int k = 0; k <= 20; ++k)
      Twentieths[k] = WeightsAt(static_cast<float>(k) / 20.0f);
    for (int k = 0; k <= 8; ++k)
      Eighths[k] = WeightsAt(static_cast<float>(k) / 8.0f);
  }
};

const WeightTables& Weights() {
  static const WeightTables tables;
  return tables;
}

// One chord of the curve's 20-chord polyline with the values PointSegmentDist2 works out from
// the chord alone (U = E - S and its squared length), so that they are computed once per curve.
struct Chord {
  float Sx, Sy, Ex, Ey;
  float Ux, Uy, Len2;
};

Chord MakeChord(FloatPoint s, FloatPoint e) {
  Chord c{s.X, s.Y, e.X, e.Y, 0, 0, 0};
  c.Ux = static_cast<float>(static_cast<Ext>(e.X) - s.X);
  c.Uy = static_cast<float>(static_cast<Ext>(e.Y) - s.Y);
  c.Len2 = static_cast<float>(static_cast<Ext>(c.Ux) * c.Ux + static_cast<Ext>(c.Uy) * c.Uy);
  return c;
}

// PointSegmentDist2 (r; s, e) for a prepared chord: the same operations in the same order.
inline float ChordDist2(FloatPoint r, const Chord& c) {
  if (c.Len2 == 0.0f) return 0.0f;  // a chord of length 0 touches every point
  const Ext ex = static_cast<Ext>(c.Ex) - r.X;
  const Ext ey = static_cast<Ext>(c.Ey) - r.Y;
  const float t = static_cast<float>(1.0L - (ex * c.Ux + ey * c.Uy) / c.Len2);
  if (t < 0.0f || t > 1.0f) {
    const Ext sx = static_cast<Ext>(c.Sx) - r.X;
    const Ext sy = static_cast<Ext>(c.Sy) - r.Y;
    const Ext toEnd = ex * ex + ey * ey;
    const Ext toStart = sx * sx + sy * sy;
    return static_cast<float>(toEnd < toStart ? toEnd : toStart);
  }
  const float cross = static_cast<float>((static_cast<Ext>(r.Y) - c.Sy) * c.Ux -
                                         (static_cast<Ext>(r.X) - c.Sx) * c.Uy);
  return static_cast<float>(static_cast<Ext>(cross) * cross / c.Len2);
}

// What every error measure of one curve shares: the cubic at k/20 (k = 0 .. 20), the 20 chords
// between those points and the polyline's length. CubicPoint gives the same numbers every time,
// so evaluating them once per curve changes no result.
struct CurveMeasure {
  FloatPoint Points[21];
  Chord Chords[20];
  float Length = 0;

  explicit CurveMeasure(const BezierSegment& curve) {
    const WeightTables& w = Weights();
    for (int k = 0; k <= 20; ++k)
      Points[k] = Evaluate(curve, w.Twentieths[k]);
    for (int k = 1; k <= 20; ++k)
      Chords[k - 1] = MakeChord(Points[k - 1], Points[k]);
    // The length starts from P0 itself (not from the curve at 0, which differs from P0 when a
    // control point is not finite).
    FloatPoint previous{curve.P0x, curve.P0y};
    for (int k = 1; k <= 20; ++k) {
      const FloatPoint& pt = Points[k];
      const Ext dx = static_cast<Ext>(pt.X) - previous.X;
      const Ext dy = static_cast<Ext>(pt.Y) - previous.Y;
      const float root = static_cast<float>(std::sqrt(dx * dx + dy * dy));
      Length = static_cast<float>(static_cast<Ext>(Length) + root);
      previous = pt;
    }
    Moderate = true;
    for (const FloatPoint& p : Points)
      Moderate = Moderate && std::fabs(p.X) <= LargeValue && std::fabs(p.Y) <= LargeValue;
    for (const Chord& c : Chords)
      Moderate = Moderate && c.Len2 >= ShortChord2;
  }

  // Values within the range where the rounding arguments below hold: every point finite and at
  // most 2^40 in size, every chord long enough for normal float32 squares.
  static constexpr double LargeValue = 0x1p40;
  static constexpr float ShortChord2 = 0x1p-60f;
  bool Moderate = false;

  static bool ModerateSample(FloatPoint s) {
    return std::fabs(s.X) <= LargeValue && std::fabs(s.Y) <= LargeValue;
  }
};

// True only when ChordDist2(s, c) is certainly below `limit` (a positive double), decided in
// double arithmetic without a division. The double values differ from the extended ones by at
// most 2^-50 of the sizes of the products involved (the margins below allow 2^-48), and the
// float32 roundings of t, cross and the result by 2^-24 relative (allowed 2^-20). The branch
// of ChordDist2 is decided only when the foot parameter t is clearly inside [0, 1] or clearly
// outside; near its ends, and whenever the bound is not clear, the answer is false and the
// caller computes the distance itself. Needs a moderate curve and sample.
inline bool SurelyBelow(FloatPoint s, const Chord& c, double limit) {
  const double ux = c.Ux, uy = c.Uy, len2 = c.Len2;
  const double ex = static_cast<double>(c.Ex) - s.X, ey = static_cast<double>(c.Ey) - s.Y;
  const double px = ex * ux, py = ey * uy;
  const double n = px + py;  // t = 1 - n / len2
  const double en = 0x1p-48 * (std::fabs(px) + std::fabs(py));
  if (n > en && n < len2 * (1.0 - 0x1p-20) - en) {  // t clearly inside: the perpendicular
    const double a = (static_cast<double>(s.Y) - c.Sy) * ux;
    const double b = (static_cast<double>(s.X) - c.Sx) * uy;
    const double cross = std::fabs(a - b) + 0x1p-48 * (std::fabs(a) + std::fabs(b));
    return cross * cross * (1.0 + 0x1p-20) < limit * len2 * (1.0 - 0x1p-40);
  }
  if (n < -0x1p-20 * len2 - en || n > len2 * (1.0 + 0x1p-20) + en) {  // clearly outside
    const double sx = static_cast<double>(c.Sx) - s.X, sy = static_cast<double>(c.Sy) - s.Y;
    const double toEnd = ex * ex + ey * ey, toStart = sx * sx + sy * sy;
    return std::min(toEnd, toStart) * (1.0 + 0x1p-20) < limit;
  }
  return false;
}

// The chords' boxes, for skipping chords that lie too far from a sample. The distance from a
// sample to a chord's box is a lower bound of its distance to the chord. The computed distance
// falls short of the true one only by rounding: a few float32 units of the lengths involved
// (the sample to the chord's ends, the chord itself). Slack below is 2^-16 of a bound on their
// sum, far more than that, so a chord whose box lies farther than sqrt(D) + Slack from the
// sample cannot give a computed distance below D. The argument needs finite, moderate values
// and chords long enough for float32 squares; other curves are searched chord by chord.
struct ChordBoxes {
  bool Usable = false;
  double MinX[20], MaxX[20], MinY[20], MaxY[20];
  double CenterX = 0, CenterY = 0;  // centre of the box of the 21 points
  double HalfSpan = 0;              // its half width plus half height
  double LongestChord = 0;          // the largest |Ux| + |Uy|

  explicit ChordBoxes(const CurveMeasure& m) {
    if (!m.Moderate) return;
    double minX = m.Points[0].X, maxX = minX, minY = m.Points[0].Y, maxY = minY;
    for (const FloatPoint& p : m.Points) {
      minX = std::min<double>(minX, p.X);
      maxX = std::max<double>(maxX, p.X);
      minY = std::min<double>(minY, p.Y);
      maxY = std::max<double>(maxY, p.Y);
    }
    for (int k = 0; k < 20; ++k) {
      const Chord& c = m.Chords[k];
      MinX[k] = std::min(c.Sx, c.Ex);
      MaxX[k] = std::max(c.Sx, c.Ex);
      MinY[k] = std::min(c.Sy, c.Ey);
      MaxY[k] = std::max(c.Sy, c.Ey);
      LongestChord = std::max<double>(LongestChord, std::fabs(c.Ux) + std::fabs(c.Uy));
    }
    CenterX = (minX + maxX) / 2;
    CenterY = (minY + maxY) / 2;
    HalfSpan = (maxX - minX) / 2 + (maxY - minY) / 2;
    Usable = true;
  }

  bool Covers(FloatPoint s) const { return Usable && CurveMeasure::ModerateSample(s); }

  // The square of the distance beyond which chords are skipped for a limit D on the distance.
  double Reach2(FloatPoint s, double limit) const {
    const double slack =
        0x1p-16 * (2.0 * (std::fabs(s.X - CenterX) + std::fabs(s.Y - CenterY) + HalfSpan) +
                   LongestChord) +
        0x1p-40;
    const double r = slack + std::sqrt(limit * (1.0 + 0x1p-14));
    return r * r;
  }

  double Gap2(int k, FloatPoint s) const {
    const double gx = std::max(std::max(MinX[k] - s.X, s.X - MaxX[k]), 0.0);
    const double gy = std::max(std::max(MinY[k] - s.Y, s.Y - MaxY[k]), 0.0);
    return gx * gx + gy * gy;
  }
};

// The sample of the quadratic piece a, q, b at o.
inline float QuadCoordinate(float a, float q, float b, float o) {
  const Ext ea = a;
  return static_cast<float>(ea + 2.0L * o * (static_cast<Ext>(q) - ea) +
                            static_cast<Ext>(o) * o * (ea - 2.0L * q + b));
}

inline FloatPoint QuadSample(FloatPoint a, FloatPoint q, FloatPoint b, float o) {
  return {QuadCoordinate(a.X, q.X, b.X, o), QuadCoordinate(a.Y, q.Y, b.Y, o)};
}

// The error measure of the piece a, q, b, in full: the largest over the seven samples of the
// smallest squared distance to a chord (from 2147483648), over the length. A sample whose
// distance falls to the worst so far stops early: it could not raise the worst.
float Deviation(const CurveMeasure& m, FloatPoint a, FloatPoint q, FloatPoint b) {
  if (m.Length == 0.0f) return 0.0f;
  float worst = 0.0f;
  for (int j = 1; j <= 7; ++j) {
    const FloatPoint s = QuadSample(a, q, b, static_cast<float>(j) / 8.0f);
    float best = 2147483648.0f;
    for (const Chord& chord : m.Chords) {
      const float d = ChordDist2(s, chord);
      if (d < best) {
        best = d;
        if (best <= worst) break;
      }
    }
    if (best > worst) worst = best;
  }
  return static_cast<float>(static_cast<Ext>(worst) / m.Length);
}

// Decides Deviation(m; a, q, b) < ReduceTolerance without computing the measure.
//
// For a positive length, x -> float(x / length) never decreases, so the measure passes exactly
// when every sample's smallest distance d passes on its own (float(d / length) below the
// tolerance), and d passes exactly when the starting value 2147483648 or one chord's distance
// passes. So a sample is settled by the first chord that passes, usually the one its parameter
// points to; only a sample that fails needs all chords, and there the chords too far away to
// pass are skipped by their boxes. A length that is not a number passes nothing, as the full
// measure would not; an infinite one passes the starting value.
class PieceTest {
 public:
  explicit PieceTest(const CurveMeasure& m)
      : m_(m),
        length_(m.Length),
        limit_(static_cast<double>(ReduceTolerance) * m.Length),  // exact: 24 by 24 bits
        fast_(m.Moderate && std::isfinite(m.Length) && m.Length > 0.0f) {}

  // The piece covers the curve's parameters from t0 to t1.
  bool Passes(FloatPoint a, FloatPoint q, FloatPoint b, float t0, float t1) {
    if (m_.Length == 0.0f) return true;
    if (Within(2147483648.0f)) return true;
    // The samples where a piece most likely strays first: the middle sample of the one-piece
    // candidate lies on the curve by construction.
    static constexpr int Order[7] = {2, 6, 3, 5, 1, 7, 4};
    for (int j : Order) {
      const float o = static_cast<float>(j) / 8.0f;
      const double t = t0 + (t1 - t0) * static_cast<double>(o);
      if (!SamplePasses(QuadSample(a, q, b, o), std::clamp(static_cast<int>(t * 20.0), 0, 19)))
        return false;
    }
    return true;
  }

 private:
  // float(d / length) < tolerance. Far from the limit tolerance * length the answer is clear
  // without the division (the roundings move the quotient by far less than 2^-30 of it).
  bool Within(float d) const {
    if (fast_) {
      if (d < limit_ * (1.0 - 0x1p-30)) return true;
      if (d > limit_ * (1.0 + 0x1p-30)) return false;
    }
    return static_cast<float>(d / length_) < ReduceTolerance;
  }

  // Within(ChordDist2(s, chord)), with the clear cases settled in double arithmetic.
  bool ChordPasses(FloatPoint s, const Chord& chord, bool moderate) const {
    if (moderate && SurelyBelow(s, chord, limit_ * (1.0 - 0x1p-30))) return true;
    return Within(ChordDist2(s, chord));
  }

  bool SamplePasses(FloatPoint s, int hint) {
    const bool moderate = fast_ && CurveMeasure::ModerateSample(s);
    if (ChordPasses(s, m_.Chords[hint], moderate)) return true;
    if (!boxes_) boxes_.emplace(m_);
    const bool skip = boxes_->Covers(s);
    // Within(d) needs d / length below the tolerance, so d below tolerance * length.
    const double reach2 =
        skip ? boxes_->Reach2(s, static_cast<double>(ReduceTolerance) * m_.Length) : 0.0;
    for (int k = 0; k < 20; ++k) {
      if (k == hint || (skip && boxes_->Gap2(k, s) > reach2)) continue;
      if (ChordPasses(s, m_.Chords[k], moderate)) return true;
    }
    return false;
  }

  const CurveMeasure& m_;
  const Ext length_;
  const double limit_;
  const bool fast_;
  std::optional<ChordBoxes> boxes_;
};

// Where sums of float32 products can be formed in double precision and give the extended
// result. A sum whose every partial sum is exact in double is exact in extended precision too,
// and then both round the same exact value to float32 once. The terms' partial sums are exact
// when the exponents of the nonzero float32 values involved lie close enough together: every
// term is then a whole multiple of the smallest one's unit, and no partial sum needs more than
// 53 bits of those units. Subnormal, infinite and NaN values are left to the extended formula.
class ExponentSpan {
 public:
  void Add(float v) {
    const uint32_t bits = std::bit_cast<uint32_t>(v);
    const int exponent = static_cast<int>((bits >> 23) & 0xFFu);
    if (exponent == 0) {
      if ((bits & 0x7FFFFFFFu) != 0) ok_ = false;  // subnormal
      return;                                      // a zero of either sign adds nothing
    }
    if (exponent == 0xFF) ok_ = false;
    min_ = std::min(min_, exponent);
    max_ = std::max(max_, exponent);
  }
  // Every nonzero value is normal and finite, and their exponents differ by at most `span`.
  bool Within(int span) const { return ok_ && (max_ < min_ || max_ - min_ <= span); }

 private:
  int min_ = INT_MAX, max_ = INT_MIN;
  bool ok_ = true;
};

// The weights at k/8 are n/512 with n below 2^9: each product of one with a float32 has at most
// 33 significant bits, and below 2^(E+1) for the float's exponent E. Four such terms, whole
// multiples of the smallest exponent's 2^(E-32), sum below 2^(E'+3) for the largest exponent E':
// 53 bits hold every partial sum when E' - E is at most 18.
constexpr int EighthsSpan = 18;

// Control points (m - (a + c) / 4) * 2 of three float32 values: whole multiples of 2^(E-25),
// every partial result below 2^(E'+2): at most 26 between the exponents.
constexpr int ControlSpan = 26;

// One coordinate of the curve at k/8, k = 1 ... 7, into out[k]: Evaluate's sum, in double
// precision when that gives the same bits, else in extended precision.
void EighthsCoordinate(float p0, float p1, float p2, float p3, const WeightTables& w,
                       float (&out)[8]) {
  ExponentSpan span;
  for (float v : {p0, p1, p2, p3})
    span.Add(v);
  if (span.Within(EighthsSpan)) {
    const double d0 = p0, d1 = p1, d2 = p2, d3 = p3;
    for (int k = 1; k <= 7; ++k) {
      const CubicWeights& b = w.Eighths[k];
      out[k] = static_cast<float>(((d0 * b.B0 + d1 * b.B1) + d2 * b.B2) + d3 * b.B3);
    }
    return;
  }
  for (int k = 1; k <= 7; ++k) {
    const CubicWeights& b = w.Eighths[k];
    out[k] = static_cast<float>(static_cast<Ext>(p0) * b.B0 + static_cast<Ext>(p1) * b.B1 +
                                static_cast<Ext>(p2) * b.B2 + static_cast<Ext>(p3) * b.B3);
  }
}

CurveApprox FixedFromPoints(const BezierSegment& curve, const FloatPoint p[8]) {
  const FloatPoint start{curve.P0x, curve.P0y};
  const FloatPoint end{curve.P3x, curve.P3y};
  CurveApprox r;
  r.Points[0] = ControlFromThrough(start, p[1], p[2]);
  r.Points[1] = ControlFromThrough(p[2], p[3], p[4]);
  r.Points[2] = ControlFromThrough(p[4], p[5], p[6]);
  r.Points[3] = ControlFromThrough(p[6], p[7], end);
  r.Points[4] = end;
  r.Count = 5;
  return r;
}

}  // namespace

FloatPoint CubicPoint(const BezierSegment& c, float t) {
  return Evaluate(c, WeightsAt(t));
}

namespace {

float ControlCoordinate(float a, float m, float c) {
  ExponentSpan span;
  span.Add(a);
  span.Add(m);
  span.Add(c);
  if (span.Within(ControlSpan))
    return static_cast<float>((static_cast<double>(m) - (static_cast<double>(a) + c) * 0.25) * 2.0);
  return static_cast<float>((static_cast<Ext>(m) - (static_cast<Ext>(a) + c) * 0.25L) * 2.0L);
}

}  // namespace

FloatPoint ControlFromThrough(FloatPoint a, FloatPoint m, FloatPoint c) {
  return {ControlCoordinate(a.X, m.X, c.X), ControlCoordinate(a.Y, m.Y, c.Y)};
}

CurveApprox ApproxCurveFixed(const BezierSegment& curve) {
  const WeightTables& w = Weights();
  float xs[8], ys[8];
  EighthsCoordinate(curve.P0x, curve.P1x, curve.P2x, curve.P3x, w, xs);
  EighthsCoordinate(curve.P0y, curve.P1y, curve.P2y, curve.P3y, w, ys);
  FloatPoint p[8];
  for (int k = 1; k <= 7; ++k)
    p[k] = {xs[k], ys[k]};
  return FixedFromPoints(curve, p);
}

CurveApprox ApproxCurveReduced(const BezierSegment& curve) {
  const CurveMeasure m(curve);
  PieceTest test(m);
  const FloatPoint start{curve.P0x, curve.P0y};
  const FloatPoint end{curve.P3x, curve.P3y};
  // The curve at 1/4, 1/2 and 3/4 is the curve at 5/20, 10/20 and 15/20.
  const FloatPoint mid = m.Points[10];
  CurveApprox r;

  const FloatPoint q = ControlFromThrough(start, mid, end);
  if (test.Passes(start, q, end, 0.0f, 1.0f)) {
    r.Points[0] = q;
    r.Points[1] = end;
    r.Count = 2;
    return r;
  }

  const FloatPoint c1 = ControlFromThrough(start, m.Points[5], mid);
  const FloatPoint c2 = ControlFromThrough(mid, m.Points[15], end);
  const FloatPoint joint{static_cast<float>((static_cast<Ext>(c1.X) + c2.X) / 2.0L),
                         static_cast<float>((static_cast<Ext>(c1.Y) + c2.Y) / 2.0L)};
  if (test.Passes(start, c1, joint, 0.0f, 0.5f) && test.Passes(joint, c2, end, 0.5f, 1.0f)) {
    r.Points[0] = c1;
    r.Points[1] = c2;
    r.Points[2] = end;
    r.Count = 3;
    return r;
  }

  const WeightTables& w = Weights();
  FloatPoint p[8];
  p[2] = m.Points[5];
  p[4] = mid;
  p[6] = m.Points[15];
  for (int k : {1, 3, 5, 7})
    p[k] = Evaluate(curve, w.Eighths[k]);
  return FixedFromPoints(curve, p);
}

float QuadDeviation(const BezierSegment& curve, FloatPoint a, FloatPoint q, FloatPoint b) {
  return Deviation(CurveMeasure(curve), a, q, b);
}

float PointSegmentDist2(FloatPoint r, FloatPoint s, FloatPoint e) {
  return ChordDist2(r, MakeChord(s, e));
}

}  // namespace aiimport
