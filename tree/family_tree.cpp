#include "tree/family_tree.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "db/state_prefix.h"
#include "platform/controls/elastic_panel.h"
#include "tree/book_pictures.h"
#include "tree/tree_text.h"
#include "util/stored_text.h"

namespace pu {
namespace {

const QColor kStateBack(224, 255, 224);
const QColor kOtherBack(224, 224, 255);

QPushButton* editButton(const QString& name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAccessibleName(caption);
  return button;
}

} // namespace

familyTree::familyTree(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("familyTree"));
  m_selected = BoundedArray<Text>(0, {Text()});
  buildChildControls();
  connectList();
}

void familyTree::buildChildControls() {
  m_vseControl = new ElasticPanel(this);
  m_vseControl->setObjectName(QStringLiteral("vseControl"));
  m_vseControl->setFillParent(true);
  auto* layout = new QVBoxLayout(m_vseControl);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  m_list = new TreeList(m_vseControl);
  m_list->setObjectName(QStringLiteral("tlstStandards"));
  m_list->setAccessibleName(QStringLiteral("Standards"));
  m_list->setPictures(BookPictures());
  layout->addWidget(m_list, 1);

  m_vseEdit = new ElasticPanel(m_vseControl);
  m_vseEdit->setObjectName(QStringLiteral("vseEdit"));
  auto* buttons = new QHBoxLayout(m_vseEdit);
  buttons->setContentsMargins(2, 2, 2, 2);
  m_cmdRename = editButton(QStringLiteral("cmdRename"), QStringLiteral("Rename"), m_vseEdit);
  m_cmdDelete = editButton(QStringLiteral("cmdDelete"), QStringLiteral("Delete"), m_vseEdit);
  m_cmdMoveUp = editButton(QStringLiteral("cmdMoveUp"), QStringLiteral("Move Up"), m_vseEdit);
  m_cmdMoveDown = editButton(QStringLiteral("cmdMoveDown"), QStringLiteral("Move Down"), m_vseEdit);
  for (QPushButton* b : {m_cmdRename, m_cmdDelete, m_cmdMoveUp, m_cmdMoveDown}) {
    b->setFocusPolicy(Qt::NoFocus);  // the list keeps the focus and its selection
    buttons->addWidget(b);
  }
  layout->addWidget(m_vseEdit);
  m_vseEdit->setVisible(false);
  connect(m_cmdRename, &QPushButton::clicked, this, [this] { RenameItem(); });
  connect(m_cmdDelete, &QPushButton::clicked, this, [this] { DeleteItem(); });
  connect(m_cmdMoveUp, &QPushButton::clicked, this, [this] { Move(-1); });
  connect(m_cmdMoveDown, &QPushButton::clicked, this, [this] { Move(1); });

  m_txtEdit = new QLineEdit(this);
  m_txtEdit->setObjectName(QStringLiteral("txtEdit"));
  m_txtEdit->setAccessibleName(QStringLiteral("Category title"));
  m_txtEdit->setFont(QFont(QStringLiteral("Arial")));
  m_txtEdit->hide();
  m_txtEdit->installEventFilter(this);

  m_tmrEdit.setInterval(500);
  connect(&m_tmrEdit, &QTimer::timeout, this, [this] {
    m_tmrEdit.stop();
    RenameItem();
  });
}

void familyTree::connectList() {
  connect(m_list, &TreeList::rowClicked, this, &familyTree::onClick);
  connect(m_list, &TreeList::rowDoubleClicked, this, &familyTree::onDblClick);
  connect(m_list, &TreeList::keyDown, this, &familyTree::onKeyDown);
  connect(m_list, &TreeList::keyPress, this, &familyTree::onKeyPress);
  connect(m_list, &TreeList::mousePressed, this, &familyTree::onMouseDown);
  connect(m_list, &TreeList::mouseMoved, this, &familyTree::onMouseMove);
  connect(m_list, &TreeList::mouseReleased, this, &familyTree::onMouseUp);
  connect(m_list, &TreeList::pictureClicked, this, &familyTree::onPictureClick);
  connect(m_list, &TreeList::pictureDoubleClicked, this, &familyTree::onPictureDblClick);
  connect(m_list, &TreeList::expanderClicked, this, &familyTree::onExpanderClick);
  connect(m_list, &TreeList::verticalScrolled, this, &familyTree::onVScroll);
  connect(m_list, &TreeList::rowExpanded, this, &familyTree::onExpand);
  connect(m_list, &TreeList::rowCollapsed, this, &familyTree::onCollapse);
  connect(m_list, &TreeList::textDropped, this, &familyTree::onDrop);
  connect(m_list, &TreeList::dragFinished, this, [this] { m_dragging = false; });
}

