#include "geometry.h"

#include <cmath>

namespace aiimport {

namespace {

using Ext = long double;

// The curve parameters k/20, as float32.
constexpr float Twentieth(int k) { return static_cast<float>(k) / 20.0f; }

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
    for (int k = 0; k <= 20; ++k) Points[k] = CubicPoint(curve, Twentieth(k));
    for (int k = 1; k <= 20; ++k) Chords[k - 1] = MakeChord(Points[k - 1], Points[k]);
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

// The smallest squared distance from s to the polyline, or any value not above `floor` once the
// smallest is known not to exceed it (the caller then ignores the sample).
inline float NearestChord(const CurveMeasure& m, FloatPoint s, float floor) {
  float best = 2147483648.0f;
  for (const Chord& chord : m.Chords) {
    const float d = ChordDist2(s, chord);
    if (d < best) {
      best = d;
      if (best <= floor) break;
    }
  }
  return best;
}

// The error measure of the piece a, q, b, computed in full.
float Deviation(const CurveMeasure& m, FloatPoint a, FloatPoint q, FloatPoint b) {
  if (m.Length == 0.0f) return 0.0f;
  float worst = 0.0f;
  for (int j = 1; j <= 7; ++j) {
    const float best = NearestChord(m, QuadSample(a, q, b, static_cast<float>(j) / 8.0f), worst);
    if (best > worst) worst = best;
  }
  return static_cast<float>(static_cast<Ext>(worst) / m.Length);
}

// Deviation(m; a, q, b) < ReduceTolerance, stopping as soon as the answer is known. A sample's
// chord search stops once its distance cannot exceed the worst so far (it could not raise the
// worst), and the measure stops once worst / length reaches the tolerance: the worst only grows
// and dividing by the positive length keeps the order, so the full measure could not pass.
bool DeviationPasses(const CurveMeasure& m, FloatPoint a, FloatPoint q, FloatPoint b) {
  if (m.Length == 0.0f) return true;
  const Ext length = m.Length;
  float worst = 0.0f;
  for (int j = 1; j <= 7; ++j) {
    const float best = NearestChord(m, QuadSample(a, q, b, static_cast<float>(j) / 8.0f), worst);
    if (best > worst) {
      worst = best;
      if (static_cast<float>(worst / length) >= ReduceTolerance) return false;
    }
  }
  return static_cast<float>(worst / length) < ReduceTolerance;
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
  const float s = static_cast<float>(1.0L - t);
  const Ext es = s, et = t;
  const float b0 = static_cast<float>(es * s * s);
  const float b1 = static_cast<float>(es * s * (3.0L * t));
  const float b2 = static_cast<float>(et * t * (es * 3.0L));
  const float b3 = static_cast<float>(et * t * t);
  const float x = static_cast<float>(static_cast<Ext>(c.P0x) * b0 + static_cast<Ext>(c.P1x) * b1 +
                                     static_cast<Ext>(c.P2x) * b2 + static_cast<Ext>(c.P3x) * b3);
  const float y = static_cast<float>(static_cast<Ext>(c.P0y) * b0 + static_cast<Ext>(c.P1y) * b1 +
                                     static_cast<Ext>(c.P2y) * b2 + static_cast<Ext>(c.P3y) * b3);
  return {x, y};
}

FloatPoint ControlFromThrough(FloatPoint a, FloatPoint m, FloatPoint c) {
  const float x = static_cast<float>((static_cast<Ext>(m.X) - (static_cast<Ext>(a.X) + c.X) * 0.25L) * 2.0L);
  const float y = static_cast<float>((static_cast<Ext>(m.Y) - (static_cast<Ext>(a.Y) + c.Y) * 0.25L) * 2.0L);
  return {x, y};
}

CurveApprox ApproxCurveFixed(const BezierSegment& curve) {
  FloatPoint p[8];
  for (int k = 1; k <= 7; ++k) p[k] = CubicPoint(curve, static_cast<float>(k) / 8.0f);
  return FixedFromPoints(curve, p);
}

CurveApprox ApproxCurveReduced(const BezierSegment& curve) {
  const CurveMeasure m(curve);
  const FloatPoint start{curve.P0x, curve.P0y};
  const FloatPoint end{curve.P3x, curve.P3y};
  // The curve at 1/4, 1/2 and 3/4 is the curve at 5/20, 10/20 and 15/20.
  const FloatPoint mid = m.Points[10];
  CurveApprox r;

  const FloatPoint q = ControlFromThrough(start, mid, end);
  if (DeviationPasses(m, start, q, end)) {
    r.Points[0] = q;
    r.Points[1] = end;
    r.Count = 2;
    return r;
  }

  const FloatPoint c1 = ControlFromThrough(start, m.Points[5], mid);
  const FloatPoint c2 = ControlFromThrough(mid, m.Points[15], end);
  const FloatPoint joint{static_cast<float>((static_cast<Ext>(c1.X) + c2.X) / 2.0L),
                         static_cast<float>((static_cast<Ext>(c1.Y) + c2.Y) / 2.0L)};
  if (DeviationPasses(m, start, c1, joint) && DeviationPasses(m, joint, c2, end)) {
    r.Points[0] = c1;
    r.Points[1] = c2;
    r.Points[2] = end;
    r.Count = 3;
    return r;
  }

  FloatPoint p[8];
  p[2] = m.Points[5];
  p[4] = mid;
  p[6] = m.Points[15];
  for (int k : {1, 3, 5, 7}) p[k] = CubicPoint(curve, static_cast<float>(k) / 8.0f);
  return FixedFromPoints(curve, p);
}

float QuadDeviation(const BezierSegment& curve, FloatPoint a, FloatPoint q, FloatPoint b) {
  return Deviation(CurveMeasure(curve), a, q, b);
}

float PointSegmentDist2(FloatPoint r, FloatPoint s, FloatPoint e) {
  return ChordDist2(r, MakeChord(s, e));
}

}  // namespace aiimport
