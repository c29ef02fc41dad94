#include "editing.h"

#include <vector>

namespace aiimport {

namespace {

std::vector<tpath*> PathsOf(const ObjectTree& tree, const TreeNode* node) {
  std::vector<tpath*> paths;
  if (node->Path)
    paths.push_back(node->Path);
  else
    CollectPaths(tree, node, paths);
  return paths;
}

}  // namespace

bool DeleteSelected(ObjectTree& tree) {
  TreeNode* node = tree.Selected();
  if (!node) return false;
  tree.Delete(node);
  return true;
}

bool BreakApart(ObjectTree& tree, std::deque<tpath>& pathList, const TreeFilters& filters) {
  const TreeNode* node = tree.Selected();
  if (!node || node->Path) return false;
  int32_t top = 1;
  for (const tpath& p : pathList)
    if (p.CompoundNo > top) top = p.CompoundNo;
  std::vector<tpath*> paths;
  CollectPaths(tree, node, paths);
  for (tpath* p : paths) {
    // Numbers wrap around like the 32-bit integers they are (a file would need billions of
    // paths to get there).
    top = static_cast<int32_t>(static_cast<uint32_t>(top) + 1u);
    p->CompoundNo = top;
  }
  BuildTree(tree, pathList, filters);
  return true;
}

bool UpOneLevel(ObjectTree& tree) {
  TreeNode* node = tree.Selected();
  if (!node) return false;
  TreeNode* target = tree.PreviousSibling(node);
  if (!target && !node->Path) target = tree.Previous(node);
  if (!target) return false;
  tree.MoveBefore(node, target);
  return true;
}

bool DownOneLevel(ObjectTree& tree) {
  TreeNode* node = tree.Selected();
  if (!node) return false;
  TreeNode* target = tree.NextSibling(node);
  if (!target && !node->Path) target = tree.Next(node);
  if (!target) return false;
  tree.MoveBefore(target, node);
  return true;
}

bool BringToFront(ObjectTree& tree) {
  TreeNode* node = tree.Selected();
  if (!node) return false;
  TreeNode* first = tree.Siblings(node).front();
  if (first != node) tree.MoveBefore(node, first);
  return true;
}

bool SendToBack(ObjectTree& tree) {
  TreeNode* node = tree.Selected();
  if (!node) return false;
  tree.MoveToEnd(node);
  return true;
}

bool ApplyToSelection(ObjectTree& tree, PathChange change, TColor colour) {
  TreeNode* node = tree.Selected();
  if (!node) return false;
  for (tpath* p : PathsOf(tree, node)) {
    switch (change) {
      case PathChange::Open:
        p->Closed = false;
        break;
      case PathChange::Close:
        p->Closed = true;
        break;
      case PathChange::NoFill:
        p->Filled = false;
        break;
      case PathChange::SolidFill:
        p->Filled = true;
        break;
      case PathChange::Colour:
        p->LineColor = p->FillColor = colour;
        break;
      case PathChange::Unflag:
        p->Flagged = false;
        break;
      case PathChange::Flag:
        p->Flagged = true;
        break;
      case PathChange::None:
        break;
    }
  }
  if (change == PathChange::Unflag || change == PathChange::Flag) tree.Delete(node);
  return true;
}

}  // namespace aiimport
