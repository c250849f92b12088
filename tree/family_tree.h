#pragma once
// familyTree: one family tree of the standards table as an indented list.
// Branches are read from the table when they open and dropped when they
// close, so even a tree of 100,000 standards shows at once. With editing
// allowed the user renames, creates, deletes, reorders and re-parents
// categories; every change is written to the table at once and the branch
// read again, so the rows always show the table's state.
#include <QMap>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "db/standards_model.h"
#include "platform/controls/tree_list.h"
#include "util/bounded_array.h"

class QLineEdit;
class QPushButton;

namespace pu {

class ElasticPanel;

class familyTree : public QWidget {
  Q_OBJECT
public:
  explicit familyTree(QWidget* parent = nullptr);

  // Hosts read and write these directly.
  bool DisplayRoot = false;
  std::int32_t StandardDisplayMode = 0;
  std::int32_t ViewNodeID = 0;
  std::int32_t ViewQuestID = 0;
  std::int32_t ViewListID = 0;
  std::int32_t SelectedNodeID = 0;
  // Kind of each special node, keyed by its node number right-aligned in 7
  // characters; nothing (no view) until a tree is shown.
  std::optional<QMap<Text, std::int32_t>> SpecialNodes;
  std::optional<QMap<Text, std::int32_t>> SavedSpecialNodes;
  bool SkipClick = false;
  bool SuppressSpecialNodes = false;
  std::int16_t EditIndex = -1;
  bool EditAllowed = false;
  bool SelectAllowed = false;
  bool NarrowTree = false;
  std::int32_t CurrentTreeType = 1;
  std::int16_t CurrentTreeID = 0;
  bool ShowMisc = false;
  bool Scrolling = false;

  // Loading and the lists hosts read.
  TreeList* TList() const { return m_list; }
  BoundedArray<Text> StandardDataTags() const { return m_selected; }
  void ClearView();
  void RecallView();
  Text GetCurrentRootDataTag() const;
  std::int16_t AddStandardTreeChildren(std::int16_t TreeID, std::int32_t parentID, std::int16_t ParentIndex);
  bool IsMiscTreeNode(std::int16_t ListIndex) const;
  bool IsSelectedNodeMisc() const;
  void SetStandardFilter(const BoundedArray<std::int32_t>& TopicIDs);
  bool IsInStandardFilter(std::int32_t NodeID) const;
  bool StandardFilterIsBlank() const;
  void AddStandardID(const Text& StandardID);
  void RemoveAncestorStandardIDs(const Text& StandardID);
  void RemoveDescendantStandardIDs(const Text& StandardID);
  void BlankStandards();
  void init(std::int32_t TreeType, bool editAllowed = false, bool selectAllowed = false, bool showMisc = false,
            bool displayRoot = false, bool narrowTree = false);
  void InitCorvane() { SetDisplayedTree(1); }
  void InitMaster() { SetDisplayedTree(0); }
  void InitState(std::int16_t TreeID) { SetDisplayedTree(TreeID); }
  void SetDisplayedTree(std::int16_t TreeID);
  void LoadStandards(const BoundedArray<Text>& StandardIDs);
  void RemoveStandardID(const Text& StandardID);
  void UpdateAllBookIcons();
  void UpdateBookIcon(std::int16_t ItemIndex);
  void UpdateAllSpecialNodes();
  std::int32_t GetNodeIDByIndex(std::int16_t Index) const;

  // Display, selection and navigation.
  std::int16_t ExpandPath(const BoundedArray<std::int32_t>& path, bool SearchFromRoot);
  std::int16_t FindStandard(const Text& StandardDataTag);
  void FindStandards();
  std::int16_t SelectStandard(const Text& StandardDataTag);
  void ReExpand(std::int16_t ParentIndex);
  void RefreshParent();
  void ReselectNode();
  void ScrollToSelection();
  void CollapseAll();
  void ToggleExpanded();
  void ToggleSelected();
  void SetTreeExpanded(std::int16_t& Index, bool& Expand);
  std::int32_t ExpandToNode(std::int32_t NodeID, bool SearchFromRoot = false);

  // Editing.
  void Delete() { DeleteItem(); }
  void DeleteClassification(std::int32_t NodeID, std::int16_t level, bool PromoteChildren);
  void DeleteItem();
  void FinishRename(const Text& NewFullDescript);
  void Move(std::int16_t NextPrev);
  void RenameItem();

