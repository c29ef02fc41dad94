#include "objecttree.h"
#include "treeshape.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace aiimport {
namespace {

using testing::PathRow;
using testing::Paths;

using testing::Shape;

std::string Build(const std::vector<PathRow>& specs, const TreeFilters& filters = {}) {
  std::deque<tpath> list = Paths(specs);
  ObjectTree tree;
  BuildTree(tree, list, filters);
  return Shape(tree, list);
}

TEST(BuildTree, EmptyListGivesEmptyTree) {
  std::deque<tpath> list;
  ObjectTree tree;
  BuildTree(tree, list, {});
  EXPECT_TRUE(tree.Empty());
  EXPECT_EQ(tree.Selected(), nullptr);
}

TEST(BuildTree, LevelZeroPathsGoInOneGroup) {
  EXPECT_EQ(Build({{0, 0}, {0, 1}, {0, 2, true, 1}, {0, 3}}), "R[G[P0,P1,P3]]");
}

TEST(BuildTree, ConsecutivePathsOfOneNumberFormAComposite) {
  EXPECT_EQ(Build({{0, 7}, {0, 7}, {0, 7}, {0, 8}}), "R[G[C7[P0,P1,P2],P3]]");
  EXPECT_EQ(Build({{0, 7}, {0, 7}, {0, 7}, {0, 8}, {0, 9}}), "R[G[C7[P0,P1,P2],P3,P4]]");
  // Separated by another path: no composite.
  EXPECT_EQ(Build({{0, 7}, {0, 8}, {0, 7}}), "R[G[P0,P1,P2]]");
}

TEST(BuildTree, ACompositeAtAChangeOfLevelHoldsOnePath) {
  // The successor has the same number but another level: a composite for the one path, and the
  // successor goes into the new group.
  EXPECT_EQ(Build({{0, 4}, {1, 4}, {1, 5}}), "R[G[C4[P0],G[P1,P2]]]");
}

TEST(BuildTree, OneGroupOpensOrClosesPerPath) {
  // Levels 0, 1, 2, 0: the drop from 2 to 0 closes one group only.
  EXPECT_EQ(Build({{0, 0}, {1, 1}, {2, 2}, {0, 3}}), "R[G[P0,G[P1,G[P2],P3]]]");
  // A jump from 0 to 3 opens one group.
  EXPECT_EQ(Build({{0, 0}, {3, 1}, {3, 2}}), "R[G[P0,G[P1,P2]]]");
}

TEST(BuildTree, LevelsBelowTheFirstLeaveTheRoot) {
  // First drop: the root is the current group; the next: no group, nodes go to the top level.
  EXPECT_EQ(Build({{0, 0}, {-1, 1}, {-2, 2}, {-3, 3}}), "R[G[P0],P1] P2 P3");
}

TEST(BuildTree, FiltersAndPruning) {
  const std::vector<PathRow> specs{{0, 0, true}, {0, 1, false}, {1, 2, true},
                                   {1, 2, true}, {2, 3, true},  {0, 4, false, 2, true}};
  EXPECT_EQ(Build(specs), "R[G[P0,P1,G[C2[P2,P3],G[P4]]]]");
  // Fills hidden: the composite and the groups that only held filled paths go.
  EXPECT_EQ(Build(specs, {false, false, true}), "R[G[P1]]");
  // Strokes hidden.
  EXPECT_EQ(Build(specs, {false, true, false}), "R[G[P0,G[C2[P2,P3],G[P4]]]]");
  // The other list: only the flagged path.
  // The other list: only the flagged path, which lands in the level-1 group (the drop from
  // level 2 to 0 closes one group).
  EXPECT_EQ(Build(specs, {true, true, true}), "R[G[G[P5]]]");
  // Everything filtered out: the root alone stays.
  EXPECT_EQ(Build(specs, {false, false, false}), "R");
}

TEST(BuildTree, PathNodesCaptionsAndImages) {
  std::deque<tpath> list = Paths({{0, 0, false, 3, false, false},
                                  {0, 1, false, 2, false, true},
                                  {0, 2, true, 4, false, false},
                                  {0, 3, true, 5, false, true},
                                  {0, 9},
                                  {0, 9}});
  ObjectTree tree;
  BuildTree(tree, list, {});
  const TreeNode* root = tree.First();
  EXPECT_EQ(root->Caption(), "Master Group: ");
  EXPECT_EQ(root->ImageIndex, 0);
  const TreeNode* group = root->Children[0];
  EXPECT_EQ(group->Caption(), "Group");
  ASSERT_EQ(group->Children.size(), 5u);
  EXPECT_EQ(group->Children[0]->Caption(), "Path (3)");
  EXPECT_EQ(group->Children[0]->ImageIndex, 3);
  EXPECT_EQ(group->Children[1]->ImageIndex, 4);
  EXPECT_EQ(group->Children[2]->ImageIndex, 5);
  EXPECT_EQ(group->Children[3]->ImageIndex, 6);
  EXPECT_EQ(group->Children[4]->Caption(), "Composite: [9]");
  EXPECT_EQ(group->Children[4]->ImageIndex, 1);
  // A later change of the path leaves the node's look alone until the next rebuild.
  list[0].Filled = true;
  EXPECT_EQ(group->Children[0]->ImageIndex, 3);
}

TEST(TreeOrder, TreePathsCollectPathsAndSelection) {
  std::deque<tpath> list = Paths({{0, 0}, {1, 5}, {1, 5}, {0, 6}});
  ObjectTree tree;
  BuildTree(tree, list, {});
  ASSERT_EQ(Shape(tree, list), "R[G[P0,G[C5[P1,P2]],P3]]");
  EXPECT_EQ(TreePaths(tree), (std::vector<tpath*>{&list[0], &list[1], &list[2], &list[3]}));
  const TreeNode* inner = tree.First()->Children[0]->Children[1];
  std::vector<tpath*> collected;
  CollectPaths(tree, inner, collected);
  EXPECT_EQ(collected, (std::vector<tpath*>{&list[1], &list[2]}));
  EXPECT_TRUE(SelectedPaths(tree).empty());
  tree.Select(inner->Children[0]->Children[1]);
  EXPECT_EQ(SelectedPaths(tree), (std::vector<tpath*>{&list[2]}));
  tree.Select(tree.First());
  EXPECT_EQ(SelectedPaths(tree).size(), 4u);
}

TEST(TreeEdits, DeleteMovesTheSelection) {
  std::deque<tpath> list = Paths({{0, 0}, {0, 1}, {0, 2}});
  ObjectTree tree;
  BuildTree(tree, list, {});
  TreeNode* group = tree.First()->Children[0];
  tree.Select(group->Children[1]);
  tree.Delete(group->Children[1]);
  EXPECT_EQ(Shape(tree, list), "R[G[P0,P2]]");
  EXPECT_EQ(tree.Selected(), group->Children[1]);  // the next sibling
  tree.Delete(group->Children[1]);
  EXPECT_EQ(tree.Selected(), group->Children[0]);  // no next: the previous
  tree.Delete(group->Children[0]);
  EXPECT_EQ(tree.Selected(), group);  // neither: the parent
  EXPECT_EQ(tree.NodeCount(), 2u);
  tree.Delete(tree.First());
  EXPECT_TRUE(tree.Empty());
  EXPECT_EQ(tree.Selected(), nullptr);
  EXPECT_TRUE(TreePaths(tree).empty());
}

TEST(TreeEdits, MoveBeforeAndOrder) {
  std::deque<tpath> list = Paths({{0, 0}, {1, 1}, {1, 2}, {0, 3}});
  ObjectTree tree;
  BuildTree(tree, list, {});
  ASSERT_EQ(Shape(tree, list), "R[G[P0,G[P1,P2],P3]]");
  TreeNode* outer = tree.First()->Children[0];
  TreeNode* inner = outer->Children[1];
  tree.MoveBefore(inner->Children[1], inner->Children[0]);
  EXPECT_EQ(Shape(tree, list), "R[G[P0,G[P2,P1],P3]]");
  tree.MoveBefore(inner, outer);  // out of its parent, before it
  EXPECT_EQ(Shape(tree, list), "R[G[P2,P1],G[P0,P3]]");
  tree.MoveBefore(outer, outer->Children[0]);  // into itself: refused
  EXPECT_EQ(Shape(tree, list), "R[G[P2,P1],G[P0,P3]]");
  EXPECT_EQ(TreePaths(tree), (std::vector<tpath*>{&list[2], &list[1], &list[0], &list[3]}));
  for (const TreeNode* n = tree.First(); n; n = tree.Next(n))
    EXPECT_EQ(tree.Siblings(n)[n->Row], n);
  // Previous walks the same order backwards.
  std::vector<const TreeNode*> forward, backward;
  for (const TreeNode* n = tree.First(); n; n = tree.Next(n))
    forward.push_back(n);
  for (const TreeNode* n = forward.back(); n; n = tree.Previous(n))
    backward.push_back(n);
  EXPECT_EQ(std::vector<const TreeNode*>(backward.rbegin(), backward.rend()), forward);
}

class RecordingObserver : public TreeObserver {
 public:
  void BeginReset() override { log += "reset("; }
  void EndReset() override { log += ")"; }
  void BeginRemove(TreeNode*, std::size_t row) override { log += "remove" + std::to_string(row); }
  void BeginMove(TreeNode*, std::size_t from, TreeNode*, std::size_t to) override {
    log += "move" + std::to_string(from) + ">" + std::to_string(to);
  }
  std::string log;
};

TEST(TreeEdits, ObserverSeesOneResetPerRebuild) {
  std::deque<tpath> list = Paths({{0, 0}, {0, 1}, {0, 2}});
  ObjectTree tree;
  RecordingObserver observer;
  tree.SetObserver(&observer);
  BuildTree(tree, list, {});
  EXPECT_EQ(observer.log, "reset()");
  TreeNode* group = tree.First()->Children[0];
  tree.MoveBefore(group->Children[2], group->Children[0]);
  tree.Delete(group->Children[1]);
  EXPECT_EQ(observer.log, "reset()move2>0remove1");
}

// The pruning passes written out as a walk, to check the one-sweep version.
void PruneByPasses(ObjectTree& tree) {
  for (;;) {
    bool deleted = false;
    for (TreeNode* n = tree.First(); n;) {
      TreeNode* next = tree.Next(n);  // taken before the node is looked at
      if (!n->Path && n->Children.empty()) {
        tree.Delete(n);
        deleted = true;
      }
      n = next;
    }
    if (!deleted || tree.NodeCount() < 2) break;
  }
}

TEST(BuildTree, PruningMatchesTheLiteralPasses) {
  std::mt19937 random(17);
  for (int round = 0; round < 3000; ++round) {
    std::vector<PathRow> specs;
    const int n = 1 + random() % 14;
    int level = static_cast<int>(random() % 3) - 1;
    for (int i = 0; i < n; ++i) {
      level += static_cast<int>(random() % 5) - 2;
      specs.push_back({level, static_cast<int32_t>(random() % 4), random() % 2 == 0,
                       static_cast<int>(random() % 3), random() % 5 == 0});
    }
    const TreeFilters filters{random() % 4 == 0, random() % 3 != 0, random() % 3 != 0};
    std::deque<tpath> list = Paths(specs);
    ObjectTree sweep, passes;
    BuildTree(sweep, list, filters, false);
    BuildTree(passes, list, filters, false);
    PruneTree(sweep);
    PruneByPasses(passes);
    ASSERT_EQ(Shape(sweep, list), Shape(passes, list)) << round;
    ASSERT_EQ(sweep.NodeCount(), passes.NodeCount());
  }
}

TEST(TreeOrder, StartUpTreeKeepsTheReadingOrder) {
  // Every node goes in as the last child of a node on the tree's right edge, so with the
  // start-up filters the tree shows PathList order less the short and the flagged paths.
  std::mt19937 random(23);
  for (int round = 0; round < 2000; ++round) {
    std::vector<PathRow> specs;
    int level = 0;
    for (int i = 0, n = 1 + random() % 20; i < n; ++i) {
      level += static_cast<int>(random() % 5) - 2;
      specs.push_back({level, static_cast<int32_t>(random() % 3), random() % 2 == 0,
                       static_cast<int>(random() % 3), random() % 6 == 0});
    }
    std::deque<tpath> list = Paths(specs);
    ObjectTree tree;
    BuildTree(tree, list, {});
    std::vector<tpath*> expected;
    for (tpath& p : list)
      if (p.Count() >= 2 && !p.Flagged) expected.push_back(&p);
    ASSERT_EQ(TreePaths(tree), expected) << round;
  }
}

TEST(BuildTree, DeepNestingNeedsNoDeepStack) {
  std::vector<PathRow> specs;
  for (int i = 0; i < 200000; ++i)
    specs.push_back({i, i, true, i % 2 ? 2 : 1});
  std::deque<tpath> list = Paths(specs);
  ObjectTree tree;
  BuildTree(tree, list, {});
  EXPECT_EQ(TreePaths(tree).size(), 100000u);
  // Each group holds the next one; the last holds the last path.
  const TreeNode* n = tree.First();
  std::size_t depth = 0;
  while (!n->Children.empty())
    n = n->Children.back(), ++depth;
  EXPECT_EQ(n->Kind, NodeKind::Path);
  EXPECT_GT(depth, 99999u);
  std::vector<tpath*> all;
  CollectPaths(tree, tree.First(), all);
  EXPECT_EQ(all.size(), 100000u);
}

}  // namespace
}  // namespace aiimport
