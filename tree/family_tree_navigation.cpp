// The family tree control's answers to clicks, keys and expanders, and the
// searches by which hosts open and select a standard.
#include <QLineEdit>
#include <QPushButton>

#include "tree/family_tree.h"
#include "tree/tree_text.h"

namespace pu {
namespace {

constexpr int kKeyLeft = 37;
constexpr int kKeyRight = 39;
constexpr int kKeyDelete = 46;
constexpr int kKeyF2 = 113;

// The classic key codes the hosts expect, from Qt's.
int classicKeyCode(int qtKey) {
  switch (qtKey) {
  case Qt::Key_Left: return kKeyLeft;
  case Qt::Key_Right: return kKeyRight;
  case Qt::Key_Up: return 38;
  case Qt::Key_Down: return 40;
  case Qt::Key_Delete: return kKeyDelete;
  case Qt::Key_F2: return kKeyF2;
  case Qt::Key_Return:
  case Qt::Key_Enter: return 13;
  case Qt::Key_Escape: return 27;
  case Qt::Key_Space: return 32;
  default:  // letters and digits have their own codes in both
    return qtKey & 0xFFFF;
  }
}

} // namespace

std::int16_t familyTree::rowUnder(std::int16_t p, std::int32_t n) const {
  int first = p + 1;
  int last = p < 0 ? m_list->count() - 1 : p + m_list->descendantCount(p);
  return static_cast<std::int16_t>(m_list->findItemData(n, first, last));
}

void familyTree::onClick() {
  int row = m_list->selectedRow();
  if (row < 0) return;
  SelectedNodeID = m_list->itemData(row);
  if (EditAllowed) {
    m_tmrEdit.stop();
    m_cmdDelete->setEnabled(SelectedNodeID >= 1);
    if (SelectedNodeID < 1) RenameItem();
  }
  UpdateBookIcon(m_previousRow);
  UpdateBookIcon(static_cast<std::int16_t>(row));
  m_previousRow = static_cast<std::int16_t>(row);
  emit Click();
}

void familyTree::onDblClick() {
  if (EditAllowed) m_tmrEdit.stop();
  emit DblClick();
}

void familyTree::onKeyDown(int& key, int shift) {
  std::int16_t keycode = static_cast<std::int16_t>(classicKeyCode(key));
  int row = m_list->selectedRow();
  bool swallow = false;
  if (keycode == kKeyLeft || keycode == kKeyRight) {
    swallow = true;
    bool unloaded = m_list->expanderState(row) == ExpanderState::Unloaded;
    if (m_list->isRow(row) && keycode == kKeyLeft && !unloaded) m_list->setRowExpanded(row, false);
    if (m_list->isRow(row) && keycode == kKeyRight && unloaded) m_list->setRowExpanded(row, true);
    keycode = 0;
  } else if (keycode == kKeyDelete && EditAllowed) {
    DeleteItem();
  } else if (keycode == kKeyF2 && EditAllowed) {
    RenameItem();
  }
  std::int16_t shiftState = static_cast<std::int16_t>(shift);
  emit KeyDown(keycode, shiftState);
  if (swallow || keycode == 0) key = 0;
}

void familyTree::onKeyPress(int& ascii) {
  std::int16_t keyAscii = static_cast<std::int16_t>(ascii);
  bool rename = keyAscii == 32 && EditAllowed;
  if (rename) RenameItem();
  emit KeyPress(keyAscii);
  // The space opened the editor; the list must not act on it as well.
  ascii = rename ? 0 : keyAscii;
}

void familyTree::onPictureClick() {
  m_tmrEdit.stop();
  int row = m_list->selectedRow();
  if (row < 0) return;
  std::int32_t n = m_list->itemData(row);
  if (n >= 1) {
    Text key = MakeNodeKey(CurrentTreeID, n);
    if (!isPicked(n)) {
      AddStandardID(key);
      UpdateAllBookIcons();
    } else {
      RemoveStandardID(key);
    }
  }
  UpdateBookIcon(static_cast<std::int16_t>(row));
  RaiseUpdateOK(true, true, true);
  emit PictureClick();
  ReselectNode();
}

void familyTree::ToggleSelected() { onPictureClick(); }

void familyTree::onPictureDblClick() {
  onPictureClick();
  ToggleExpanded();
  emit PictureDblClick();
}

void familyTree::onExpanderClick(int row) {
  for (int r = m_list->selectedRow(); r >= 0; r = m_list->parentRow(r)) {
    if (r == row) {
      m_list->selectRow(row);
      break;
    }
  }
  m_previousRow = -1;
  emit PlusMinusClick(static_cast<std::int16_t>(row));
}

void familyTree::onVScroll(int& cancelDefault, int scrollCode, int position) {
  if (EditAllowed) abandonPendingEdit();
  RaiseUpdateOK(true, true, true);
  std::int16_t cancel = static_cast<std::int16_t>(cancelDefault);
  emit VScroll(cancel, static_cast<std::int16_t>(scrollCode), position);
  cancelDefault = cancel;
}

void familyTree::onExpand(int row) {
  if (m_undoingExpand) return;
  finishPendingEdit();
  if (m_list->expanderState(row) != ExpanderState::Unloaded) {
    // Leaves and loaded rows never load twice: the opening is undone quietly.
    m_undoingExpand = true;
    if (m_list->expanderState(row) == ExpanderState::Leaf) m_list->setRowExpanded(row, false);
    m_undoingExpand = false;
    return;
  }
  m_list->setRepaint(false);
  UpdateBookIcon(static_cast<std::int16_t>(row));
  m_list->setExpanderState(row, ExpanderState::Loaded);
  AddStandardTreeChildren(CurrentTreeID, m_list->itemData(row), static_cast<std::int16_t>(row));
  int last = row + m_list->descendantCount(row);
  for (int child = row + 1; child <= last; ++child) {
    if (IsMiscTreeNode(static_cast<std::int16_t>(child))) {
      m_list->setExpanderState(child, ExpanderState::Leaf);
      continue;
    }
    if (!EditAllowed && m_list->expanderState(child) == ExpanderState::Leaf)
      m_list->setExpanderState(child, ExpanderState::Loaded);
    UpdateBookIcon(static_cast<std::int16_t>(child));
  }
  if (EditAllowed) addCreateNewRow(static_cast<std::int16_t>(row), static_cast<std::int16_t>(m_list->level(row) + 2 - (DisplayRoot ? 1 : 0)));
  m_list->setRepaint(true);
  if (EditAllowed) m_tmrEdit.stop();
  emit Expand(row);
}

void familyTree::onCollapse(int row) {
  if (m_undoingExpand || m_list->expanderState(row) == ExpanderState::Unloaded) return;
  finishPendingEdit();
  m_list->removeChildren(row);
  UpdateBookIcon(static_cast<std::int16_t>(row));
  m_list->setExpanderState(row, ExpanderState::Unloaded);
  if (DisplayRoot && m_list->count() == 1) {
    m_list->setRowExpanded(0, true);
    m_list->setExpanderState(row, ExpanderState::Loaded);
  }
  emit Collapse(row);
}

std::int16_t familyTree::ExpandPath(const BoundedArray<std::int32_t>& path, bool SearchFromRoot) {
  if (path.empty() || path[path.upper()] == 0) return -1;
  std::int32_t i = path.lower();
  if (SearchFromRoot) {
    std::int32_t root = GetCurrentRoot().node;
    while (i <= path.upper() && path[i] != root) ++i;
    if (i > path.upper()) return -1;
  }
  int found = -1;
  for (; i <= path.upper(); ++i) {
    found = m_list->findItemData(path[i], 0, m_list->count() - 1);
    if (found >= 0) {
      m_list->setRowExpanded(found, false);
      m_list->setRowExpanded(found, true);
    }
  }
  return static_cast<std::int16_t>(found);
}

std::int32_t familyTree::ExpandToNode(std::int32_t NodeID, bool SearchFromRoot) {
  BoundedArray<std::int32_t> path;
  AncestorPath(CurrentTreeID, NodeID, path);
  return ExpandPath(path, SearchFromRoot);
}

std::int16_t familyTree::FindStandard(const Text& StandardDataTag) {
  NodeRef ref = ParseNodeKey(StandardDataTag);
  BoundedArray<std::int32_t> path;
  if (!AncestorPath(ref.tree, ref.node, path)) return -1;
  // The rows below the root: the root's node and its repeat (a root that is
  // its own parent) are not searched.
  std::vector<std::int32_t> below = path.items();
  while (below.size() > 1 && below.front() == 1) below.erase(below.begin());
  std::int16_t index = -1;
  for (std::size_t k = 0; k + 1 < below.size(); ++k) {
    index = rowUnder(index, below[k]);
    if (index < 0) return -1;
    if (!m_list->isRowExpanded(index)) m_list->setRowExpanded(index, true);
  }
  return rowUnder(index, below.back());
}

void familyTree::FindStandards() {
  for (std::int32_t i = 1; i <= m_selected.upper(); ++i) {
    NodeRef ref = ParseNodeKey(m_selected[i]);
    if (ref.tree == CurrentTreeID && ref.node > 0) FindStandard(m_selected[i]);
  }
}

std::int16_t familyTree::SelectStandard(const Text& StandardDataTag) {
  std::int16_t index = FindStandard(StandardDataTag);
  m_list->selectRow(index);
  return index;
}

void familyTree::ReExpand(std::int16_t ParentIndex) {
  if (ParentIndex < 0) return SetDisplayedTree(CurrentTreeID);
  m_list->setRepaint(false);
  m_list->setRowExpanded(ParentIndex, false);
  m_list->setRowExpanded(ParentIndex, true);
  m_list->setRepaint(true);
}

void familyTree::RefreshParent() {
  int row = m_list->selectedRow();
  std::int32_t n = m_list->itemData(row);
  std::int16_t p = static_cast<std::int16_t>(row >= 0 ? m_list->parentRow(row) : -1);
  ReExpand(p);
  m_list->selectRow(rowUnder(p, n));
  m_previousRow = -1;
}

void familyTree::ReselectNode() { m_list->selectRow(m_list->selectedRow()); }

void familyTree::ScrollToSelection() {
  int row = m_list->selectedRow();
  if (row >= 0 && (row < m_list->firstVisibleRow() || row > m_list->lastVisibleRow())) m_list->setFirstVisibleRow(row);
}

void familyTree::CollapseAll() {
  for (int row = m_list->count() - 1; row >= 0; --row)
    if (m_list->isRowExpanded(row)) m_list->setRowExpanded(row, false);
}

void familyTree::ToggleExpanded() {
  int row = m_list->selectedRow();
  if (row >= 0) m_list->setRowExpanded(row, !m_list->isRowExpanded(row));
}

void familyTree::SetTreeExpanded(std::int16_t& Index, bool& Expand) { m_list->setRowExpanded(Index, Expand); }

} // namespace pu
