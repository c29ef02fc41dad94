#include "treemodel.h"

#include <QIcon>
#include <QMouseEvent>
#include <QToolTip>
#include <QTreeView>

#include "icons.h"

namespace aiimport {

TreeModel::TreeModel(ObjectTree& tree, QObject* parent) : QAbstractItemModel(parent), tree_(tree) {
  tree_.SetObserver(this);
}

TreeModel::~TreeModel() {
  tree_.SetObserver(nullptr);
}

TreeNode* TreeModel::NodeAt(const QModelIndex& index) {
  return index.isValid() ? static_cast<TreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TreeModel::IndexOf(const TreeNode* node) const {
  if (!node) return {};
  return createIndex(static_cast<int>(node->Row), 0, const_cast<TreeNode*>(node));
}

const std::vector<TreeNode*>& TreeModel::ChildrenOf(const QModelIndex& parent) const {
  const TreeNode* node = NodeAt(parent);
  return node ? node->Children : tree_.TopLevel();
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const {
  const auto& children = ChildrenOf(parent);
  if (column != 0 || row < 0 || static_cast<std::size_t>(row) >= children.size()) return {};
  return createIndex(row, 0, children[static_cast<std::size_t>(row)]);
}

QModelIndex TreeModel::parent(const QModelIndex& child) const {
  const TreeNode* node = NodeAt(child);
  return node ? IndexOf(node->Parent) : QModelIndex();
}

int TreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return static_cast<int>(ChildrenOf(parent).size());
}

int TreeModel::columnCount(const QModelIndex&) const {
  return 1;
}

bool TreeModel::hasChildren(const QModelIndex& parent) const {
  return !ChildrenOf(parent).empty();
}

QVariant TreeModel::data(const QModelIndex& index, int role) const {
  const TreeNode* node = NodeAt(index);
  if (!node) return {};
  switch (role) {
    case Qt::DisplayRole:
      // No item tool tips: the tree's own hint shows the caption under the mouse.
      return QString::fromStdString(node->Caption());
    case Qt::DecorationRole: {
      // One icon per image index, made once.
      static const QIcon images[] = {TreeImage(0), TreeImage(1), TreeImage(2), TreeImage(3),
                                     TreeImage(4), TreeImage(5), TreeImage(6)};
      if (node->ImageIndex >= 0 && node->ImageIndex < 7) return images[node->ImageIndex];
      return {};
    }
    default:
      return {};
  }
}

void TreeModel::BeginReset() {
  beginResetModel();
}
void TreeModel::EndReset() {
  endResetModel();
}

void TreeModel::BeginRemove(TreeNode* parent, std::size_t row) {
  const int r = static_cast<int>(row);
  beginRemoveRows(IndexOf(parent), r, r);
}
void TreeModel::EndRemove() {
  endRemoveRows();
}

void TreeModel::BeginMove(TreeNode* fromParent, std::size_t fromRow, TreeNode* toParent,
                          std::size_t toRow) {
  const int from = static_cast<int>(fromRow), to = static_cast<int>(toRow);
  moving_ = beginMoveRows(IndexOf(fromParent), from, from, IndexOf(toParent), to);
  if (!moving_) Q_EMIT layoutAboutToBeChanged();
}

void TreeModel::EndMove() {
  if (moving_)
    endMoveRows();
  else
    Q_EMIT layoutChanged();
  moving_ = false;
}

TreeHint::TreeHint(QTreeView* view) : QObject(view), view_(view) {
  view_->viewport()->installEventFilter(this);
}

bool TreeHint::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && watched == view_->viewport()) {
    const auto* move = static_cast<QMouseEvent*>(event);
    const TreeNode* node = TreeModel::NodeAt(view_->indexAt(move->position().toPoint()));
    if (node != shown_) {
      shown_ = node;
      QToolTip::hideText();
      view_->setToolTip(node ? QString::fromStdString(node->Caption()) : QString());
    }
  }
  return false;
}

}  // namespace aiimport
