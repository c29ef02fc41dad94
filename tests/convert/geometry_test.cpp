// Curve geometry: the rules' own cases, and the fast measure against the literal one.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "geometry.h"
#include "geometry_reference.h"

namespace aiimport {
namespace {

bool SameBits(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameBits(const CurveApprox& a, const CurveApprox& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;  // plain struct: 10 floats and an int
}

void ExpectPoints(const CurveApprox& r, std::initializer_list<FloatPoint> expected) {
  ASSERT_EQ(r.Count, static_cast<int32_t>(expected.size()));
  std::size_t k = 0;
  for (const FloatPoint& p : expected) {
    EXPECT_EQ(r.Points[k].X, p.X) << "point " << k;
    EXPECT_EQ(r.Points[k].Y, p.Y) << "point " << k;
    ++k;
  }
}

TEST(CurveGeometry, StraightEvenlySpacedCubic) {
  const BezierSegment line{0, 0, 1, 0, 2, 0, 3, 0};
  // x(t) = 3t: the quarter controls are 3/8 + 3/4 k, and one piece through (1.5, 0) fits exactly.
  ExpectPoints(ApproxCurveFixed(line),
               {{0.375f, 0}, {1.125f, 0}, {1.875f, 0}, {2.625f, 0}, {3, 0}});
  ExpectPoints(ApproxCurveReduced(line), {{1.5f, 0}, {3, 0}});
}

TEST(CurveGeometry, CoincidentPointsGiveOnePiece) {
  const BezierSegment dot{7.25f, -3.5f, 7.25f, -3.5f, 7.25f, -3.5f, 7.25f, -3.5f};
  EXPECT_EQ(QuadDeviation(dot, {7.25f, -3.5f}, {100, 100}, {7.25f, -3.5f}), 0.0f);  // length 0
  ExpectPoints(ApproxCurveReduced(dot), {{7.25f, -3.5f}, {7.25f, -3.5f}});
}

TEST(CurveGeometry, TwoPiecesJoinAtTheMidpointOfTheirControls) {
  const float s = 0x1.63d5b6p+2f;  // 5.5599189: one piece misses this arch, two fit
  const BezierSegment arch{0, 0, 0, s, s, s, s, 0};
  const FloatPoint p0{0, 0}, p3{s, 0};
  const FloatPoint one = reference::Control(p0, reference::Cubic(arch, 0.5f), p3);
  ASSERT_GE(reference::Deviation(arch, p0, one, p3), ReduceTolerance);

  const CurveApprox r = ApproxCurveReduced(arch);
  ASSERT_EQ(r.Count, 3);
  // By symmetry the two controls mirror each other about x = s/2 at the same height.
  EXPECT_FLOAT_EQ(r.Points[0].X + r.Points[1].X, s);
  EXPECT_EQ(r.Points[0].Y, r.Points[1].Y);
  EXPECT_EQ(r.Points[2].X, s);
  EXPECT_EQ(r.Points[2].Y, 0.0f);
  const FloatPoint joint{(r.Points[0].X + r.Points[1].X) / 2, (r.Points[0].Y + r.Points[1].Y) / 2};
  EXPECT_LT(reference::Deviation(arch, p0, r.Points[0], joint), ReduceTolerance);
  EXPECT_LT(reference::Deviation(arch, joint, r.Points[1], p3), ReduceTolerance);
}

TEST(CurveGeometry, StronglySCurveFallsBackToFixed) {
  const BezierSegment s{0, 0, 100, 200, 200, -200, 300, 0};
  const CurveApprox r = ApproxCurveReduced(s);
  EXPECT_EQ(r.Count, 5);
  EXPECT_TRUE(SameBits(r, ApproxCurveFixed(s)));
}

TEST(CurveGeometry, DeviationEqualToToleranceIsRejected) {
  // Found by scanning scales with the literal measure: its one-piece measure is exactly
  // ReduceTolerance.
  const BezierSegment c{
      0, 0, -0x1.f5bcf8p-1f, -0x1.1eb52p-1f, 0x1.ae0fbp+0f, -0x1.ae0fbp-2f, 0x1.1eb52p+0f, 0};
  const FloatPoint p0{c.P0x, c.P0y}, p3{c.P3x, c.P3y};
  const FloatPoint q = reference::Control(p0, reference::Cubic(c, 0.5f), p3);
  ASSERT_EQ(reference::Deviation(c, p0, q, p3), ReduceTolerance);
  EXPECT_EQ(QuadDeviation(c, p0, q, p3), ReduceTolerance);
  EXPECT_NE(ApproxCurveReduced(c).Count, 2);
  EXPECT_TRUE(SameBits(ApproxCurveReduced(c), reference::Reduced(c)));
}

TEST(CurveGeometry, CubicPointEndsAreExact) {
  const BezierSegment c{0.1f, -7.3f, 1e6f, 3.3f, -2.7e-3f, 8.5f, 123.456f, -0.001f};
  EXPECT_EQ(CubicPoint(c, 0.0f), (FloatPoint{0.1f, -7.3f}));
  EXPECT_EQ(CubicPoint(c, 1.0f), (FloatPoint{123.456f, -0.001f}));
}

TEST(CurveGeometry, PointSegmentDistances) {
  EXPECT_EQ(PointSegmentDist2({0, 1}, {-1, 0}, {1, 0}), 1.0f);   // foot inside: the perpendicular
  EXPECT_EQ(PointSegmentDist2({3, 4}, {0, 0}, {1, 0}), 20.0f);   // beyond E: |E - R|^2 = 4 + 16
  EXPECT_EQ(PointSegmentDist2({-3, 4}, {0, 0}, {1, 0}), 25.0f);  // before S: |S - R|^2
  EXPECT_EQ(PointSegmentDist2({50, 50}, {2, 2}, {2, 2}), 0.0f);  // a chord of length 0 touches
  EXPECT_EQ(PointSegmentDist2({0, 2}, {0, 0}, {0, 4}), 0.0f);    // on the segment
  EXPECT_EQ(PointSegmentDist2({1, 1}, {0, 0}, {2, 2}), 0.0f);
}

TEST(CurveGeometry, ControlFromThroughSolvesTheMiddle) {
  // A piece from (0,0) to (4,0) through (2,1) at its middle has its control at (2,2).
  EXPECT_EQ(ControlFromThrough({0, 0}, {2, 1}, {4, 0}), (FloatPoint{2, 2}));
}

// Random curves of every kind of scale and shape, including degenerate and non-finite ones.
BezierSegment RandomCurve(std::mt19937& rng) {
  std::uniform_int_distribution<int> pick(0, 9);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  static const float scales[] = {1e-30f, 1e-6f,   0.01f, 1.0f,  10.0f,
                                 100.0f, 1000.0f, 1e5f,  1e18f, 1e37f};
  const float scale = scales[pick(rng)];
  const float ox = unit(rng) * scale * 10, oy = unit(rng) * scale * 10;
  BezierSegment c;
  float* v = &c.P0x;
  const int shape = pick(rng);
  for (int i = 0; i < 8; ++i)
    v[i] = (i % 2 ? oy : ox) + unit(rng) * scale;
  if (shape == 0) {  // nearly straight: the controls close to the chord
    for (int i = 2; i < 6; ++i)
      v[i] = v[i % 2] + (v[6 + i % 2] - v[i % 2]) * (i / 2) / 3.0f + unit(rng) * scale * 1e-3f;
  } else if (shape == 1) {  // small whole numbers: many exact ties
    for (int i = 0; i < 8; ++i)
      v[i] = std::round(unit(rng) * 4);
  } else if (shape == 2) {  // repeated points
    c.P1x = c.P0x, c.P1y = c.P0y;
    if (pick(rng) < 5) c.P3x = c.P0x, c.P3y = c.P0y;
  } else if (shape == 3 && pick(rng) == 0) {  // a value that is not finite
    v[pick(rng) % 8] = pick(rng) < 5 ? std::numeric_limits<float>::infinity()
                                     : std::numeric_limits<float>::quiet_NaN();
  } else if (shape == 4) {  // tiny curves near the integer grid of the output
    for (int i = 0; i < 8; ++i)
      v[i] = std::round(v[i]) + unit(rng) * 0.01f;
  }
  return c;
}

// A float32 of the given sign, exponent (unbiased) and random mantissa; now and then a zero of
// either sign, a subnormal, an infinity or a NaN.
float SpreadValue(std::mt19937& rng, int exponent) {
  const uint32_t roll = static_cast<uint32_t>(rng());
  const uint32_t sign = (roll & 1u) << 31;
  switch ((roll >> 1) % 64) {
    case 0:
      return std::bit_cast<float>(sign);  // +0 or -0
    case 1:
      return std::bit_cast<float>(sign | (static_cast<uint32_t>(rng()) & 0x7FFFFFu) |
                                  1u);  // subnormal
    case 2:
      return std::bit_cast<float>(sign | 0x7F800000u);  // infinity
    case 3:
      return std::numeric_limits<float>::quiet_NaN();
    default:
      break;
  }
  const uint32_t biased = static_cast<uint32_t>(std::clamp(exponent + 127, 1, 254));
  return std::bit_cast<float>(sign | (biased << 23) | (static_cast<uint32_t>(rng()) & 0x7FFFFFu));
}

TEST(CurveGeometry, FixedConversionMatchesTheLiteralAcrossExponentSpreads) {
  // The weights at k/8 are whole multiples of 1/512 below 1: the fast form's premise.
  for (int k = 1; k <= 7; ++k) {
    const float t = static_cast<float>(k) / 8.0f;
    const long double s = static_cast<float>(1.0L - static_cast<long double>(t));
    for (const long double w :
         {s * s * s, s * s * (3.0L * t), static_cast<long double>(t) * t * (s * 3.0L),
          static_cast<long double>(t) * t * t}) {
      const long double n = static_cast<float>(w) * 512.0L;
      EXPECT_EQ(n, std::floor(n)) << k;
      EXPECT_LT(n, 512.0L) << k;
    }
  }
  // Control coordinates whose exponents lie from 0 to 40 apart, around both limits of the fast
  // form (18 for the curve's points, 26 for the control points): every result bit for bit.
  std::mt19937 rng(8128);
  int spreads[41] = {};
  for (int n = 0; n < 400000; ++n) {
    const int spread = static_cast<int>(rng() % 41);
    const int low = static_cast<int>(rng() % 240) - 120;
    ++spreads[spread];
    float v[8];
    for (float& x : v)
      x = SpreadValue(rng, low + static_cast<int>(rng() % static_cast<uint32_t>(spread + 1)));
    const BezierSegment c{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
    ASSERT_TRUE(SameBits(ApproxCurveFixed(c), reference::Fixed(c))) << "curve " << n;
    const FloatPoint a{v[0], v[1]}, m{v[2], v[3]}, e{v[4], v[5]};
    const FloatPoint fast = ControlFromThrough(a, m, e), literal = reference::Control(a, m, e);
    ASSERT_TRUE(SameBits(fast.X, literal.X) && SameBits(fast.Y, literal.Y)) << "control " << n;
  }
  for (int spread = 0; spread <= 40; ++spread)
    EXPECT_GT(spreads[spread], 8000) << spread;

  // Sums that fall exactly halfway between two float32 values but for a far smaller term: the
  // extended sum keeps that term and rounds away from the tie; a double sum would lose it and
  // round to even. At 1/2 the curve is (P0 + 3 P1 + 3 P2 + P3) / 8: with P0 = 8 and P3 = 2^-21
  // it is 1 + 2^-24, the tie between 1 and 1 + 2^-23, which P2 = +-2^-s decides. The control
  // point (m - (a + c) / 4) 2 with m = 1 and a = -2^-22 is 2 + 2^-23, decided by c = +-2^-s.
  for (int shift = 20; shift <= 120; ++shift) {
    for (const float sign : {1.0f, -1.0f}) {
      const float tiny = sign * std::ldexp(1.0f, -shift);
      const BezierSegment c{8.0f, 0.0f, 0.0f, 0.0f, tiny, 0.0f, std::ldexp(1.0f, -21), 0.0f};
      ASSERT_TRUE(SameBits(ApproxCurveFixed(c), reference::Fixed(c))) << "shift " << shift;
      const FloatPoint a{-std::ldexp(1.0f, -22), 0.0f}, m{1.0f, 0.0f}, e{tiny, 0.0f};
      ASSERT_TRUE(SameBits(ControlFromThrough(a, m, e).X, reference::Control(a, m, e).X))
          << "shift " << shift;
    }
  }
}

TEST(CurveGeometry, FastMeasureMatchesTheLiteralOneBitForBit) {
  std::mt19937 rng(20240611);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  int counts[6] = {};
  for (int n = 0; n < 20000; ++n) {
    const BezierSegment c = RandomCurve(rng);
    const CurveApprox fast = ApproxCurveReduced(c);
    const CurveApprox literal = reference::Reduced(c);
    ASSERT_TRUE(SameBits(fast, literal)) << "curve " << n;
    ASSERT_TRUE(SameBits(ApproxCurveFixed(c), reference::Fixed(c))) << "curve " << n;
    ++counts[fast.Count];
    if (n % 10 == 0) {
      const FloatPoint a{c.P0x, c.P0y}, b{c.P3x, c.P3y};
      const FloatPoint q{c.P1x + unit(rng), c.P2y + unit(rng)};
      ASSERT_TRUE(SameBits(QuadDeviation(c, a, q, b), reference::Deviation(c, a, q, b))) << n;
      const float t = static_cast<float>(n % 21) / 20.0f;
      const FloatPoint p = CubicPoint(c, t), r = reference::Cubic(c, t);
      ASSERT_TRUE(SameBits(p.X, r.X) && SameBits(p.Y, r.Y)) << n;
      ASSERT_TRUE(SameBits(PointSegmentDist2(q, a, b), reference::Dist2(q, a, b))) << n;
    }
  }
  // The sample reaches every outcome, so each branch was compared.
  EXPECT_GT(counts[2], 100);
  EXPECT_GT(counts[3], 100);
  EXPECT_GT(counts[5], 100);
}

}  // namespace
}  // namespace aiimport
