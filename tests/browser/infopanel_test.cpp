#include "infopanel.h"

#include <gtest/gtest.h>

namespace aiimport {
namespace {

tpath PathOf(int points, bool filled, bool closed, TColor fill, TColor line, int32_t compound,
             int32_t level = 0) {
  tpath p;
  for (int i = 0; i < points; ++i)
    p.Items.push_back({i == 0 ? 0 : 1, float(i), 0});
  p.Filled = filled;
  p.Closed = closed;
  p.FillColor = fill;
  p.LineColor = line;
  p.CompoundNo = compound;
  p.GroupLevel = level;
  return p;
}

TEST(InfoPanel, Millimetres) {
  EXPECT_EQ(MillimetreText(72), "25.400 mm");
  EXPECT_EQ(MillimetreText(1), "0.353 mm");  // 0.35277...
  EXPECT_EQ(MillimetreText(0), "0.000 mm");
  EXPECT_EQ(MillimetreText(-72), "-25.400 mm");
  EXPECT_EQ(MillimetreText(612), "215.900 mm");
}

TEST(InfoPanel, NothingSelected) {
  ObjectTree tree;
  const InfoPanelState s = ComputeInfoPanel(tree, {0, 0, 72, 144});
  EXPECT_EQ(s.Width, "25.400 mm");
  EXPECT_EQ(s.Height, "50.800 mm");
  EXPECT_EQ(s.Description, "");
  EXPECT_FALSE(s.HasPath);
  EXPECT_FALSE(s.OpenDown || s.ClosedDown || s.ClearDown || s.SolidDown);
  EXPECT_EQ(s.ButtonColor, ButtonFaceColor);
  EXPECT_FALSE(s.FillShape);
  EXPECT_FALSE(s.LineShape);
}

TEST(InfoPanel, PathGroupAndComposite) {
  std::deque<tpath> list;
  list.push_back(PathOf(5, false, true, 0x111111, 0x222222, 0));
  list.push_back(PathOf(2, true, false, 0x333333, 0x444444, 4));
  list.push_back(PathOf(2, true, true, 0x555555, 0x666666, 4));
  list.push_back(PathOf(2, true, true, 0x777777, 0x888888, 4));
  ObjectTree tree;
  BuildTree(tree, list, {});
  const TreeNode* group = tree.First()->Children[0];
  ASSERT_EQ(group->Children.size(), 2u);

  tree.Select(group->Children[0]);
  InfoPanelState s = ComputeInfoPanel(tree, {});
  EXPECT_EQ(s.Description, "Path (5 nodes)");
  EXPECT_TRUE(s.HasPath);
  EXPECT_TRUE(s.ClosedDown);
  EXPECT_FALSE(s.OpenDown);
  EXPECT_TRUE(s.ClearDown);
  EXPECT_FALSE(s.SolidDown);
  EXPECT_EQ(s.ButtonColor, 0x222222);  // not filled: the line colour
  EXPECT_EQ(s.FillShape, 0x111111);
  EXPECT_EQ(s.LineShape, 0x222222);

  tree.Select(group->Children[1]);  // the composite of three
  s = ComputeInfoPanel(tree, {});
  EXPECT_EQ(s.Description, "Compound  (3 Paths)");
  EXPECT_TRUE(s.OpenDown);  // its first path is open and filled
  EXPECT_TRUE(s.SolidDown);
  EXPECT_EQ(s.ButtonColor, 0x333333);

  tree.Select(tree.First());
  s = ComputeInfoPanel(tree, {});
  EXPECT_EQ(s.Description, "Group (4 Paths)");
  EXPECT_EQ(s.ButtonColor, 0x222222);
}

TEST(InfoPanel, RootOfFilteredTreeHasNoPaths) {
  std::deque<tpath> list;
  list.push_back(PathOf(3, true, true, 1, 2, 0));
  ObjectTree tree;
  BuildTree(tree, list, {false, false, false});
  ASSERT_EQ(tree.NodeCount(), 1u);
  tree.Select(tree.First());
  const InfoPanelState s = ComputeInfoPanel(tree, {});
  EXPECT_EQ(s.Description, "Group (0 Paths)");
  EXPECT_FALSE(s.HasPath);
  EXPECT_EQ(s.ButtonColor, ButtonFaceColor);
}

}  // namespace
}  // namespace aiimport
