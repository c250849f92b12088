// In-place renaming, creating, deleting and reordering of categories. The
// table writes are the edit module's; this file opens and closes the editor,
// reloads the branch after each write and tells the user what could not be
// written.
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "db/family_tree_edits.h"
#include "db/state_prefix.h"
#include "msgbox/msg_box.h"
#include "platform/controls/window_layout.h"
#include "tree/family_tree.h"
#include "tree/tree_text.h"
#include "util/numbering.h"
#include "util/stored_text.h"

namespace pu {
namespace {

constexpr std::int32_t kDeleteQuestion = MsgButtons::YesNo | MsgIcons::Exclamation | MsgDefault::Button2;  // 308

} // namespace

void familyTree::reportUnwritten(const char16_t* what, WriteResult r) {
  if (r == WriteResult::Written || r == WriteResult::Unchanged) return;
  const char16_t* reason = u"the standards table could not be written";
  switch (r) {
    case WriteResult::InUse: reason = u"another program is changing the category, and the wait for it was cancelled"; break;
    case WriteResult::TooLong: reason = u"the title is longer than the title field"; break;
    case WriteResult::Missing: reason = u"the category is no longer in the standards table"; break;
    default: break;
  }
  MsgBoxEx(Text(what) + u" was not written: " + reason + u".", MsgIcons::Exclamation);
}

// The edits do nothing while another edit or command is busy: window events
// run while a write waits for another program's lock.
void familyTree::RenameItem() {
  if (BusyCount > 0) return;
  finishPendingEdit();
  int row = m_list->selectedRow();
  if (row < 0) return;
  EditIndex = static_cast<std::int16_t>(row);
  StandardsTable standards;
  m_txtEdit->setMaxLength(standards.titleWidth() > 0 ? standards.titleWidth() : 32767);
  PendingEdit edit{CurrentTreeID, m_list->itemData(row), GetParentInfo(EditIndex, CurrentTreeID), {}};
  int caret = 0;
  if (edit.node == 0) {
    if (CurrentTreeType == 0)
      edit.filledWith = FormatOrdinal(NextChildOrder(edit.parent.node), static_cast<std::int16_t>(edit.parent.level + 1)) + u". ";
    caret = static_cast<int>(edit.filledWith.size());
  } else {
    // The title as stored, markers and all, whatever the display mode shows:
    // the short form would become the whole title.
    std::optional<StandardRow> stored = standards.find({CurrentTreeID, edit.node});
    if (!stored) return;
    edit.filledWith = DisplayTextOfTitle(DecodeStoredText(stored->title), DisplayStored);
    // A leading number stays outside the selection.
    caret = stored->order > 0 ? static_cast<int>(edit.filledWith.find(u' ') + 1) : 1;
  }
  m_edit = edit;
  RaiseUpdateOK(false, false, false);
  m_txtEdit->setText(qtext(edit.filledWith));
  placeEditor();
  const int length = static_cast<int>(m_txtEdit->text().size());
  caret = std::min(caret, length);
  m_txtEdit->setSelection(length, caret - length);
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
  case QEvent::FocusOut: {
    // Another program (or window) taking the focus does not end the edit:
    // the user comes back to it. Another control of this window does.
    Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (m_txtEdit->isVisible() && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      finishPendingEdit();
      if (SelectAllowed) RaiseUpdateOK(true, true, true);
    }
    break;
  }
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
    finishPendingEdit();
    break;
  case Qt::Key_Escape:
    abandonPendingEdit();
    break;
  case Qt::Key_Up:
  case Qt::Key_Down: {
    finishPendingEdit();
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

void familyTree::finishPendingEdit() {
  if (m_edit && m_txtEdit->isVisible()) FinishRename(textOf(m_txtEdit->text()));
}

void familyTree::abandonPendingEdit() {
  if (!m_edit) return;
  m_edit.reset();
  m_txtEdit->hide();
  m_list->setFocus();
  RaiseUpdateOK(true, true, true);
}

void familyTree::reloadBranchOf(const ParentInfo& parent, std::int32_t node) {
  auto parentRow = static_cast<std::int16_t>(parent.row < 0 ? -1 : m_list->findItemData(parent.node.node, 0, m_list->count() - 1));
  ReExpand(parentRow);
  // Without a node (nothing was created) the parent is selected: the
  // create-new row would open the editor again.
  m_list->selectRow(node > 0 ? rowUnder(parentRow, node) : parentRow);
  m_previousRow = -1;
}

void familyTree::FinishRename(const Text& NewFullDescript) {
  if (!m_edit) return;
  const PendingEdit edit = *m_edit;
  m_edit.reset();
  m_cmdDelete->setEnabled(true);
  // Hidden first, so the focus leaving the box does not finish it twice.
  m_txtEdit->hide();
  m_list->setFocus();
  // Text left as the editor was given it is no change, also where the
  // title shown is a stand-in decoding of an enciphered one.
  if (NewFullDescript == edit.filledWith) {
    RaiseUpdateOK(true, true, true);
    return;
  }
  NumberedTitle split{999, NewFullDescript};
  if (CurrentTreeType == 0) split = SplitNumberedTitle(NewFullDescript, static_cast<std::int16_t>(edit.parent.level + 1));
  Text title = CleanEditedTitle(split.title);
  if (title.empty()) return;
  BeginBusy();
  if (edit.node > 0) {
    reportUnwritten(u"The new title", RenameCategory({edit.tree, edit.node}, title, split.order));
    reloadBranchOf(edit.parent, edit.node);
  } else {
    Created created = CreateCategory(edit.tree, edit.parent.node.node, title, split.order);
    reportUnwritten(u"The new category", created.result);
    reloadBranchOf(edit.parent, created.node);
    int row = m_list->selectedRow();
    if (created.node > 0 && row >= 0) m_list->setRowExpanded(row, true);
  }
  EndBusy();
  RaiseUpdateOK(true, true, true);
}

void familyTree::DeleteItem() {
  if (BusyCount > 0) return;
  finishPendingEdit();
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
  Deleted deleted = pu::DeleteClassification(CurrentTreeID, NodeID, level, PromoteChildren);
  reportUnwritten(u"The delete", deleted.result);
  if (deleted.result == WriteResult::Written && !deleted.packed)
    MsgBoxEx(u"The category was deleted. Another program has the standards table open, so its row stays in the file, "
             u"marked deleted, until a later delete can remove it.",
             MsgIcons::Information);
}

void familyTree::Move(std::int16_t NextPrev) {
  if (BusyCount > 0) return;
  finishPendingEdit();
  int row = m_list->selectedRow();
  if (row < 0) return;
  WriteResult moved = MoveCategory(MakeNodeRef(CurrentTreeID, m_list->itemData(row)), NextPrev);
  reportUnwritten(u"The move", moved);
  if (moved == WriteResult::Written) RefreshParent();
}

} // namespace pu
