// Curve geometry: the change from the source's cubic Bezier curves to the host's chains of
// quadratic pieces. A quadratic piece is given only by its control point; two neighbouring
// pieces meet at the midpoint of their controls and the last piece ends at the curve's end.
//
// Arithmetic is extended precision (long double); every named intermediate and every result is
// stored as float32, as are the curve parameters k/8 and k/20. The functions are pure and
// allocate nothing.
#pragma once

#include <array>
#include <cstdint>

#include "pathunit.h"

namespace aiimport {

// One cubic curve: start P0, controls P1 and P2, end P3.
struct BezierSegment {
  float P0x = 0, P0y = 0, P1x = 0, P1y = 0, P2x = 0, P2y = 0, P3x = 0, P3y = 0;
  friend bool operator==(const BezierSegment&, const BezierSegment&) = default;
};

// The result of a conversion: the controls of the quadratic pieces, then the curve's end point.
// Count is 2, 3 or 5; points beyond it are zero.
struct CurveApprox {
  std::array<FloatPoint, 5> Points{};
  int32_t Count = 0;
  friend bool operator==(const CurveApprox&, const CurveApprox&) = default;
};

// The largest error measure (squared distance over curve length, document units) a reduced
// conversion may have; the comparison is strict. Exactly 0.014999999664723873.
inline constexpr float ReduceTolerance = 0.015f;

// The point of the cubic at parameter t.
FloatPoint CubicPoint(const BezierSegment& curve, float t);

// The control point of the quadratic piece from a to c that passes through m at its middle.
FloatPoint ControlFromThrough(FloatPoint a, FloatPoint m, FloatPoint c);

// Four quadratic pieces over the parameter quarters; always count 5.
CurveApprox ApproxCurveFixed(const BezierSegment& curve);

// One piece, else two pieces joined at the midpoint of their controls, when their measure stays
// below ReduceTolerance; otherwise the fixed conversion.
CurveApprox ApproxCurveReduced(const BezierSegment& curve);

// The error measure of the quadratic piece a, q, b against the whole curve: the largest, over
// the piece's seven inner samples (o = 1/8 .. 7/8), of the smallest squared distance to the
// curve's 20-chord polyline, divided by the polyline's length (0 for a curve of length 0).
float QuadDeviation(const BezierSegment& curve, FloatPoint a, FloatPoint q, FloatPoint b);

// The squared distance from r to the segment s-e (0 for a segment of length 0).
float PointSegmentDist2(FloatPoint r, FloatPoint s, FloatPoint e);

}  // namespace aiimport