  QLineEdit* editBox() const { return m_txtEdit; }

  // Which branches are open, which row is selected and which row is at the
  // top, by node: what a host keeps when it has the tree read again.
  struct View {
    std::vector<std::int32_t> open;  // parents before their children
    std::int32_t selected = 0;
    std::int32_t top = 0;
  };
  View currentView() const;
  // Opens the branches that still exist and selects the row without a Click
  // (SkipClick is set meanwhile).
  void restoreView(const View& view);

signals:
  void Click();
  void Collapse(std::int32_t ItemIndex);
  void DblClick();
  void Expand(std::int32_t ItemIndex);
  void KeyDown(std::int16_t& keycode, std::int16_t& Shift);
  void KeyPress(std::int16_t& KeyAscii);
  void MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
  void MouseMove(std::int16_t Button, std::int16_t Shift, float X, float Y);
  void MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y);
  void PictureClick();
  void PictureDblClick();
  void PlusMinusClick(std::int16_t ItemIndex);
  void VScroll(std::int16_t& CancelDefault, std::int16_t ScrollCode, std::int32_t Pos);
  void UpdateOK(bool& OKEnabled, bool& OKDefault, bool& CancelCancel);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct ParentInfo {
    std::int16_t row = -1;
    NodeRef node;
    std::int16_t level = -1;
  };

  void buildChildControls();
  void connectList();
  void ApplySpecialNodeStyle(std::int16_t row);
  NodeRef GetCurrentRoot() const;
  ParentInfo GetParentInfo(std::int16_t row, std::int16_t tree) const;
  void RaiseUpdateOK(bool okEnabled, bool okDefault, bool cancelCancel);
  void addCreateNewRow(std::int16_t parentRow, std::int16_t level);
  std::int32_t specialKind(std::int32_t node) const;
  bool isPicked(std::int32_t node) const;
  // Row of node n among the rows under row p (-1: the top rows).
  std::int16_t rowUnder(std::int16_t p, std::int32_t n) const;

  // List notifications.
  void onClick();
  void onDblClick();
  void onKeyDown(int& key, int shift);
  void onKeyPress(int& ascii);
  void onMouseDown(int button, int shift, QPoint point);
  void onMouseMove(int button, int shift, QPoint point);
  void onMouseUp(int button, int shift, QPoint point);
  void onPictureClick();
  void onPictureDblClick();
  void onExpanderClick(int row);
  void onVScroll(int& cancelDefault, int scrollCode, int position);
  void onExpand(int row);
  void onCollapse(int row);
  void onDrop(const QString& text, int shift, QPoint point);

  // The in-place editor belongs to a node (or, on a create-new row, to the
  // parent the new category goes under), never to a row position: rows
  // move when branches are read again.
  struct PendingEdit {
    std::int16_t tree = 0;
    std::int32_t node = 0;  // 0: a new category
    ParentInfo parent;
    Text filledWith;  // what the editor was given: left as it is, nothing is written
  };
  void placeEditor();
  void onEditKey(QKeyEvent* event, bool& handled);
  // Saves an open editor's text on its own node before anything else
  // changes or reloads the rows.
  void finishPendingEdit();
  void abandonPendingEdit();
  // Tells the user that an edit (named by what) was not, or not wholly, written.
  static void reportUnwritten(const char16_t* what, WriteResult r);
  // Reads the branch under parent again and selects the node's row.
  void reloadBranchOf(const ParentInfo& parent, std::int32_t node);

  TreeList* m_list = nullptr;
  QLineEdit* m_txtEdit = nullptr;
  QPushButton* m_cmdDelete = nullptr;
  QPushButton* m_cmdMoveUp = nullptr;
  QPushButton* m_cmdMoveDown = nullptr;
  QPushButton* m_cmdRename = nullptr;
  ElasticPanel* m_vseEdit = nullptr;
  ElasticPanel* m_vseControl = nullptr;
  QTimer m_tmrEdit;

  std::int32_t m_savedView[4] = {};
  BoundedArray<std::int32_t> m_filter;
  bool m_filterSet = false;
  BoundedArray<Text> m_selected;
  std::int16_t m_previousRow = -1;
  bool m_mouseDown = false;
  QPoint m_pressPoint;
  bool m_dragging = false;
  bool m_undoingExpand = false;
  std::optional<PendingEdit> m_edit;
};

} // namespace pu
