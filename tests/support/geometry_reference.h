// The curve measures written out literally, step by step as the rules state them: every
// CubicPoint evaluated where the rule names it, every chord measured, no early exit. The
// library's fast version must give bit-identical results; the tests and the fuzzer compare them.
#pragma once

#include <cmath>

#include "geometry.h"

namespace aiimport::reference {

using E = long double;

inline FloatPoint Cubic(const BezierSegment& c, float t) {
  const float s = static_cast<float>(1.0L - static_cast<E>(t));
  const float b0 = static_cast<float>(static_cast<E>(s) * static_cast<E>(s) * static_cast<E>(s));
  const float b1 =
      static_cast<float>(static_cast<E>(s) * static_cast<E>(s) * (3.0L * static_cast<E>(t)));
  const float b2 =
      static_cast<float>(static_cast<E>(t) * static_cast<E>(t) * (static_cast<E>(s) * 3.0L));
  const float b3 = static_cast<float>(static_cast<E>(t) * static_cast<E>(t) * static_cast<E>(t));
  FloatPoint p;
  p.X = static_cast<float>(static_cast<E>(c.P0x) * b0 + static_cast<E>(c.P1x) * b1 +
                           static_cast<E>(c.P2x) * b2 + static_cast<E>(c.P3x) * b3);
  p.Y = static_cast<float>(static_cast<E>(c.P0y) * b0 + static_cast<E>(c.P1y) * b1 +
                           static_cast<E>(c.P2y) * b2 + static_cast<E>(c.P3y) * b3);
  return p;
}

inline FloatPoint Control(FloatPoint a, FloatPoint m, FloatPoint c) {
  return {static_cast<float>(
              (static_cast<E>(m.X) - (static_cast<E>(a.X) + static_cast<E>(c.X)) * 0.25L) * 2.0L),
          static_cast<float>(
              (static_cast<E>(m.Y) - (static_cast<E>(a.Y) + static_cast<E>(c.Y)) * 0.25L) * 2.0L)};
}

inline float Dist2(FloatPoint r, FloatPoint s, FloatPoint e) {
  const float ux = static_cast<float>(static_cast<E>(e.X) - static_cast<E>(s.X));
  const float uy = static_cast<float>(static_cast<E>(e.Y) - static_cast<E>(s.Y));
  const float len2 = static_cast<float>(static_cast<E>(ux) * ux + static_cast<E>(uy) * uy);
  if (len2 == 0.0f) return 0.0f;
  const float t = static_cast<float>(
      1.0L - ((static_cast<E>(e.X) - r.X) * ux + (static_cast<E>(e.Y) - r.Y) * uy) / len2);
  if (t < 0.0f || t > 1.0f) {
    const E toEnd = (static_cast<E>(e.X) - r.X) * (static_cast<E>(e.X) - r.X) +
                    (static_cast<E>(e.Y) - r.Y) * (static_cast<E>(e.Y) - r.Y);
    const E toStart = (static_cast<E>(s.X) - r.X) * (static_cast<E>(s.X) - r.X) +
                      (static_cast<E>(s.Y) - r.Y) * (static_cast<E>(s.Y) - r.Y);
    return static_cast<float>(toEnd < toStart ? toEnd : toStart);
  }
  const float cross =
      static_cast<float>((static_cast<E>(r.Y) - s.Y) * ux - (static_cast<E>(r.X) - s.X) * uy);
  return static_cast<float>(static_cast<E>(cross) * cross / len2);
}

inline float Deviation(const BezierSegment& c, FloatPoint a, FloatPoint q, FloatPoint b) {
  float length = 0.0f;
  FloatPoint previous{c.P0x, c.P0y};
  for (int i = 1; i <= 20; ++i) {
    const FloatPoint pt = Cubic(c, static_cast<float>(i) / 20.0f);
    const E dx = static_cast<E>(pt.X) - previous.X, dy = static_cast<E>(pt.Y) - previous.Y;
    const float root = static_cast<float>(std::sqrt(dx * dx + dy * dy));
    length = static_cast<float>(static_cast<E>(length) + root);
    previous = pt;
  }
  if (length == 0.0f) return 0.0f;
  float worst = 0.0f;
  for (int j = 1; j <= 7; ++j) {
    const float o = static_cast<float>(j) / 8.0f;
    FloatPoint s;
    s.X = static_cast<float>(static_cast<E>(a.X) + 2.0L * o * (static_cast<E>(q.X) - a.X) +
                             static_cast<E>(o) * o * (static_cast<E>(a.X) - 2.0L * q.X + b.X));
    s.Y = static_cast<float>(static_cast<E>(a.Y) + 2.0L * o * (static_cast<E>(q.Y) - a.Y) +
                             static_cast<E>(o) * o * (static_cast<E>(a.Y) - 2.0L * q.Y + b.Y));
    float best = 2147483648.0f;
    for (int k = 1; k <= 20; ++k) {
      const float d = Dist2(s, Cubic(c, static_cast<float>(k - 1) / 20.0f),
                            Cubic(c, static_cast<float>(k) / 20.0f));
      if (d < best) best = d;
    }
    if (best > worst) worst = best;
  }
  return static_cast<float>(static_cast<E>(worst) / length);
}

inline CurveApprox Fixed(const BezierSegment& c) {
  FloatPoint p[8];
  for (int k = 1; k <= 7; ++k)
    p[k] = Cubic(c, static_cast<float>(k) / 8.0f);
  const FloatPoint p0{c.P0x, c.P0y}, p3{c.P3x, c.P3y};
  CurveApprox r;
  r.Points = {Control(p0, p[1], p[2]), Control(p[2], p[3], p[4]), Control(p[4], p[5], p[6]),
              Control(p[6], p[7], p3), p3};
  r.Count = 5;
  return r;
}

inline CurveApprox Reduced(const BezierSegment& c) {
  const FloatPoint p0{c.P0x, c.P0y}, p3{c.P3x, c.P3y};
  CurveApprox r;
  {
    const FloatPoint m = Cubic(c, 0.5f);
    const FloatPoint q = Control(p0, m, p3);
    if (Deviation(c, p0, q, p3) < ReduceTolerance) {
      r.Points[0] = q;
      r.Points[1] = p3;
      r.Count = 2;
      return r;
    }
  }
  const FloatPoint p25 = Cubic(c, 0.25f), m = Cubic(c, 0.5f), p75 = Cubic(c, 0.75f);
  const FloatPoint c1 = Control(p0, p25, m), c2 = Control(m, p75, p3);
  const FloatPoint j{static_cast<float>((static_cast<E>(c1.X) + c2.X) / 2.0L),
                     static_cast<float>((static_cast<E>(c1.Y) + c2.Y) / 2.0L)};
  if (Deviation(c, p0, c1, j) < ReduceTolerance) {
    if (Deviation(c, j, c2, p3) < ReduceTolerance) {
      r.Points[0] = c1;
      r.Points[1] = c2;
      r.Points[2] = p3;
      r.Count = 3;
      return r;
    }
  }
  return Fixed(c);
}

}  // namespace aiimport::reference
