#include "zoom.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace aiimport {
namespace {

tpath Box(float minX, float minY, float maxX, float maxY) {
  tpath p;
  p.MinX = minX, p.MinY = minY, p.MaxX = maxX, p.MaxY = maxY;
  return p;
}

const ScreenMapping Identity{1, 0, 0, 0, 0};

TEST(NormalizeRectTest, OrdersEachPair) {
  EXPECT_EQ(NormalizeRect({65, 107, 25, 47}), (PixelRect{25, 47, 65, 107}));
  EXPECT_EQ(NormalizeRect({25, 107, 65, 47}), (PixelRect{25, 47, 65, 107}));
  EXPECT_EQ(NormalizeRect({25, 47, 65, 107}), (PixelRect{25, 47, 65, 107}));
  EXPECT_EQ(NormalizeRect({-3, -3, -3, -3}), (PixelRect{-3, -3, -3, -3}));
}

// A drawing at scale 2 with the world origin (10, 20) at pixel (5, 7).
const ScreenMapping Zoomed{2, 10, 20, 5, 7};

TEST(ZoomAreaExtentTest, ConvertsBackWithoutRounding) {
  // Left (25 - 5) / 2 + 10 = 20, right (66 - 5) / 2 + 10 = 40.5, top (47 - 7) / 2 + 20 = 40,
  // bottom (108 - 7) / 2 + 20 = 70.5.
  const auto e = ZoomAreaExtent({25, 47, 66, 108}, Zoomed);
  ASSERT_TRUE(e);
  EXPECT_EQ(*e, (FloatRect{20, 40, 40.5f, 70.5f}));
}

TEST(ZoomAreaExtentTest, DragDirectionDoesNotMatter) {
  const auto forward = ZoomAreaExtent({25, 47, 66, 108}, Zoomed);
  const auto backward = ZoomAreaExtent({66, 108, 25, 47}, Zoomed);
  const auto mixed = ZoomAreaExtent({66, 47, 25, 108}, Zoomed);
  ASSERT_TRUE(forward && backward && mixed);
  EXPECT_EQ(*forward, *backward);
  EXPECT_EQ(*forward, *mixed);
}

TEST(ZoomAreaExtentTest, ClickWithoutMovementGivesFiveByFiveFromThePoint) {
  const auto e = ZoomAreaExtent({25, 47, 25, 47}, Zoomed);
  ASSERT_TRUE(e);
  EXPECT_EQ(*e, (FloatRect{20, 40, 25, 45}));
}

TEST(ZoomAreaExtentTest, NarrowDragIsWidenedToFiveUnits) {
  // 6 pixels = 3 units wide, 40 pixels = 20 units high.
  const auto e = ZoomAreaExtent({25, 47, 31, 87}, Zoomed);
  ASSERT_TRUE(e);
  EXPECT_EQ(*e, (FloatRect{20, 40, 25, 60}));
  // Exactly 5 units stays; 4.5 is raised.
  EXPECT_EQ(ZoomAreaExtent({25, 47, 35, 57}, Zoomed)->MaxX, 25);
  EXPECT_EQ(ZoomAreaExtent({25, 47, 34, 57}, Zoomed)->MaxX, 25);
  EXPECT_EQ(ZoomAreaExtent({25, 47, 34, 57}, Zoomed)->MaxY, 25 + 20);
}

TEST(ZoomAreaExtentTest, ZeroOrUndefinedScaleChangesNothing) {
  EXPECT_FALSE(ZoomAreaExtent({0, 0, 50, 50}, ScreenMapping{0, 0, 0, 5, 5}));
  EXPECT_FALSE(ZoomAreaExtent({0, 0, 50, 50}, ScreenMapping{-0.0f, 0, 0, 5, 5}));
  EXPECT_FALSE(
      ZoomAreaExtent({0, 0, 50, 50}, ScreenMapping{std::numeric_limits<float>::quiet_NaN()}));
  EXPECT_TRUE(ZoomAreaExtent({0, 0, 50, 50}, ScreenMapping{-1, 0, 0, 5, 5}));
}

TEST(ZoomAreaExtentTest, PositionsOutsideThePaintBoxAreUsedUnchanged) {
  const auto e = ZoomAreaExtent({-95, -193, 5, 7}, Zoomed);
  ASSERT_TRUE(e);
  EXPECT_EQ(*e, (FloatRect{-40, -80, 10, 20}));
}

TEST(Picking, SmallestBoxHoldingThePointWins) {
  const tpath big = Box(0, 0, 100, 100);
  const tpath small = Box(10, 10, 20, 20);
  EXPECT_EQ(PickPath(std::vector<const tpath*>{&big, &small}, Identity, 15, 15), 1u);
  EXPECT_EQ(PickPath(std::vector<const tpath*>{&small, &big}, Identity, 15, 15), 0u);
  // Outside the small one only the big one holds the point.
  EXPECT_EQ(PickPath(std::vector<const tpath*>{&small, &big}, Identity, 50, 50), 1u);
}

TEST(Picking, EarliestWinsOnEqualAreas) {
  const tpath a = Box(0, 0, 10, 10);
  const tpath b = Box(5, 5, 15, 15);
  EXPECT_EQ(PickPath(std::vector<const tpath*>{&a, &b}, Identity, 7, 7), 0u);
  EXPECT_EQ(PickPath(std::vector<const tpath*>{&b, &a}, Identity, 7, 7), 0u);
}

TEST(Picking, LeftAndTopEdgesHitRightAndBottomDoNot) {
  const tpath p = Box(10, 10, 20, 20);
  const std::vector<const tpath*> paths{&p};
  EXPECT_TRUE(PickPath(paths, Identity, 10, 10));
  EXPECT_TRUE(PickPath(paths, Identity, 19, 19));
  EXPECT_TRUE(PickPath(paths, Identity, 10, 19));
  EXPECT_FALSE(PickPath(paths, Identity, 20, 15));
  EXPECT_FALSE(PickPath(paths, Identity, 15, 20));
  EXPECT_FALSE(PickPath(paths, Identity, 9, 15));
  EXPECT_FALSE(PickPath(paths, Identity, 15, 9));
}

TEST(Picking, BoxesAreMappedWithTheDrawingsMapping) {
  // (10.25, 10.75)-(20, 20) at scale 2, origin 0, offsets (5, 5): left 5 + R(20.5) = 25,
  // top 5 + R(21.5) = 27, right and bottom 45.
  const tpath p = Box(10.25f, 10.75f, 20, 20);
  const std::vector<const tpath*> paths{&p};
  const ScreenMapping m{2, 0, 0, 5, 5};
  EXPECT_TRUE(PickPath(paths, m, 25, 27));
  EXPECT_FALSE(PickPath(paths, m, 24, 27));
  EXPECT_FALSE(PickPath(paths, m, 25, 26));
  EXPECT_TRUE(PickPath(paths, m, 44, 44));
  EXPECT_FALSE(PickPath(paths, m, 45, 44));
  EXPECT_EQ(HitArea(p, m, 30, 30), 20 * 18);
}

TEST(Picking, LinesAndHugeBoxesAreNeverHit) {
  const tpath horizontal = Box(0, 50, 100, 50);
  const tpath vertical = Box(50, 0, 50, 100);
  const tpath huge = Box(-3e38f, -3e38f, 3e38f, 3e38f);
  const std::vector<const tpath*> paths{&horizontal, &vertical, nullptr, &huge};
  EXPECT_FALSE(PickPath(paths, Identity, 50, 50));
  EXPECT_FALSE(PickPath(paths, ScreenMapping{1e10f, 0, 0, 0, 0}, 0, 0));
  // A mirrored drawing (negative scale) maps every box with left > right: nothing is hit.
  const tpath p = Box(10, 10, 20, 20);
  EXPECT_FALSE(PickPath(std::vector<const tpath*>{&p}, ScreenMapping{-1, 0, 0, 100, 100}, 85, 85));
}

TEST(Picking, PickNodeKeepsTheCurrentNodeOnAMiss) {
  const tpath big = Box(0, 0, 100, 100);
  const tpath small = Box(10, 10, 20, 20);
  const std::vector<std::pair<std::string, const tpath*>> nodes{
      {"big", &big}, {"none", nullptr}, {"small", &small}};
  EXPECT_EQ(PickNode(nodes, Identity, 15, 15, std::string("root")), "small");
  EXPECT_EQ(PickNode(nodes, Identity, 50, 50, std::string("root")), "big");
  EXPECT_EQ(PickNode(nodes, Identity, 150, 50, std::string("root")), "root");
  const std::vector<std::pair<int, const tpath*>> none;
  EXPECT_EQ(PickNode(none, Identity, 15, 15, 7), 7);
}

TEST(ToolBarGradient, ThirtyThreeRowsFromWhiteToMidGrey) {
  EXPECT_EQ(ToolBarGradientRows, 33);
  // 128 / 32 = 4 grey levels per row, exactly.
  for (int row = 0; row < ToolBarGradientRows; ++row) {
    EXPECT_EQ(ToolBarGradientGrey(row), 255 - 4 * row) << row;
  }
  EXPECT_EQ(ToolBarGradientGrey(1), 251);
  EXPECT_EQ(ToolBarGradientGrey(32), 127);
}

}  // namespace
}  // namespace aiimport