void familyTree::init(std::int32_t TreeType, bool editAllowed, bool selectAllowed, bool showMisc, bool displayRoot,
                      bool narrowTree) {
  CurrentTreeType = 1;
  EditAllowed = editAllowed;
  SelectAllowed = selectAllowed;
  ShowMisc = showMisc;
  DisplayRoot = displayRoot;
  NarrowTree = narrowTree;
  m_vseEdit->setVisible(EditAllowed);
  m_vseEdit->setBackColor(palette().color(QPalette::Window));
  m_list->setBackColor(TreeType == 1 ? kStateBack : kOtherBack);
  SpecialNodes.reset();
  if (NarrowTree) m_list->setIndentation(15);
}

void familyTree::SetDisplayedTree(std::int16_t TreeID) {
  finishPendingEdit();
  CurrentTreeID = TreeID;
  m_previousRow = -1;
  ViewNodeID = 0;
  m_list->setRepaint(false);
  m_list->clearRows();
  SpecialNodes = QMap<Text, std::int32_t>();
  std::int16_t added = AddStandardTreeChildren(TreeID, DisplayRoot ? 0 : 1, -1);
  if (DisplayRoot && added > 0) {
    m_list->setRowExpanded(0, true);
    m_list->setExpanderState(0, ExpanderState::Loaded);
  }
  if (EditAllowed && !DisplayRoot) addCreateNewRow(-1, 1);
  UpdateAllBookIcons();
  m_list->setRepaint(true);
}

void familyTree::addCreateNewRow(std::int16_t parentRow, std::int16_t level) {
  Text levelName = CategoryLevelName(level);
  int row = m_list->addRow(parentRow, qtext(u"[Create New " + levelName + u"...]"));
  m_list->setItemData(row, 0);
  m_list->setExpanderState(row, ExpanderState::Leaf);
  UpdateBookIcon(static_cast<std::int16_t>(row));
}

std::int16_t familyTree::AddStandardTreeChildren(std::int16_t TreeID, std::int32_t parentID, std::int16_t ParentIndex) {
  m_list->setRepaint(false);
  StandardsTable standards;
  std::int16_t count = 0;
  for (const StandardRow& child : standards.children({TreeID, parentID})) {
    std::int32_t n = child.ref.node;
    if (!IsInStandardFilter(n) || n == kHiddenNode) continue;
    ++count;
    int row = m_list->addRow(ParentIndex, qtext(DisplayTextOfTitle(DecodeStoredText(child.title), StandardDisplayMode)));
    m_list->setItemData(row, n);
    ApplySpecialNodeStyle(static_cast<std::int16_t>(row));
    bool expandable = EditAllowed || standards.hasChildren(child.ref);
    m_list->setExpanderState(row, expandable ? ExpanderState::Unloaded : ExpanderState::Leaf);
  }
  if (ShowMisc && m_list->count() > 0 && parentID != 1 && count > 0) {
    if (std::optional<StandardRow> parent = standards.find({TreeID, parentID})) {
      int row = m_list->addRow(ParentIndex, qtext(u"** Miscellaneous '" + DecodeStoredText(parent->title) + u"' questions **"));
      m_list->setItemData(row, parentID);
    }
  }
  m_list->setRepaint(true);
  return count;
}

std::int32_t familyTree::specialKind(std::int32_t node) const {
  if (!SpecialNodes) return 0;
  return SpecialNodes->value(NodeNumberKey(node), 0);
}

