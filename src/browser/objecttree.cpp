#include "objecttree.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <utility>

namespace aiimport {

std::string TreeNode::Caption() const {
  switch (Kind) {
    case NodeKind::Root:
      return "Master Group: ";
    case NodeKind::Group:
      return "Group";
    case NodeKind::Composite:
      return "Composite: [" + std::to_string(Number) + "]";
    case NodeKind::Path:
      return "Path (" + std::to_string(Number) + ")";
  }
  return {};
}

TreeNode* ObjectTree::NextSibling(const TreeNode* node) const {
  const auto& list = Siblings(node);
  return node->Row + 1 < list.size() ? list[node->Row + 1] : nullptr;
}

TreeNode* ObjectTree::PreviousSibling(const TreeNode* node) const {
  return node->Row > 0 ? Siblings(node)[node->Row - 1] : nullptr;
}

TreeNode* ObjectTree::Next(const TreeNode* node) const {
  if (!node->Children.empty()) return node->Children.front();
  for (const TreeNode* n = node; n; n = n->Parent) {
    if (TreeNode* sibling = NextSibling(n)) return sibling;
  }
  return nullptr;
}

TreeNode* ObjectTree::Previous(const TreeNode* node) const {
  TreeNode* n = PreviousSibling(node);
  if (!n) return node->Parent;
  while (!n->Children.empty())
    n = n->Children.back();
  return n;
}

bool ObjectTree::IsWithin(const TreeNode* node, const TreeNode* ancestor) {
  for (const TreeNode* n = node; n; n = n->Parent)
    if (n == ancestor) return true;
  return false;
}

void ObjectTree::Renumber(std::vector<TreeNode*>& list, std::size_t from) {
  for (std::size_t i = from; i < list.size(); ++i)
    list[i]->Row = i;
}

std::size_t ObjectTree::CountSubtree(const TreeNode* node) const {
  std::size_t count = 0;
  std::vector<const TreeNode*> stack{node};
  while (!stack.empty()) {
    const TreeNode* n = stack.back();
    stack.pop_back();
    ++count;
    for (const TreeNode* c : n->Children)
      stack.push_back(c);
  }
  return count;
}

void ObjectTree::Clear() {
  const bool notify = rebuilding_ == 0 && observer_;
  if (notify) observer_->BeginReset();
  top_.clear();
  pool_.clear();
  selected_ = nullptr;
  count_ = 0;
  if (notify) observer_->EndReset();
}

void ObjectTree::BeginRebuild() {
  if (rebuilding_++ == 0 && observer_) observer_->BeginReset();
}

void ObjectTree::EndRebuild() {
  if (--rebuilding_ == 0 && observer_) observer_->EndReset();
}

TreeNode* ObjectTree::AddChild(TreeNode* parent, NodeKind kind, int32_t imageIndex, int32_t number,
                               tpath* path) {
  BeginRebuild();  // additions are seen as part of a rebuild
  TreeNode& node = pool_.emplace_back();
  node.Kind = kind;
  node.ImageIndex = imageIndex;
  node.Number = number;
  node.Path = path;
  node.Parent = parent;
  auto& list = parent ? parent->Children : top_;
  node.Row = list.size();
  list.push_back(&node);
  ++count_;
  EndRebuild();
  return &node;
}

void ObjectTree::Delete(TreeNode* node) {
  if (!node) return;
  TreeNode* successor = nullptr;
  const bool selectionGoes = selected_ && IsWithin(selected_, node);
  if (selectionGoes) {
    successor = NextSibling(node);
    if (!successor) successor = PreviousSibling(node);
    if (!successor) successor = node->Parent;
  }
  auto& list = MutableSiblings(node);
  const std::size_t row = node->Row;
  if (observer_ && rebuilding_ == 0) observer_->BeginRemove(node->Parent, row);
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(row));
  Renumber(list, row);
  count_ -= CountSubtree(node);
  if (selectionGoes) selected_ = successor;
  if (observer_ && rebuilding_ == 0) observer_->EndRemove();
}

