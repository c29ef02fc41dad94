#include "preview.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace aiimport {
namespace {

using testing::RenderRequestFromValue;

constexpr int32_t Int32Max = std::numeric_limits<int32_t>::max();
constexpr int32_t Int32Min = std::numeric_limits<int32_t>::min();

TEST(RenderRequestValues, NamedValuesAndEverythingElseKeepsTheExtent) {
  EXPECT_EQ(RenderRequestFromValue(0), RenderRequest::KeepExtent);
  EXPECT_EQ(RenderRequestFromValue(1), RenderRequest::FitAll);
  EXPECT_EQ(RenderRequestFromValue(2), RenderRequest::FitSelection);
  EXPECT_EQ(RenderRequestFromValue(10), RenderRequest::RepaintAll);
  for (int32_t other : {3, 9, 11, -1, Int32Max, Int32Min}) {
    EXPECT_EQ(RenderRequestFromValue(other), RenderRequest::KeepExtent) << other;
  }
  EXPECT_EQ(static_cast<int32_t>(DrawMode::Wireframe), 0);
  EXPECT_EQ(static_cast<int32_t>(DrawMode::Solid), 1);
  EXPECT_EQ(static_cast<int32_t>(DrawMode::Orientation), 2);
  EXPECT_EQ(static_cast<int32_t>(DrawMode::Background), 3);
  EXPECT_EQ(ViewModeFromButtons(true, false), DrawMode::Solid);
  EXPECT_EQ(ViewModeFromButtons(false, true), DrawMode::Orientation);
  EXPECT_EQ(ViewModeFromButtons(false, false), DrawMode::Wireframe);
}

TEST(MapDistance, RoundsHalvesToEven) {
  EXPECT_EQ(MapDistance(2.5f, 0, 1), 2);
  EXPECT_EQ(MapDistance(3.5f, 0, 1), 4);
  EXPECT_EQ(MapDistance(-2.5f, 0, 1), -2);
  EXPECT_EQ(MapDistance(11.25f, 10, 2), 2);  // 2.5
  EXPECT_EQ(MapDistance(11.75f, 10, 2), 4);  // 3.5
  EXPECT_EQ(MapDistance(5, 10, 0.5f), -2);   // -2.5
}

TEST(MapDistance, DifferenceAndProductAreNotRoundedToFloat) {
  // 3.7f * 5 is 18.50000024 exactly; rounded to float32 first it would be 18.5 and give 18.
  EXPECT_EQ(MapDistance(3.7f, 0, 5), 19);
  // 1e8 - 1.5 is 99999998.5 exactly (rounds to 99999998); as float32 it would be 1e8.
  EXPECT_EQ(MapDistance(1e8f, 1.5f, 1), 99999998);
}

TEST(MapDistance, OutOfRangeSaturatesAndNotANumberGivesZero) {
  EXPECT_EQ(MapDistance(3e38f, -3e38f, 1e10f), Int32Max);
  EXPECT_EQ(MapDistance(-3e38f, 3e38f, 1e10f), Int32Min);
  EXPECT_EQ(MapDistance(1, 0, std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(MapDistance(1, 0, std::numeric_limits<float>::infinity()), Int32Max);
  EXPECT_EQ(MapDistance(0, 0, std::numeric_limits<float>::infinity()), 0);  // 0 * inf
}

TEST(ScreenMappingTest, MapsThroughOffsetsWithoutOverflow) {
  const ScreenMapping m{2, 10, 20, 5, 7};
  EXPECT_EQ(MapX(m, 10), 5);
  EXPECT_EQ(MapY(m, 20), 7);
  EXPECT_EQ(MapX(m, 15.25f), 5 + 10);  // 10.5 rounds to 10
  EXPECT_EQ(MapY(m, 19), 7 - 2);
  const ScreenMapping far{1, 0, 0, Int32Max, Int32Min};
  EXPECT_EQ(MapX(far, 3e38f), int64_t{Int32Max} + Int32Max);
  EXPECT_EQ(MapY(far, -3e38f), int64_t{Int32Min} + Int32Min);

  tpath p;
  p.MinX = 10, p.MinY = 20, p.MaxX = 30, p.MaxY = 25;
  EXPECT_EQ(MapBox(m, p), (ScreenBox{5, 7, 45, 17}));
  EXPECT_EQ(ScreenMapping{}, (ScreenMapping{1, 0, 0, 0, 0}));
}

TEST(FitExtent, ZeroWidthOrHeightDrawsNothing) {
  EXPECT_FALSE(FitExtent({0, 5, 100, 5}, 585, 413));
  EXPECT_FALSE(FitExtent({7, 0, 7, 100}, 585, 413));
  EXPECT_TRUE(FitExtent({0, 0, 1, 1}, 585, 413));
}

TEST(FitExtent, ScaleFromTheLimitingDirectionAndCentredOffsets) {
  // Width-limited equally in both directions: 200/100 = 100/50 = 2.
  auto m = FitExtent({0, 0, 100, 50}, 210, 110);
  ASSERT_TRUE(m);
  EXPECT_EQ(*m, (ScreenMapping{2, 0, 0, 5, 5}));

  // Height-limited: sx = 577/100 = 5.77, sy = 403/200 = 2.015 (float32 2.01500010);
  // R(2.01500010 * 100) = R(201.500010) = 202, (587 - 202) / 2 = 192 (truncated);
  // R(2.01500010 * 200) = R(403.000021) = 403, (413 - 403) / 2 = 5.
  m = FitExtent({10, 20, 110, 220}, 587, 413);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Scale, 2.015f);
  EXPECT_EQ(m->OriginX, 10);
  EXPECT_EQ(m->OriginY, 20);
  EXPECT_EQ(m->OffsetX, 192);
  EXPECT_EQ(m->OffsetY, 5);
}

TEST(FitExtent, UsedWidthRoundsHalfToEven) {
  // sy = (20 - 10) / 4 = 2.5 limits; the width 5 takes R(12.5) = 12 pixels: (100 - 12) / 2.
  const auto m = FitExtent({0, 0, 5, 4}, 100, 20);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Scale, 2.5f);
  EXPECT_EQ(m->OffsetX, 44);
  EXPECT_EQ(m->OffsetY, 5);
}

TEST(FitExtent, SmallPaintBoxesGiveZeroOrNegativeScales) {
  auto m = FitExtent({0, 0, 4, 4}, 10, 100);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Scale, 0);
  EXPECT_EQ(m->OffsetX, 5);
  EXPECT_EQ(m->OffsetY, 50);

  m = FitExtent({0, 0, 4, 4}, 100, 6);  // sy = -4 / 4
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Scale, -1);
  EXPECT_EQ(m->OffsetX, 52);   // (100 - (-4)) / 2
  EXPECT_EQ(m->OffsetY, 5);    // (6 - (-4)) / 2
  EXPECT_EQ(MapX(*m, 4), 48);  // mirrored

  m = FitExtent({0, 0, 4, 4}, 0, 0);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Scale, -2.5f);
}

TEST(FitExtent, HugeExtentsStayDefined) {
  // The width overflows float32 to infinity: the scale becomes zero.
  const auto m = FitExtent({-3e38f, -1, 3e38f, 1}, 585, 413);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Scale, 0);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(FitExtent({nan, nan, nan, nan}, 585, 413));  // no crash, some mapping
}

}  // namespace
}  // namespace aiimport
