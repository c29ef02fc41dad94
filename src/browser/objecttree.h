// The object tree: the user's view of the paths read from the file and the import's selection.
// Groups come from the paths' group levels, composites from their compound numbers; the filters
// decide which paths are shown. Nodes point into PathList and own nothing.
//
// Plain C++: the window shows it through a Qt item model (an observer of this tree), and the
// tests drive it directly. Every walk is iterative, so a hostile file that nests groups a
// million deep cannot overflow the stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "pathunit.h"

namespace aiimport {

enum class NodeKind { Root, Group, Composite, Path };

struct TreeNode {
  NodeKind Kind = NodeKind::Group;
  int32_t ImageIndex = 0;  // 0 root and groups, 1 composites, 3 to 6 paths
  int32_t Number = 0;      // composites: the compound number; paths: the point count
  tpath* Path = nullptr;   // the path of a path node; none for the others
  TreeNode* Parent = nullptr;
  std::vector<TreeNode*> Children;
  std::size_t Row = 0;  // place among its siblings

  // "Master Group: ", "Group", "Composite: [n]" or "Path (n)": fixed when the node is made, so a
  // path whose attributes change keeps its old caption and image until the next rebuild.
  std::string Caption() const;
};

// Told about changes to the tree's structure, in the order a Qt item model needs them.
class TreeObserver {
 public:
  virtual ~TreeObserver() = default;
  virtual void BeginReset() {}
  virtual void EndReset() {}
  virtual void BeginRemove(TreeNode* /*parent*/, std::size_t /*row*/) {}
  virtual void EndRemove() {}
  // The node at fromRow under fromParent goes to stand before the row toRow under toParent
  // (toRow counted before the node leaves).
  virtual void BeginMove(TreeNode* /*fromParent*/, std::size_t /*fromRow*/, TreeNode* /*toParent*/,
                         std::size_t /*toRow*/) {}
  virtual void EndMove() {}
};

class ObjectTree {
 public:
  ObjectTree() = default;
  ObjectTree(const ObjectTree&) = delete;
  ObjectTree& operator=(const ObjectTree&) = delete;

  void SetObserver(TreeObserver* observer) { observer_ = observer; }

  const std::vector<TreeNode*>& TopLevel() const { return top_; }
  // The list a node stands in: its parent's children, or the top-level nodes.
  const std::vector<TreeNode*>& Siblings(const TreeNode* node) const {
    return node->Parent ? node->Parent->Children : top_;
  }
  bool Empty() const { return top_.empty(); }
  std::size_t NodeCount() const { return count_; }

  TreeNode* First() const { return top_.empty() ? nullptr : top_.front(); }
  // Depth-first pre-order, the order in which the tree shows its nodes.
  TreeNode* Next(const TreeNode* node) const;
  TreeNode* Previous(const TreeNode* node) const;
  TreeNode* NextSibling(const TreeNode* node) const;
  TreeNode* PreviousSibling(const TreeNode* node) const;
  // Whether `node` is `ancestor` or lies below it.
  static bool IsWithin(const TreeNode* node, const TreeNode* ancestor);

  TreeNode* Selected() const { return selected_; }
  void Select(TreeNode* node) { selected_ = node; }

  // Empties the tree (nodes made before are released).
  void Clear();
  // A rebuild: observers see one reset around everything between the two calls.
  void BeginRebuild();
  void EndRebuild();

  // Adds a node as the last child of `parent` (a top-level node when parent is none).
  TreeNode* AddChild(TreeNode* parent, NodeKind kind, int32_t imageIndex, int32_t number,
                     tpath* path);

  // Takes the node and everything below it out of the tree. When the selection was among them,
  // the next sibling is selected, else the previous one, else the parent, else nothing.
  void Delete(TreeNode* node);

  // Moves the node (with everything below it) to stand immediately before `target`, under
  // target's parent. Nothing happens when target is the node or lies below it.
  void MoveBefore(TreeNode* node, TreeNode* target);

  // Moves the node to the end of its own siblings.
  void MoveToEnd(TreeNode* node);

 private:
  std::vector<TreeNode*>& MutableSiblings(TreeNode* node) {
    return node->Parent ? node->Parent->Children : top_;
  }
  static void Renumber(std::vector<TreeNode*>& list, std::size_t from);
  std::size_t CountSubtree(const TreeNode* node) const;

  std::deque<TreeNode> pool_;  // every node made since the last Clear; addresses stay put
  std::vector<TreeNode*> top_;
  TreeNode* selected_ = nullptr;
  std::size_t count_ = 0;  // nodes in the tree
  int rebuilding_ = 0;
  TreeObserver* observer_ = nullptr;
};

// The three check boxes of the "Filter paths" area.
struct TreeFilters {
  bool ToggleList = false;  // "Toggle List": shows the flagged paths instead of the others
  bool Fills = true;        // "Fills (solid)"
  bool Strokes = true;      // "Strokes (no fill)"
};

// Whether a path gets a node: at least two points, Flagged equal to "Toggle List", and its
// kind (filled or not) shown.
bool PassesFilters(const tpath& path, const TreeFilters& filters);

// Adds the path's node as the last child of parent when the path passes the filters.
void AddPathNode(ObjectTree& tree, tpath* path, TreeNode* parent, const TreeFilters& filters);

// Rebuilds the tree from PathList: groups from the group levels, composites from consecutive
// paths of one level with the same compound number, then (unless told not to) the groups and
// composites left without paths pruned. Nothing is selected afterwards.
void BuildTree(ObjectTree& tree, std::deque<tpath>& pathList, const TreeFilters& filters,
               bool prune = true);

// Removes groups and composites that hold no path, as passes over the tree would: each pass
// deletes every node without path and without children; passes repeat until one deletes
// nothing or fewer than two nodes are left (so a tree of filtered paths keeps its root).
void PruneTree(ObjectTree& tree);

// Appends the paths of every descendant of the node in depth-first pre-order (not the node's own).
void CollectPaths(const ObjectTree& tree, const TreeNode* node, std::vector<tpath*>& list);

// The path of every node that carries one, in tree order.
std::vector<tpath*> TreePaths(const ObjectTree& tree);

// The selected node's own path, or the paths below it; empty without a selection.
std::vector<tpath*> SelectedPaths(const ObjectTree& tree);

}  // namespace aiimport