void familyTree::ApplySpecialNodeStyle(std::int16_t row) {
  if (SuppressSpecialNodes) return;
  std::int32_t n = m_list->itemData(row);
  std::int32_t kind = specialKind(n);
  bool misc = IsMiscTreeNode(row);
  if (misc && n != ViewNodeID) kind = 0;
  switch (kind) {
  case 1:
  case 2:
    m_list->setColor(row, kind == 1 ? QColor(64, 64, 255) : QColor(0, 166, 0));
    m_list->setRowExpanded(row, false);
    m_list->setRowExpanded(row, true);
    if (kind == 1 && n == SelectedNodeID) {
      SkipClick = true;
      m_list->selectRow(row);
      SkipClick = false;
    }
    break;
  case 3:
    m_list->setColor(row, QColor(255, 0, 0));
    break;
  default:
    m_list->setColor(row, QColor(0, 0, 0));
    if (!misc && !(DisplayRoot && row == 0)) m_list->setRowExpanded(row, false);
    break;
  }
}

void familyTree::UpdateAllSpecialNodes() {
  for (int row = 0; row < m_list->count(); ++row) ApplySpecialNodeStyle(static_cast<std::int16_t>(row));
}

bool familyTree::IsMiscTreeNode(std::int16_t ListIndex) const {
  if (!m_list->isRow(ListIndex)) return false;
  int p = m_list->parentRow(ListIndex);
  if (p >= 0) return m_list->itemData(p) == m_list->itemData(ListIndex);
  return !DisplayRoot && m_list->itemData(ListIndex) == 1;
}

bool familyTree::IsSelectedNodeMisc() const { return IsMiscTreeNode(static_cast<std::int16_t>(m_list->selectedRow())); }

NodeRef familyTree::GetCurrentRoot() const {
  return MakeNodeRef(CurrentTreeID, DisplayRoot ? m_list->itemData(0) : 1);
}

Text familyTree::GetCurrentRootDataTag() const { return NodeRefKey(GetCurrentRoot()); }

familyTree::ParentInfo familyTree::GetParentInfo(std::int16_t row, std::int16_t tree) const {
  ParentInfo info;
  info.node = MakeNodeRef(tree, 1);
  if (m_list->level(row) == 0) return info;
  info.row = static_cast<std::int16_t>(m_list->parentRow(row));
  info.node = MakeNodeRef(tree, m_list->itemData(info.row));
  info.level = static_cast<std::int16_t>(CountDots(OutlineNumber(info.node, 1)) - 1);
  return info;
}

void familyTree::SetStandardFilter(const BoundedArray<std::int32_t>& TopicIDs) {
  m_filter = TopicIDs;
  m_filterSet = true;
}

bool familyTree::StandardFilterIsBlank() const { return !m_filterSet || m_filter.upper() < 1; }

bool familyTree::IsInStandardFilter(std::int32_t NodeID) const {
  if (StandardFilterIsBlank() || NodeID == 0 || NodeID == 1) return true;
  const auto& items = m_filter.items();
  return std::find(items.begin(), items.end(), NodeID) != items.end();
}

bool familyTree::isPicked(std::int32_t node) const {
  Text key = MakeNodeKey(CurrentTreeID, node);
  const auto& items = m_selected.items();
  return std::find(items.begin() + 1, items.end(), key) != items.end();
}

void familyTree::BlankStandards() { m_selected = BoundedArray<Text>(0, {Text()}); }

void familyTree::AddStandardID(const Text& StandardID) {
  const auto& items = m_selected.items();
  if (std::find(items.begin() + 1, items.end(), StandardID) == items.end()) m_selected.append(StandardID);
  RemoveAncestorStandardIDs(StandardID);
  RemoveDescendantStandardIDs(StandardID);
}

void familyTree::RemoveStandardID(const Text& StandardID) {
  std::vector<Text> items = m_selected.items();
  auto it = std::find(items.begin() + 1, items.end(), StandardID);
  if (it == items.end()) return;
  items.erase(it);
  m_selected = BoundedArray<Text>(0, std::move(items));
}