void ObjectTree::MoveBefore(TreeNode* node, TreeNode* target) {
  if (!node || !target || IsWithin(target, node)) return;
  if (observer_ && rebuilding_ == 0)
    observer_->BeginMove(node->Parent, node->Row, target->Parent, target->Row);
  auto& from = MutableSiblings(node);
  const std::size_t row = node->Row;
  from.erase(from.begin() + static_cast<std::ptrdiff_t>(row));
  Renumber(from, row);
  auto& to = MutableSiblings(target);
  const std::size_t at = target->Row;
  to.insert(to.begin() + static_cast<std::ptrdiff_t>(at), node);
  node->Parent = target->Parent;
  Renumber(to, at);
  if (observer_ && rebuilding_ == 0) observer_->EndMove();
}

void ObjectTree::MoveToEnd(TreeNode* node) {
  if (!node) return;
  auto& list = MutableSiblings(node);
  const std::size_t row = node->Row;
  if (row + 1 == list.size()) return;
  if (observer_ && rebuilding_ == 0)
    observer_->BeginMove(node->Parent, row, node->Parent, list.size());
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(row));
  list.push_back(node);
  Renumber(list, row);
  if (observer_ && rebuilding_ == 0) observer_->EndMove();
}

bool PassesFilters(const tpath& path, const TreeFilters& filters) {
  if (path.Count() < 2 || path.Flagged != filters.ToggleList) return false;
  return path.Filled ? filters.Fills : filters.Strokes;
}

void AddPathNode(ObjectTree& tree, tpath* path, TreeNode* parent, const TreeFilters& filters) {
  if (!path || !PassesFilters(*path, filters)) return;
  const int32_t image = 3 + (path->Closed ? 1 : 0) + (path->Filled ? 2 : 0);
  const auto count = path->Count();
  const int32_t number = count > 2147483647u ? 2147483647 : static_cast<int32_t>(count);
  tree.AddChild(parent, NodeKind::Path, image, number, path);
}

// A node goes in pass 1 + (the last pass of its children): a pass walks in order and a parent
// comes before its children, so one walk finds what all the passes would delete.
void PruneTree(ObjectTree& tree) {
  // The first pass deletes nothing when every group and composite holds something: then
  // nothing is pruned at all (a walk that allocates nothing, most files' case).
  bool anyEmpty = false;
  for (const TreeNode* n = tree.First(); n && !anyEmpty; n = tree.Next(n))
    anyEmpty = !n->Path && n->Children.empty();
  if (!anyEmpty) return;

  constexpr uint64_t Never = std::numeric_limits<uint64_t>::max();
  std::vector<TreeNode*> order;
  std::vector<std::size_t> parentOf;
  order.reserve(tree.NodeCount());
  parentOf.reserve(tree.NodeCount());
  constexpr std::size_t None = std::numeric_limits<std::size_t>::max();
  std::vector<std::pair<TreeNode*, std::size_t>> stack;
  for (auto it = tree.TopLevel().rbegin(); it != tree.TopLevel().rend(); ++it)
    stack.emplace_back(*it, None);
  while (!stack.empty()) {
    auto [node, parent] = stack.back();
    stack.pop_back();
    const std::size_t index = order.size();
    order.push_back(node);
    parentOf.push_back(parent);
    for (auto it = node->Children.rbegin(); it != node->Children.rend(); ++it)
      stack.emplace_back(*it, index);
  }

  // Children come after their parent in this order, so a backward sweep sees them first.
  std::vector<uint64_t> pass(order.size(), 0), latestChild(order.size(), 0);
  for (std::size_t i = order.size(); i-- > 0;) {
    const TreeNode* node = order[i];
    if (node->Path)
      pass[i] = Never;
    else if (node->Children.empty())
      pass[i] = 1;
    else
      pass[i] = latestChild[i] == Never ? Never : latestChild[i] + 1;
    if (parentOf[i] != None) latestChild[parentOf[i]] = std::max(latestChild[parentOf[i]], pass[i]);
  }

  std::vector<std::size_t> perPass(order.size() + 2, 0);
  for (uint64_t p : pass)
    if (p != Never) ++perPass[p];
  uint64_t last = 0;
  std::size_t remaining = order.size();
  for (uint64_t k = 1; k < perPass.size(); ++k) {
    if (perPass[k] == 0) break;
    last = k;
    remaining -= perPass[k];
    if (remaining < 2) break;
  }
  if (last == 0) return;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const bool goes = pass[i] <= last;
    const bool parentGoes = parentOf[i] != None && pass[parentOf[i]] <= last;
    if (goes && !parentGoes) tree.Delete(order[i]);
  }
}

