#include "platform/controls/tree_list_model.h"

#include <QBrush>
#include <algorithm>

namespace pu {

TreeListModel::TreeListModel(QObject* parent) : QAbstractItemModel(parent) {}

TreeListNode* TreeListModel::node(int row) const {
  return row >= 0 && row < count() ? m_flat[static_cast<std::size_t>(row)] : nullptr;
}

int TreeListModel::rowOf(const TreeListNode* node) const {
  if (!node || node == &m_root) return -1;
  if (static_cast<std::size_t>(node->flatRow) >= m_validBelow) {
    for (std::size_t row = m_validBelow; row < m_flat.size(); ++row) m_flat[row]->flatRow = static_cast<int>(row);
    m_validBelow = m_flat.size();
  }
  return node->flatRow;
}

QModelIndex TreeListModel::indexOf(const TreeListNode* node) const {
  if (!node || node == &m_root) return {};
  return createIndex(node->indexInParent, 0, const_cast<TreeListNode*>(node));
}

TreeListNode* TreeListModel::nodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TreeListNode*>(index.internalPointer()) : const_cast<TreeListNode*>(&m_root);
}

TreeListNode* TreeListModel::addChild(TreeListNode* parent, const QString& text) {
  int at = static_cast<int>(parent->children.size());
  std::size_t flatAt = static_cast<std::size_t>(rowOf(parent) + 1 + parent->descendants);
  beginInsertRows(indexOf(parent), at, at);
  auto child = std::make_unique<TreeListNode>();
  child->text = text;
  child->parent = parent;
  child->level = parent->level + 1;
  child->indexInParent = at;
  child->flatRow = static_cast<int>(flatAt);
  TreeListNode* added = child.get();
  parent->children.push_back(std::move(child));
  m_flat.insert(m_flat.begin() + static_cast<std::ptrdiff_t>(flatAt), added);
  // Rows from here on moved down (the new row's own cache is right, but a
  // moved row may carry the same number).
  m_validBelow = std::min(m_validBelow, flatAt);
  adjustDescendants(parent, 1);
  endInsertRows();
  return added;
}

void TreeListModel::removeChildren(TreeListNode* parent) {
  if (parent->children.empty()) return;
  std::size_t first = static_cast<std::size_t>(rowOf(parent) + 1);
  int removed = parent->descendants;
  beginRemoveRows(indexOf(parent), 0, static_cast<int>(parent->children.size()) - 1);
  m_flat.erase(m_flat.begin() + static_cast<std::ptrdiff_t>(first),
               m_flat.begin() + static_cast<std::ptrdiff_t>(first) + removed);
  parent->children.clear();
  m_validBelow = std::min(m_validBelow, first);
  adjustDescendants(parent, -removed);
  endRemoveRows();
}

void TreeListModel::adjustDescendants(TreeListNode* from, int delta) {
  for (TreeListNode* n = from; n; n = n->parent) n->descendants += delta;
}

void TreeListModel::rowChanged(TreeListNode* node) {
  QModelIndex index = indexOf(node);
  emit dataChanged(index, index);
}

QModelIndex TreeListModel::index(int row, int column, const QModelIndex& parent) const {
  const TreeListNode* p = nodeOf(parent);
  if (column != 0 || row < 0 || row >= static_cast<int>(p->children.size())) return {};
  return createIndex(row, 0, p->children[static_cast<std::size_t>(row)].get());
}

QModelIndex TreeListModel::parent(const QModelIndex& child) const {
  if (!child.isValid()) return {};
  return indexOf(nodeOf(child)->parent);
}

int TreeListModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return static_cast<int>(nodeOf(parent)->children.size());
}

int TreeListModel::columnCount(const QModelIndex&) const { return 1; }

// An unloaded row shows an expander before its children are read.
bool TreeListModel::hasChildren(const QModelIndex& parent) const {
  const TreeListNode* n = nodeOf(parent);
  return !n->children.empty() || (parent.isValid() && n->expander == ExpanderState::Unloaded);
}

QVariant TreeListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const TreeListNode* n = nodeOf(index);
  switch (role) {
  case Qt::DisplayRole:
  case Qt::AccessibleTextRole:
    return n->text;
  case Qt::ForegroundRole:
    return QBrush(n->color);
  case Qt::DecorationRole: {
    auto it = m_pictures.constFind(n->picture);
    return it == m_pictures.constEnd() ? QVariant() : QVariant(*it);
  }
  case Qt::UserRole:
    return n->itemData;
  default:
    return {};
  }
}

Qt::ItemFlags TreeListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
}

} // namespace pu
