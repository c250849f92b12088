// In-place renaming, creating, deleting and reordering of categories. The
// table writes are the edit module's; this file opens and closes the editor
// and reloads the branch after each write.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "app/layout/window_layout.h"
#include "db/codebase_wrappers.h"
#include "db/course_tables.h"
#include "db/family_tree_edits.h"
#include "msgbox/msg_box.h"
#include "tree/family_tree.h"
#include "tree/tree_text.h"
#include "util/numbering.h"

namespace pu {
namespace {

constexpr std::int32_t kDeleteQuestion = MsgButtons::YesNo | MsgIcons::Exclamation | MsgDefault::Button2;  // 308

// Width of the title field, so the editor never takes more than the table holds.
int descriptWidth() {
  std::int32_t table = OpenTable(u"standard").table;
  std::int32_t field = table ? d4field(table, "descript") : 0;
  return field ? f4len_v(field) : 32767;
}

} // namespace

void familyTree::RenameItem() {
  int row = m_list->selectedRow();
  if (row < 0) return;
  EditIndex = static_cast<std::int16_t>(row);
  m_txtEdit->setMaxLength(descriptWidth());
  Text text;
  int caret = 0;
  if (m_list->itemData(row) == 0) {
    if (CurrentTreeType == 0) {
      ParentInfo info = GetParentInfo(EditIndex, CurrentTreeID);
      std::int16_t level = static_cast<std::int16_t>(info.level + 1);
      text = FormatOrdinal(NextChildOrder(info.node), level) + u". ";
    }
    caret = static_cast<int>(text.size());
  } else {
    text = textOf(m_list->text(row));
    RefFindFirst(standard::StandardID, MakeNodeKey(CurrentTreeID, m_list->itemData(row)));
    // A leading number stays outside the selection.
    caret = RefValLng(standard::Order) > 0 ? static_cast<int>(text.find(u' ') + 1) : 1;
  }
  RaiseUpdateOK(false, false, false);
  m_txtEdit->setText(qtext(text));
  placeEditor();
  caret = std::min(caret, static_cast<int>(m_txtEdit->text().size()));
  m_txtEdit->setSelection(static_cast<int>(m_txtEdit->text().size()), caret - static_cast<int>(m_txtEdit->text().size()));
  m_txtEdit->show();
  m_txtEdit->raise();
  m_txtEdit->setFocus();
}

void familyTree::placeEditor() {
  QRect r = m_list->textRect(EditIndex);
  QPoint topLeft = m_list->viewport()->mapTo(this, r.topLeft());
  m_txtEdit->setGeometry(topLeft.x() - 1, topLeft.y() - 1, r.width() + 4, std::max(r.height() + 3, m_txtEdit->sizeHint().height()));
}

bool familyTree::eventFilter(QObject* watched, QEvent* event) {
  if (watched != m_txtEdit) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
  case QEvent::FocusIn:
    RaiseUpdateOK(false, false, false);
    break;
  case QEvent::FocusOut:
    if (m_txtEdit->isVisible()) {
      FinishRename(textOf(m_txtEdit->text()));
      if (SelectAllowed) RaiseUpdateOK(true, true, true);
    }
    break;
  case QEvent::KeyPress: {
    bool handled = false;
    onEditKey(static_cast<QKeyEvent*>(event), handled);
    if (handled) return true;
    break;
  }
  default:
    break;
  }
  return QWidget::eventFilter(watched, event);
}

void familyTree::onEditKey(QKeyEvent* event, bool& handled) {
  handled = true;
  switch (event->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
    FinishRename(textOf(m_txtEdit->text()));
    break;
  case Qt::Key_Escape:
    m_txtEdit->hide();
    m_list->setFocus();
    RaiseUpdateOK(true, true, true);
    break;
  case Qt::Key_Up:
  case Qt::Key_Down: {
    FinishRename(textOf(m_txtEdit->text()));
    QCoreApplication::processEvents();
    int row = m_list->selectedRow();
    if (event->key() == Qt::Key_Up && row > 0) m_list->selectRow(row - 1);
    if (event->key() == Qt::Key_Down && row >= 0 && row < m_list->count() - 1) m_list->selectRow(row + 1);
    break;
  }
  default:
    handled = false;
  }
}

void familyTree::FinishRename(const Text& NewFullDescript) {
  m_cmdDelete->setEnabled(true);
  // Hidden first, so the focus leaving the box does not finish it twice.
  m_txtEdit->hide();
  m_list->setFocus();
  ParentInfo info = GetParentInfo(EditIndex, CurrentTreeID);
  NumberedTitle split{999, NewFullDescript};
  if (CurrentTreeType == 0) split = SplitNumberedTitle(NewFullDescript, static_cast<std::int16_t>(info.level + 1));
  Text title = CleanEditedTitle(split.title);
  if (title.empty()) return;
  std::int32_t node = m_list->itemData(EditIndex);
  BeginBusy();
  if (node > 0) {
    RenameCategory(MakeNodeRef(CurrentTreeID, node), title, split.order);
    m_list->setText(EditIndex, qtext(title));
    RefreshParent();
  } else {
    std::int32_t created = CreateCategory(CurrentTreeID, info.node.node, title, split.order);
    m_list->setItemData(EditIndex, created);
    RefreshParent();
    int row = m_list->selectedRow();
    if (created > 0 && row >= 0) m_list->setRowExpanded(row, true);
  }
  EndBusy();
  RaiseUpdateOK(true, true, true);
}

void familyTree::DeleteItem() {
  int row = m_list->selectedRow();
  if (row < 0) return;
  BeginBusy();
  std::int32_t node = m_list->itemData(row);
  if (node >= 1) {
    Text question = u"Are you sure you wish to delete the category '" + textOf(m_list->text(row)) +
                    u"'?  Any subcategories under it will be promoted to be subcategories of its parent category.";
    if (MsgBoxEx(question, kDeleteQuestion) == MsgResult::Yes) {
      DeleteClassification(node, static_cast<std::int16_t>(m_list->level(row) + 2), true);
      RefreshParent();
    }
  }
  EndBusy();
}

void familyTree::DeleteClassification(std::int32_t NodeID, std::int16_t level, bool PromoteChildren) {
  pu::DeleteClassification(CurrentTreeID, NodeID, level, PromoteChildren);
}

void familyTree::Move(std::int16_t NextPrev) {
  int row = m_list->selectedRow();
  if (row < 0) return;
  if (MoveCategory(MakeNodeRef(CurrentTreeID, m_list->itemData(row)), NextPrev)) RefreshParent();
}

} // namespace pu