void BuildTree(ObjectTree& tree, std::deque<tpath>& pathList, const TreeFilters& filters,
               bool prune) {
  tree.BeginRebuild();
  struct End {
    ObjectTree& tree;
    ~End() { tree.EndRebuild(); }
  } end{tree};
  tree.Clear();
  if (pathList.empty()) return;

  TreeNode* root = tree.AddChild(nullptr, NodeKind::Root, 0, 0, nullptr);
  std::vector<TreeNode*> groupStack{root};
  TreeNode* current = root;  // the current group (none when the stack runs empty)
  TreeNode* target = root;
  int32_t previousLevel = -1;
  tpath* pendingPath = nullptr;
  int64_t pendingCompound = -1;  // -1: no path pending
  int64_t openCompound = -2;     // -2: no composite receiving paths

  // Where the pending path goes: the open composite, a new composite for K, or the group.
  auto placeTarget = [&](int32_t k) {
    if (pendingCompound == openCompound) return target;
    if (pendingCompound == k) return tree.AddChild(current, NodeKind::Composite, 1, k, nullptr);
    return current;
  };

  for (tpath& path : pathList) {
    try {
      const int32_t level = path.GroupLevel;
      const int32_t k = path.CompoundNo;
      if (level != previousLevel && pendingCompound >= 0) {
        target = placeTarget(k);
        openCompound = -2;
        AddPathNode(tree, pendingPath, target, filters);
        pendingCompound = -1;
        pendingPath = nullptr;
      }
      if (level > previousLevel) {
        TreeNode* group = tree.AddChild(current, NodeKind::Group, 0, 0, nullptr);
        groupStack.push_back(group);
        current = target = group;
      } else if (level < previousLevel) {
        if (!groupStack.empty()) groupStack.pop_back();
        current = target = groupStack.empty() ? nullptr : groupStack.back();
      }
      previousLevel = level;
      if (pendingCompound < 0) {
        pendingCompound = k;
        pendingPath = &path;
        openCompound = -2;
      } else {
        target = placeTarget(k);
        openCompound = pendingCompound;
        AddPathNode(tree, pendingPath, target, filters);
        pendingCompound = k;
        pendingPath = &path;
      }
    } catch (const std::exception&) {
      // A path that cannot be placed is left out; the others are placed.
    }
  }
  if (pendingCompound >= 0)
    AddPathNode(tree, pendingPath, pendingCompound == openCompound ? target : current, filters);
  if (prune) PruneTree(tree);
  tree.Select(nullptr);
}

void CollectPaths(const ObjectTree& /*tree*/, const TreeNode* node, std::vector<tpath*>& list) {
  if (!node) return;
  std::vector<const TreeNode*> stack(node->Children.rbegin(), node->Children.rend());
  while (!stack.empty()) {
    const TreeNode* n = stack.back();
    stack.pop_back();
    if (n->Path) list.push_back(n->Path);
    for (auto it = n->Children.rbegin(); it != n->Children.rend(); ++it)
      stack.push_back(*it);
  }
}

std::vector<tpath*> TreePaths(const ObjectTree& tree) {
  std::vector<tpath*> list;
  for (const TreeNode* n = tree.First(); n; n = tree.Next(n))
    if (n->Path) list.push_back(n->Path);
  return list;
}

std::vector<tpath*> SelectedPaths(const ObjectTree& tree) {
  std::vector<tpath*> list;
  const TreeNode* selected = tree.Selected();
  if (!selected) return list;
  if (selected->Path)
    list.push_back(selected->Path);
  else
    CollectPaths(tree, selected, list);
  return list;
}

}  // namespace aiimport
