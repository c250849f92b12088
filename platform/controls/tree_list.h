#pragma once
// An indented tree list of plain rows. Rows are counted by flat index: every
// row of the list in depth-first order, whether its parent is open or not.
// A row is added as the last child of another and removed only together
// with its parent's other children, which is all a lazily loaded tree needs.
// The list knows nothing of where its rows come from; its owner loads a
// branch when the list reports that the branch opens.
#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QPoint>
#include <QTreeView>
#include <cstdint>
#include <memory>

namespace pu {

enum class ExpanderState { Loaded = 0, Unloaded = 1, Leaf = 3 };

class TreeListModel;

class TreeList : public QTreeView {
  Q_OBJECT
public:
  explicit TreeList(QWidget* parent = nullptr);
  ~TreeList() override;

  int count() const;
  // Adds a row as the last child of parentRow (-1: a top row); its index.
  int addRow(int parentRow, const QString& text);
  // Removes every row below row (row -1: the whole list).
  void removeChildren(int row);
  void clearRows() { removeChildren(-1); }

  bool isRow(int row) const { return row >= 0 && row < count(); }
  int parentRow(int row) const;
  int level(int row) const;
  // Rows below row: its children and their descendants.
  int descendantCount(int row) const;

  QString text(int row) const;
  void setText(int row, const QString& text);
  std::int32_t itemData(int row) const;
  void setItemData(int row, std::int32_t value);
  ExpanderState expanderState(int row) const;
  void setExpanderState(int row, ExpanderState state);
  QColor color(int row) const;
  void setColor(int row, const QColor& color);
  int picture(int row) const;
  void setPicture(int row, int picture);
  void setPictures(const QHash<int, QPixmap>& pictures);

  bool isRowExpanded(int row) const;
  // Opening or closing a row is reported through rowExpanded/rowCollapsed as
  // when the user does it.
  void setRowExpanded(int row, bool expanded);

  // First row in first..last whose item data is value; -1 when none.
  int findItemData(std::int32_t value, int first, int last) const;
  // Row under a point of the viewport; -1 when none.
  int rowAtPoint(const QPoint& point) const;
  // The row's text area in viewport coordinates (without its picture).
  QRect textRect(int row) const;
  QRect pictureRect(int row) const;

  int selectedRow() const;
  // Selects row (-1 clears) and reports the selection as a click does.
  void selectRow(int row);
  int firstVisibleRow() const;
  int lastVisibleRow() const;
  void setFirstVisibleRow(int row);

  // Nests: painting resumes when every switch-off has been switched on again.
  void setRepaint(bool on);
  void setBackColor(const QColor& color);
  // Starts a drag carrying text that offers the copy effect only.
  void startTextDrag(const QString& text);

signals:
  // The selection was set, by a click, a key or code.
  void rowClicked();
  void rowDoubleClicked();
  void pictureClicked();
  void pictureDoubleClicked();
  void expanderClicked(int row);
  void rowExpanded(int row);
  void rowCollapsed(int row);
  // key may be set to 0 to swallow the key.
  void keyDown(int& key, int shift);
  void keyPress(int& ascii);
  void mousePressed(int button, int shift, QPoint point);
  void mouseMoved(int button, int shift, QPoint point);
  void mouseReleased(int button, int shift, QPoint point);
  void verticalScrolled(int& cancelDefault, int scrollCode, int position);
  void textDropped(const QString& text, int shift, QPoint point);
  void dragFinished();

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  QModelIndex indexOfRow(int row) const;
  int rowOfIndex(const QModelIndex& index) const;
  bool onExpander(const QPoint& point, int row) const;

  TreeListModel* m_model;
  int m_repaintOff = 0;
};

// Shift state of the classic mouse and key events: 1 Shift, 2 Ctrl, 4 Alt.
int shiftState(Qt::KeyboardModifiers modifiers);
int mouseButtonCode(Qt::MouseButtons buttons);

} // namespace pu
