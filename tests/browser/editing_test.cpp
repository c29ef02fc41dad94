#include "editing.h"
#include "treeshape.h"

#include <gtest/gtest.h>

#include <string>

namespace aiimport {
namespace {

using testing::PathRow;
using testing::Paths;

using testing::Shape;

// R[G[P0, G[P1, P2], C7[P3, P4], P5]]
struct Fixture {
  std::deque<tpath> list = Paths({{0, 0}, {1, 1}, {1, 2}, {0, 7}, {0, 7}, {0, 8}});
  ObjectTree tree;
  Fixture() { BuildTree(tree, list, {}); }
  TreeNode* Group() { return tree.First()->Children[0]; }
  std::string Shape() { return testing::Shape(tree, list); }
};

TEST(Editing, FixtureShape) {
  Fixture f;
  // Level 1 opens a group inside the level-0 group; the drop back closes it.
  EXPECT_EQ(f.Shape(), "R[G[P0,G[P1,P2],C7[P3,P4],P5]]");
}

TEST(Editing, NothingSelectedDoesNothing) {
  Fixture f;
  EXPECT_FALSE(DeleteSelected(f.tree));
  EXPECT_FALSE(BreakApart(f.tree, f.list, {}));
  EXPECT_FALSE(UpOneLevel(f.tree));
  EXPECT_FALSE(DownOneLevel(f.tree));
  EXPECT_FALSE(BringToFront(f.tree));
  EXPECT_FALSE(SendToBack(f.tree));
  EXPECT_FALSE(ApplyToSelection(f.tree, PathChange::Flag, 0));
  EXPECT_EQ(f.Shape(), "R[G[P0,G[P1,P2],C7[P3,P4],P5]]");
}

TEST(Editing, DeleteAGroupUntilTheNextRebuild) {
  Fixture f;
  f.tree.Select(f.Group()->Children[1]);
  EXPECT_TRUE(DeleteSelected(f.tree));
  EXPECT_EQ(f.Shape(), "R[G[P0,C7[P3,P4],P5]]");
  EXPECT_EQ(TreePaths(f.tree).size(), 4u);
  BuildTree(f.tree, f.list, {});  // a filter change rebuilds: the paths come back
  EXPECT_EQ(f.Shape(), "R[G[P0,G[P1,P2],C7[P3,P4],P5]]");
}

TEST(Editing, BreakApartNumbersAboveEverythingInTreeOrder) {
  // Three paths of compound 4 while the largest number is 9: they get 10, 11 and 12.
  std::deque<tpath> list = Paths({{0, 1}, {0, 4}, {0, 4}, {0, 4}, {0, 9}});
  ObjectTree tree;
  BuildTree(tree, list, {});
  ASSERT_EQ(Shape(tree, list), "R[G[P0,C4[P1,P2,P3],P4]]");
  tree.Select(tree.First()->Children[0]->Children[1]);
  EXPECT_TRUE(BreakApart(tree, list, {}));
  EXPECT_EQ(list[1].CompoundNo, 10);
  EXPECT_EQ(list[2].CompoundNo, 11);
  EXPECT_EQ(list[3].CompoundNo, 12);
  EXPECT_EQ(list[4].CompoundNo, 9);
  EXPECT_EQ(Shape(tree, list), "R[G[P0,P1,P2,P3,P4]]");
  EXPECT_EQ(tree.Selected(), nullptr);
  // On a path node nothing happens.
  tree.Select(tree.First()->Children[0]->Children[0]);
  EXPECT_FALSE(BreakApart(tree, list, {}));
  EXPECT_EQ(list[0].CompoundNo, 1);
}

TEST(Editing, BreakApartStartsAboveOneAtLeast) {
  std::deque<tpath> list = Paths({{0, 0}, {0, 0}});
  ObjectTree tree;
  BuildTree(tree, list, {});
  tree.Select(tree.First());
  EXPECT_TRUE(BreakApart(tree, list, {}));
  EXPECT_EQ(list[0].CompoundNo, 2);
  EXPECT_EQ(list[1].CompoundNo, 3);
}

TEST(Editing, UpOneLevel) {
  Fixture f;
  f.tree.Select(f.Group()->Children[1]);  // the inner group, second of four
  EXPECT_TRUE(UpOneLevel(f.tree));
  EXPECT_EQ(f.Shape(), "R[G[G[P1,P2],P0,C7[P3,P4],P5]]");
  // Now the first child: the group leaves its parent and stands before it.
  EXPECT_TRUE(UpOneLevel(f.tree));
  EXPECT_EQ(f.Shape(), "R[G[P1,P2],G[P0,C7[P3,P4],P5]]");
  // A path that is the first child stays.
  f.tree.Select(f.tree.First()->Children[0]->Children[0]);
  EXPECT_FALSE(UpOneLevel(f.tree));
  EXPECT_EQ(f.Shape(), "R[G[P1,P2],G[P0,C7[P3,P4],P5]]");
  // The tree's first node stays too.
  f.tree.Select(f.tree.First());
  EXPECT_FALSE(UpOneLevel(f.tree));
}

TEST(Editing, DownOneLevel) {
  Fixture f;
  f.tree.Select(f.Group()->Children[0]);  // P0, first of four
  EXPECT_TRUE(DownOneLevel(f.tree));
  EXPECT_EQ(f.Shape(), "R[G[G[P1,P2],P0,C7[P3,P4],P5]]");
  // A last-child path stays.
  f.tree.Select(f.Group()->Children[3]);
  EXPECT_FALSE(DownOneLevel(f.tree));
  // A last-child group with children gives up its first child, which comes in front of it.
  f.tree.Select(f.Group());
  EXPECT_TRUE(DownOneLevel(f.tree));
  EXPECT_EQ(f.Shape(), "R[G[P1,P2],G[P0,C7[P3,P4],P5]]");
}

TEST(Editing, DownOneLevelOnAnEmptyLastGroupTakesTheNodeAfterIt) {
  // R[G[P0, G[], ...]]: an empty composite can only come from a deletion; delete P1 and P2.
  Fixture f;
  TreeNode* inner = f.Group()->Children[1];
  f.tree.Delete(inner->Children[1]);
  f.tree.Delete(inner->Children[0]);
  f.tree.MoveToEnd(inner);  // R[G[P0,C7[P3,P4],P5,G]]
  ASSERT_EQ(f.Shape(), "R[G[P0,C7[P3,P4],P5,G]]");
  f.tree.Select(inner);
  // No children and no next sibling: the node after it in tree order is none at the end.
  EXPECT_FALSE(DownOneLevel(f.tree));
}

TEST(Editing, FrontAndBack) {
  Fixture f;
  f.tree.Select(f.Group()->Children[2]);  // the composite
  EXPECT_TRUE(BringToFront(f.tree));
  EXPECT_EQ(f.Shape(), "R[G[C7[P3,P4],P0,G[P1,P2],P5]]");
  EXPECT_TRUE(SendToBack(f.tree));
  EXPECT_EQ(f.Shape(), "R[G[P0,G[P1,P2],P5,C7[P3,P4]]]");
  EXPECT_EQ(TreePaths(f.tree), (std::vector<tpath*>{&f.list[0], &f.list[1], &f.list[2], &f.list[5],
                                                    &f.list[3], &f.list[4]}));
}

TEST(Editing, AttributeChangesReachEveryPathBelow) {
  Fixture f;
  for (tpath& p : f.list)
    p.Filled = false, p.Closed = true;
  f.tree.Select(f.Group());
  EXPECT_TRUE(ApplyToSelection(f.tree, PathChange::SolidFill, 0));
  for (const tpath& p : f.list)
    EXPECT_TRUE(p.Filled);
  EXPECT_EQ(f.Group()->Children[0]->ImageIndex, 5);  // as built (filled, open): unchanged look

  EXPECT_TRUE(ApplyToSelection(f.tree, PathChange::Open, 0));
  for (const tpath& p : f.list)
    EXPECT_FALSE(p.Closed);
  EXPECT_TRUE(ApplyToSelection(f.tree, PathChange::Colour, 0x123456));
  for (const tpath& p : f.list) {
    EXPECT_EQ(p.FillColor, 0x123456);
    EXPECT_EQ(p.LineColor, 0x123456);
  }
  f.tree.Select(f.Group()->Children[0]);
  EXPECT_TRUE(ApplyToSelection(f.tree, PathChange::NoFill, 0));
  EXPECT_FALSE(f.list[0].Filled);
  EXPECT_TRUE(f.list[1].Filled);
  EXPECT_TRUE(ApplyToSelection(f.tree, PathChange::Close, 0));
  EXPECT_TRUE(f.list[0].Closed);
}

TEST(Editing, ToggleListMovesPathsToTheOtherList) {
  Fixture f;
  f.tree.Select(f.Group()->Children[2]);  // the composite
  EXPECT_TRUE(ApplyToSelection(f.tree, ToggleListChange(false), 0));
  EXPECT_TRUE(f.list[3].Flagged && f.list[4].Flagged);
  EXPECT_FALSE(f.list[0].Flagged);
  EXPECT_EQ(f.Shape(), "R[G[P0,G[P1,P2],P5]]");
  // The other list shows exactly the flagged paths.
  BuildTree(f.tree, f.list, {true, true, true});
  EXPECT_EQ(f.Shape(), "R[G[C7[P3,P4]]]");
  f.tree.Select(f.tree.First());
  EXPECT_TRUE(ApplyToSelection(f.tree, ToggleListChange(true), 0));
  EXPECT_FALSE(f.list[3].Flagged || f.list[4].Flagged);
  EXPECT_TRUE(f.tree.Empty());
}

}  // namespace
}  // namespace aiimport
