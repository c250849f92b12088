#pragma once
// The rows of a TreeList as a Qt item model. Rows live in a tree of nodes and
// in one vector in flat (depth-first) order. Each node caches its flat index;
// the caches are right below a watermark and renumbered past it on demand,
// so loading a branch of thousands of rows one by one stays linear.
#include <QAbstractItemModel>
#include <QColor>
#include <QHash>
#include <QPixmap>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/controls/tree_list.h"

namespace pu {

struct TreeListNode {
  QString text;
  std::int32_t itemData = 0;
  ExpanderState expander = ExpanderState::Loaded;
  QColor color = Qt::black;
  int picture = 0;
  int level = -1;
  int indexInParent = 0;
  int flatRow = -1;      // right while below the model's watermark
  int descendants = 0;   // rows below this one
  TreeListNode* parent = nullptr;
  std::vector<std::unique_ptr<TreeListNode>> children;
};

class TreeListModel : public QAbstractItemModel {
  Q_OBJECT
public:
  explicit TreeListModel(QObject* parent = nullptr);

  int count() const { return static_cast<int>(m_flat.size()); }
  TreeListNode* node(int row) const;
  int rowOf(const TreeListNode* node) const;
  QModelIndex indexOf(const TreeListNode* node) const;
  TreeListNode* nodeOf(const QModelIndex& index) const;

  TreeListNode* addChild(TreeListNode* parent, const QString& text);
  void removeChildren(TreeListNode* parent);
  TreeListNode* root() { return &m_root; }
  void rowChanged(TreeListNode* node);
  void setPictures(const QHash<int, QPixmap>& pictures) { m_pictures = pictures; }

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
  void adjustDescendants(TreeListNode* from, int delta);

  TreeListNode m_root;
  QHash<int, QPixmap> m_pictures;
  std::vector<TreeListNode*> m_flat;
  mutable std::size_t m_validBelow = 0;  // flatRow is right for rows below this
};

} // namespace pu
