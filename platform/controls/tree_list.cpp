#include "platform/controls/tree_list.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include "platform/controls/tree_list_model.h"

namespace pu {

int shiftState(Qt::KeyboardModifiers modifiers) {
  return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
         (modifiers & Qt::AltModifier ? 4 : 0);
}

int mouseButtonCode(Qt::MouseButtons buttons) {
  return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) | (buttons & Qt::MiddleButton ? 4 : 0);
}

TreeList::TreeList(QWidget* parent) : QTreeView(parent), m_model(new TreeListModel(this)) {
  setModel(m_model);
  setHeaderHidden(true);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(32, 16));
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDefaultDropAction(Qt::CopyAction);
  connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) { emit rowExpanded(rowOfIndex(index)); });
  connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) { emit rowCollapsed(rowOfIndex(index)); });
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) {
    int cancel = 0;
    emit verticalScrolled(cancel, action, verticalScrollBar()->sliderPosition());
  });
}

TreeList::~TreeList() = default;

int TreeList::count() const { return m_model->count(); }

QModelIndex TreeList::indexOfRow(int row) const { return m_model->indexOf(m_model->node(row)); }

int TreeList::rowOfIndex(const QModelIndex& index) const {
  return index.isValid() ? m_model->rowOf(m_model->nodeOf(index)) : -1;
}

int TreeList::addRow(int parentRow, const QString& text) {
  TreeListNode* parent = parentRow < 0 ? m_model->root() : m_model->node(parentRow);
  if (!parent) return -1;
  return m_model->addChild(parent, text)->flatRow;
}

void TreeList::removeChildren(int row) {
  TreeListNode* parent = row < 0 ? m_model->root() : m_model->node(row);
  if (parent) m_model->removeChildren(parent);
}

int TreeList::parentRow(int row) const {
  TreeListNode* n = m_model->node(row);
  return n ? m_model->rowOf(n->parent) : -1;
}

int TreeList::level(int row) const {
  TreeListNode* n = m_model->node(row);
  return n ? n->level : -1;
}

int TreeList::descendantCount(int row) const {
  TreeListNode* n = row < 0 ? m_model->root() : m_model->node(row);
  return n ? n->descendants : 0;
}

QString TreeList::text(int row) const {
  TreeListNode* n = m_model->node(row);
  return n ? n->text : QString();
}

void TreeList::setText(int row, const QString& text) {
  if (TreeListNode* n = m_model->node(row)) {
    n->text = text;
    m_model->rowChanged(n);
  }
}

std::int32_t TreeList::itemData(int row) const {
  TreeListNode* n = m_model->node(row);
  return n ? n->itemData : 0;
}

void TreeList::setItemData(int row, std::int32_t value) {
  if (TreeListNode* n = m_model->node(row)) n->itemData = value;
}

ExpanderState TreeList::expanderState(int row) const {
  TreeListNode* n = m_model->node(row);
  return n ? n->expander : ExpanderState::Leaf;
}

void TreeList::setExpanderState(int row, ExpanderState state) {
  if (TreeListNode* n = m_model->node(row)) {
    if (n->expander == state) return;
    n->expander = state;
    m_model->rowChanged(n);
    // The view reads hasChildren (the expander) only when it lays rows out.
    scheduleDelayedItemsLayout();
  }
}

QColor TreeList::color(int row) const {
  TreeListNode* n = m_model->node(row);
  return n ? n->color : QColor();
}

void TreeList::setColor(int row, const QColor& color) {
  TreeListNode* n = m_model->node(row);
  if (n && n->color != color) {
    n->color = color;
    m_model->rowChanged(n);
  }
}

int TreeList::picture(int row) const {
  TreeListNode* n = m_model->node(row);
  return n ? n->picture : 0;
}

void TreeList::setPicture(int row, int picture) {
  TreeListNode* n = m_model->node(row);
  if (n && n->picture != picture) {
    n->picture = picture;
    m_model->rowChanged(n);
  }
}

void TreeList::setPictures(const QHash<int, QPixmap>& pictures) { m_model->setPictures(pictures); }

bool TreeList::isRowExpanded(int row) const { return isRow(row) && isExpanded(indexOfRow(row)); }

void TreeList::setRowExpanded(int row, bool expanded) {
  if (isRow(row)) setExpanded(indexOfRow(row), expanded);
}

int TreeList::findItemData(std::int32_t value, int first, int last) const {
  first = std::max(first, 0);
  last = std::min(last, count() - 1);
  for (int row = first; row <= last; ++row)
    if (m_model->node(row)->itemData == value) return row;
  return -1;
}

