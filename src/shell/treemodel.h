// The Qt item model over the object tree: one column, the node captions with their images.
// It watches the tree, so rebuilds, deletions and moves reach the view as they happen.
#pragma once

#include <QAbstractItemModel>

class QTreeView;

#include "objecttree.h"

namespace aiimport {

class TreeModel : public QAbstractItemModel, public TreeObserver {
  Q_OBJECT
 public:
  explicit TreeModel(ObjectTree& tree, QObject* parent = nullptr);
  ~TreeModel() override;

  QModelIndex IndexOf(const TreeNode* node) const;
  static TreeNode* NodeAt(const QModelIndex& index);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;

  // TreeObserver
  void BeginReset() override;
  void EndReset() override;
  void BeginRemove(TreeNode* parent, std::size_t row) override;
  void EndRemove() override;
  void BeginMove(TreeNode* fromParent, std::size_t fromRow, TreeNode* toParent,
                 std::size_t toRow) override;
  void EndMove() override;

 private:
  const std::vector<TreeNode*>& ChildrenOf(const QModelIndex& parent) const;

  ObjectTree& tree_;
  bool moving_ = false;  // a move Qt accepted (a move to the same place is not one)
};

// The tree's hint: the full caption of the node under the mouse, as the view's tool tip. Made
// for a view over a TreeModel, whose viewport it watches; it lives as long as the view.
class TreeHint : public QObject {
 public:
  explicit TreeHint(QTreeView* view);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTreeView* view_;
  const TreeNode* shown_ = nullptr;  // the node last found under the mouse, only compared
};

}  // namespace aiimport
