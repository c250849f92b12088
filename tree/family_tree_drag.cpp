// Re-parenting a category by dragging it with Shift (becomes a child of the
// row dropped on) or Ctrl (becomes its sibling).
#include <cstdlib>

#include "platform/controls/screen_metrics.h"
#include "platform/controls/window_layout.h"
#include "tree/family_tree.h"

namespace pu {
namespace {

constexpr int kDragThresholdPixels = 2;
constexpr int kCtrl = 2;

float twipsX(const QPoint& p) { return static_cast<float>(twipsFromPixelsX(p.x())); }
float twipsY(const QPoint& p) { return static_cast<float>(twipsFromPixelsY(p.y())); }

} // namespace

void familyTree::onMouseDown(int button, int shift, QPoint point) {
  m_mouseDown = true;
  m_pressPoint = point;
  emit MouseDown(static_cast<std::int16_t>(button), static_cast<std::int16_t>(shift), twipsX(point), twipsY(point));
}

void familyTree::onMouseUp(int button, int shift, QPoint point) {
  m_mouseDown = false;
  emit MouseUp(static_cast<std::int16_t>(button), static_cast<std::int16_t>(shift), twipsX(point), twipsY(point));
}

void familyTree::onMouseMove(int button, int shift, QPoint point) {
  if (m_mouseDown) {
    QPoint moved = point - m_pressPoint;
    if (std::abs(moved.x()) > kDragThresholdPixels || std::abs(moved.y()) > kDragThresholdPixels) {
      m_previousRow = -1;
      m_mouseDown = false;  // one drag attempt per press
      int row = m_list->selectedRow();
      if (EditAllowed && button == 1 && row >= 0 && shift != 0 && m_list->itemData(row) != 1) {
        m_dragging = true;
        m_list->startTextDrag(QString::number(m_list->itemData(row)));
      }
    }
  }
  emit MouseMove(static_cast<std::int16_t>(button), static_cast<std::int16_t>(shift), twipsX(point), twipsY(point));
}

void familyTree::onDrop(const QString& text, int shift, QPoint point) {
  if (BusyCount > 0) return;
  finishPendingEdit();
  int selected = m_list->selectedRow();
  if (text.isEmpty() || selected < 0) return;
  std::int32_t source = m_list->itemData(selected);
  // Text dropped from elsewhere (another program, the other tree) would
  // otherwise move whatever row happens to be selected here.
  if (text.trimmed() != QString::number(source)) return;
  int row = m_list->rowAtPoint(point);
  std::int32_t newParent = 0;
  if (row >= 0 && shift == kCtrl) {
    int parentRow = m_list->parentRow(row);
    newParent = parentRow >= 0 ? m_list->itemData(parentRow) : GetNodeRow(CurrentTreeID, m_list->itemData(row)).parent;
  } else if (row >= 0) {
    newParent = m_list->itemData(row);
  }
  if (newParent == 0 || newParent == source ||
      IsDescendantOf(MakeNodeRef(CurrentTreeID, newParent), MakeNodeRef(CurrentTreeID, source)))
    return;
  Reparented moved = ReparentNode(source, newParent, CurrentTreeID);
  if (moved.result != WriteResult::Written) {
    reportUnwritten(u"The new parent", moved.result);
    return;
  }
  std::int32_t oldParent = moved.formerParent;
  for (int r = 0; r < m_list->count(); ++r) {
    int p = m_list->parentRow(r);
    if (p >= 0 && m_list->isRowExpanded(p) && (m_list->itemData(p) == newParent || m_list->itemData(p) == oldParent))
      m_list->setRowExpanded(p, false);
  }
  FindStandard(MakeNodeKey(CurrentTreeID, oldParent));
  std::int16_t found = FindStandard(MakeNodeKey(CurrentTreeID, source));
  m_list->selectRow(found);
  if (found >= 0) m_list->setRowExpanded(found, true);
  m_previousRow = -1;
}

} // namespace pu