int TreeList::rowAtPoint(const QPoint& point) const { return rowOfIndex(indexAt(point)); }

QRect TreeList::pictureRect(int row) const {
  QRect item = visualRect(indexOfRow(row));
  if (item.isEmpty() || picture(row) == 0) return {};
  return {item.left(), item.top(), iconSize().width(), item.height()};
}

QRect TreeList::textRect(int row) const {
  QRect item = visualRect(indexOfRow(row));
  if (item.isEmpty()) return {};
  QRect picture = pictureRect(row);
  if (!picture.isEmpty()) item.setLeft(picture.right() + 5);
  return item;
}

bool TreeList::onExpander(const QPoint& point, int row) const {
  QRect item = visualRect(indexOfRow(row));
  return point.x() < item.left() && point.x() >= item.left() - indentation();
}

int TreeList::selectedRow() const { return rowOfIndex(currentIndex()); }

void TreeList::selectRow(int row) {
  if (isRow(row))
    selectionModel()->setCurrentIndex(indexOfRow(row), QItemSelectionModel::ClearAndSelect);
  else
    selectionModel()->clear();
  emit rowClicked();
}

int TreeList::firstVisibleRow() const { return rowOfIndex(indexAt(QPoint(1, 1))); }

int TreeList::lastVisibleRow() const {
  int row = rowOfIndex(indexAt(QPoint(1, viewport()->height() - 2)));
  return row >= 0 ? row : count() - 1;
}

void TreeList::setFirstVisibleRow(int row) {
  if (isRow(row)) scrollTo(indexOfRow(row), QAbstractItemView::PositionAtTop);
}

void TreeList::setRepaint(bool on) {
  m_repaintOff = std::max(0, m_repaintOff + (on ? -1 : 1));
  setUpdatesEnabled(m_repaintOff == 0);
}

void TreeList::setBackColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::Base, color);
  setPalette(p);
}

void TreeList::startTextDrag(const QString& text) {
  auto* drag = new QDrag(this);
  auto* payload = new QMimeData;
  payload->setText(text);
  drag->setMimeData(payload);
  drag->exec(Qt::CopyAction, Qt::CopyAction);
  emit dragFinished();
}

void TreeList::mousePressEvent(QMouseEvent* event) {
  QPoint point = event->position().toPoint();
  int row = rowAtPoint(point);
  int shift = shiftState(event->modifiers());
  int button = mouseButtonCode(event->button());
  if (row >= 0 && onExpander(point, row)) {
    emit expanderClicked(row);
    QTreeView::mousePressEvent(event);
  } else if (row >= 0 && event->button() == Qt::LeftButton) {
    // The click selects first, so the handlers below see the clicked row.
    selectionModel()->setCurrentIndex(indexOfRow(row), QItemSelectionModel::ClearAndSelect);
    emit rowClicked();
    if (pictureRect(row).contains(point)) emit pictureClicked();
  }
  emit mousePressed(button, shift, point);
}

void TreeList::mouseMoveEvent(QMouseEvent* event) {
  emit mouseMoved(mouseButtonCode(event->buttons()), shiftState(event->modifiers()), event->position().toPoint());
}

void TreeList::mouseReleaseEvent(QMouseEvent* event) {
  QTreeView::mouseReleaseEvent(event);
  emit mouseReleased(mouseButtonCode(event->button()), shiftState(event->modifiers()), event->position().toPoint());
}

void TreeList::mouseDoubleClickEvent(QMouseEvent* event) {
  QPoint point = event->position().toPoint();
  int row = rowAtPoint(point);
  if (row < 0 || onExpander(point, row)) return QTreeView::mouseDoubleClickEvent(event);
  if (pictureRect(row).contains(point)) {
    emit pictureDoubleClicked();
    return;
  }
  emit rowDoubleClicked();
}

void TreeList::keyPressEvent(QKeyEvent* event) {
  int key = event->key();
  emit keyDown(key, shiftState(event->modifiers()));
  if (key == 0) return;
  QString typed = event->text();
  if (typed.size() == 1 && typed.at(0).unicode() >= 32) {
    int ascii = typed.at(0).unicode();
    emit keyPress(ascii);
    if (ascii == 0) return;
  }
  int before = selectedRow();
  QTreeView::keyPressEvent(event);
  if (selectedRow() != before) emit rowClicked();
}

void TreeList::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

// Text only, and only as a copy: the source never deletes anything.
void TreeList::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasText()) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void TreeList::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasText()) return event->ignore();
  event->setDropAction(Qt::CopyAction);
  event->accept();
  emit textDropped(event->mimeData()->text(), shiftState(event->modifiers()), event->position().toPoint());
}

} // namespace pu
