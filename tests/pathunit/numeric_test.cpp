#include "numeric.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace aiimport {
namespace {

using testing::RoundLow8;

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(0.5L), 0.0L);
  EXPECT_EQ(RoundHalfEven(1.5L), 2.0L);
  EXPECT_EQ(RoundHalfEven(2.5L), 2.0L);
  EXPECT_EQ(RoundHalfEven(-0.5L), 0.0L);
  EXPECT_EQ(RoundHalfEven(-1.5L), -2.0L);
  EXPECT_EQ(RoundHalfEven(-2.5L), -2.0L);
  EXPECT_EQ(RoundHalfEven(127.5L), 128.0L);
  EXPECT_EQ(RoundHalfEven(2.4999999L), 2.0L);
  EXPECT_EQ(RoundHalfEven(-2.5000001L), -3.0L);
}

TEST(RoundHalfEven, IgnoresTheRoundingMode) {
  // A value just below a half must not be pulled up by an intermediate rounding.
  const long double below = std::nextafter(0.5L, 0.0L);
  EXPECT_EQ(RoundHalfEven(below), 0.0L);
  EXPECT_EQ(RoundHalfEven(1.0L + std::nextafter(0.5L, 1.0L)), 2.0L);
}

TEST(RoundToInt32, RefusesWhatDoesNotFit) {
  EXPECT_EQ(RoundToInt32(2147483647.0L), 2147483647);
  EXPECT_EQ(RoundToInt32(2147483647.4L), 2147483647);
  EXPECT_FALSE(RoundToInt32(2147483647.5L));             // rounds to 2^31
  EXPECT_EQ(RoundToInt32(-2147483648.5L), -2147483648);  // half to even: -2^31
  EXPECT_FALSE(RoundToInt32(-2147483649.0L));
  EXPECT_FALSE(RoundToInt32(std::numeric_limits<long double>::quiet_NaN()));
  EXPECT_FALSE(RoundToInt32(std::numeric_limits<long double>::infinity()));
  EXPECT_FALSE(RoundToInt32(-std::numeric_limits<long double>::infinity()));
}

TEST(RoundLow32, KeepsTheLowBitsOfTheExactInteger) {
  EXPECT_EQ(RoundLow32(1.0L), 1);
  EXPECT_EQ(RoundLow32(-1.0L), -1);
  EXPECT_EQ(RoundLow32(4294967296.0L + 5.0L), 5);
  EXPECT_EQ(RoundLow32(2147483648.0L), -2147483647 - 1);
  EXPECT_EQ(RoundLow32(-4294967297.0L), -1);
  EXPECT_EQ(RoundLow32(1e30L), 0);  // the nearest long double is a multiple of 2^36
  EXPECT_EQ(RoundLow32(std::numeric_limits<long double>::quiet_NaN()), 0);
  EXPECT_EQ(RoundLow32(std::numeric_limits<long double>::infinity()), 0);
  EXPECT_EQ(RoundLow8(510.0L), 254u);
  EXPECT_EQ(RoundLow8(-255.0L), 1u);
}

}  // namespace
}  // namespace aiimport

namespace aiimport {
namespace {

TEST(RoundLow32Exact, MatchesTheExtendedHelper) {
  for (double v : {0.5, 1.5, 2.5, -0.5, -1.5, -2.5, 127.5, 2147483647.5, -2147483648.5,
                   4294967296.5, 1e17 + 0.5, 5e18, -5e18, 1e30, 0.49999999999999994, -0.0}) {
    EXPECT_EQ(RoundLow32Exact(v), RoundLow32(static_cast<long double>(v))) << v;
  }
  EXPECT_EQ(RoundLow32Exact(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(RoundLow32Exact(std::numeric_limits<double>::infinity()), 0);
}

}  // namespace
}  // namespace aiimport

namespace aiimport {
namespace {

TEST(ConvertToNearest, HalvesToEvenAcrossTheInt32Range) {
  // The processor's conversion under its default rounding; values worked out by hand.
  ASSERT_TRUE(ConversionsRoundToNearest());
  struct Row {
    double v;
    int32_t expected;
  };
  for (const Row& r : {Row{0.5, 0}, Row{1.5, 2}, Row{2.5, 2}, Row{-0.5, 0}, Row{-1.5, -2},
                       Row{-2.5, -2}, Row{0.49999999999999994, 0}, Row{2889955.5, 2889956},
                       Row{8669866.5, 8669866}, Row{2147483646.5, 2147483646},
                       Row{2147483647.25, 2147483647}, Row{-2147483648.5, -2147483647 - 1},
                       Row{-2147483647.5, -2147483647 - 1}, Row{-0.0, 0}, Row{1e-300, 0}}) {
    EXPECT_EQ(ConvertToNearest(r.v), r.expected) << r.v;
  }
  // And the checked helper's answer on random values of the range, halves among them.
  std::mt19937_64 random(9);
  for (int i = 0; i < 100000; ++i) {
    const double whole =
        static_cast<double>(static_cast<int64_t>(random() % 4294967295ull) - 2147483648ll);
    const double v = whole + (i % 3 == 0 ? 0.5 : static_cast<double>(random() % 1000) / 1000.0);
    if (!(v >= -2147483648.5 && v < 2147483647.5)) continue;
    ASSERT_EQ(ConvertToNearest(v), *RoundToInt32(static_cast<long double>(v))) << v;
  }
}

TEST(RoundSaturatedQuick, HalvesToEvenAndSaturatesLikeTheCheckedHelper) {
  ASSERT_TRUE(ExtendedConversionsRoundToNearest());
  struct Row {
    long double v;
    int32_t expected;
  };
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  const long double inf = std::numeric_limits<long double>::infinity();
  for (const Row& r : {Row{0.5L, 0}, Row{1.5L, 2}, Row{2.5L, 2}, Row{-2.5L, -2}, Row{-3.5L, -4},
                       Row{std::nextafter(0.5L, 0.0L), 0}, Row{std::nextafter(0.5L, 1.0L), 1},
                       Row{2147483646.5L, 2147483646}, Row{2147483647.49L, 2147483647},
                       Row{2147483647.5L, 2147483647}, Row{-2147483648.5L, -2147483647 - 1},
                       Row{-2147483649.0L, -2147483647 - 1}, Row{1e30L, 2147483647},
                       Row{inf, 2147483647}, Row{-inf, -2147483647 - 1}, Row{nan, 0}}) {
    EXPECT_EQ(RoundSaturatedQuick(r.v), r.expected) << static_cast<double>(r.v);
  }
  // Extended products of the preview's kind: a difference of two floats times a float.
  std::mt19937 random(5);
  std::uniform_real_distribution<float> value(-5000, 5000), scale(0.01f, 40);
  for (int i = 0; i < 200000; ++i) {
    const long double v = (static_cast<long double>(value(random)) - value(random)) *
                          (i % 4 == 0 ? 0.5f : scale(random));
    ASSERT_EQ(RoundSaturatedQuick(v), RoundSaturated(v)) << static_cast<double>(v);
  }
}

}  // namespace
}  // namespace aiimport