void familyTree::RemoveAncestorStandardIDs(const Text& StandardID) {
  // The path runs from the root down to the node itself, and ends where a
  // damaged chain closes on itself.
  NodeRef ref = ParseNodeKey(StandardID);
  BoundedArray<std::int32_t> path;
  AncestorPath(ref.tree, ref.node, path);
  for (std::int32_t i = path.lower(); i < path.upper(); ++i) RemoveStandardID(MakeNodeKey(ref.tree, path[i]));
}

void familyTree::RemoveDescendantStandardIDs(const Text& StandardID) {
  NodeRef ref = ParseNodeKey(StandardID);
  const std::vector<Text> picked = m_selected.items();
  for (std::size_t i = 1; i < picked.size(); ++i) {
    NodeRef p = ParseNodeKey(picked[i]);
    if (!(p == ref) && IsDescendantOf(p, ref)) RemoveStandardID(picked[i]);
  }
}

void familyTree::LoadStandards(const BoundedArray<Text>& StandardIDs) {
  BlankStandards();
  for (const Text& key : StandardIDs.items())
    if (ParseNodeKey(key).tree == CurrentTreeID) m_selected.append(key);
  UpdateAllBookIcons();
  FindStandards();
}

void familyTree::UpdateBookIcon(std::int16_t ItemIndex) {
  if (!SelectAllowed || !m_list->isRow(ItemIndex)) return;
  std::int32_t n = m_list->itemData(ItemIndex);
  m_list->setPicture(ItemIndex, BookPictureIndex(n, isPicked(n), m_list->isRowExpanded(ItemIndex), m_list->level(ItemIndex)));
}

void familyTree::UpdateAllBookIcons() {
  for (int row = 0; row < m_list->count(); ++row) UpdateBookIcon(static_cast<std::int16_t>(row));
}

void familyTree::ClearView() {
  m_savedView[0] = ViewNodeID;
  m_savedView[1] = ViewQuestID;
  m_savedView[2] = ViewListID;
  m_savedView[3] = SelectedNodeID;
  ViewNodeID = ViewQuestID = ViewListID = SelectedNodeID = 0;
  SavedSpecialNodes = SpecialNodes;
  SpecialNodes.reset();
}

void familyTree::RecallView() {
  ViewNodeID = m_savedView[0];
  ViewQuestID = m_savedView[1];
  ViewListID = m_savedView[2];
  SelectedNodeID = m_savedView[3];
  SpecialNodes = SavedSpecialNodes;
}

std::int32_t familyTree::GetNodeIDByIndex(std::int16_t Index) const { return m_list->itemData(Index); }

familyTree::View familyTree::currentView() const {
  View view;
  for (int row = 0; row < m_list->count(); ++row)
    if (m_list->isRowExpanded(row) && m_list->itemData(row) > 0 && !IsMiscTreeNode(static_cast<std::int16_t>(row)))
      view.open.push_back(m_list->itemData(row));
  view.selected = m_list->itemData(m_list->selectedRow());
  view.top = m_list->itemData(m_list->firstVisibleRow());
  return view;
}

void familyTree::restoreView(const View& view) {
  m_list->setRepaint(false);
  for (std::int32_t node : view.open) {
    int row = m_list->findItemData(node, 0, m_list->count() - 1);
    if (row >= 0 && !m_list->isRowExpanded(row)) m_list->setRowExpanded(row, true);
  }
  m_list->setRepaint(true);
  auto rowOf = [this](std::int32_t node) { return node > 0 ? m_list->findItemData(node, 0, m_list->count() - 1) : -1; };
  if (int top = rowOf(view.top); top >= 0) m_list->setFirstVisibleRow(top);
  if (int selected = rowOf(view.selected); selected >= 0) {
    SkipClick = true;
    m_list->selectRow(selected);
    SkipClick = false;
    m_previousRow = static_cast<std::int16_t>(selected);
  }
}

void familyTree::RaiseUpdateOK(bool okEnabled, bool okDefault, bool cancelCancel) {
  emit UpdateOK(okEnabled, okDefault, cancelCancel);
}

} // namespace pu
