#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "db/course_tables.h"
#include "db/database_helper.h"
#include "db/state_prefix.h"
#include "msgbox/msg_box_state.h"
#include "platform/table/table.h"
#include "tests/tree/tree_fixture.h"
#include "tree/family_tree_group.h"
#include "tree/family_tree_selector.h"
#include "tree/tree_text.h"

namespace pu {
namespace {

using test::TreeTest;

// Each row's text behind a dot per level.
QStringList texts(const TreeList& list) {
  QStringList out;
  for (int row = 0; row < list.count(); ++row) out << QString(list.level(row), QChar('.')) + list.text(row);
  return out;
}

TEST(TreeListTest, FlatIndicesFollowDepthFirstOrderThroughInsertsAndRemovals) {
  TreeList list;
  QAbstractItemModelTester tester(list.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  int a = list.addRow(-1, "a");
  int b = list.addRow(-1, "b");
  int a1 = list.addRow(a, "a1");
  int a2 = list.addRow(a, "a2");
  int a1x = list.addRow(a1, "a1x");
  EXPECT_EQ(std::vector<int>({a, b, a1, a2, a1x}), std::vector<int>({0, 1, 1, 2, 2}));
  EXPECT_EQ(texts(list), QStringList({"a", ".a1", "..a1x", ".a2", "b"}));
  EXPECT_EQ(list.parentRow(2), 1);
  EXPECT_EQ(list.descendantCount(0), 3);
  list.setItemData(4, 77);
  EXPECT_EQ(list.findItemData(77, 0, 3), -1);
  EXPECT_EQ(list.findItemData(77, 0, 4), 4);
  list.removeChildren(0);
  EXPECT_EQ(texts(list), QStringList({"a", "b"}));
  EXPECT_EQ(list.addRow(1, "b1"), 2);
  // An unloaded row shows an expander before it has children; a leaf none.
  list.setExpanderState(0, ExpanderState::Unloaded);
  EXPECT_TRUE(list.model()->hasChildren(list.model()->index(0, 0)));
  list.setExpanderState(0, ExpanderState::Leaf);
  EXPECT_FALSE(list.model()->hasChildren(list.model()->index(0, 0)));
}

TEST_F(TreeTest, TopLevelIsTheRootsChildrenAFilterLetsThroughItsNodesAndBranchesLoadOnExpand) {
  familyTree& t = showTree(false);
  EXPECT_EQ(texts(*t.TList()), QStringList({"*1.* Numbers", "2. Geometry", "Notes"}));
  EXPECT_EQ(t.TList()->expanderState(0), ExpanderState::Unloaded);  // has children
  EXPECT_EQ(t.TList()->expanderState(1), ExpanderState::Leaf);
  EXPECT_EQ(t.GetCurrentRootDataTag(), MakeNodeKey(2, 1));
  // A root that is its own parent is not its own child.
  ASSERT_TRUE(RefFindFirst(standard::StandardID, MakeNodeKey(2, 1)));
  ASSERT_TRUE(DbHelper().SetFieldLng(u"parent_id", u"standard", 1));
  t.SetDisplayedTree(2);
  EXPECT_EQ(texts(*t.TList()), QStringList({"*1.* Numbers", "2. Geometry", "Notes"}));
  // A filter lets through its nodes and the root.
  t.SetStandardFilter(BoundedArray<std::int32_t>(0, {0, 20}));
  EXPECT_TRUE(t.IsInStandardFilter(1));
  EXPECT_FALSE(t.IsInStandardFilter(10));
  t.SetDisplayedTree(2);
  EXPECT_EQ(texts(*t.TList()), QStringList({"2. Geometry"}));
  t.SetStandardFilter(BoundedArray<std::int32_t>(0, {0}));
  EXPECT_TRUE(t.StandardFilterIsBlank());

  // Branches load on expand and are read afresh when reopened.
  t.SetDisplayedTree(2);
  QSignalSpy expands(&t, &familyTree::Expand);
  QSignalSpy collapses(&t, &familyTree::Collapse);
  TreeList& list = *t.TList();
  list.setRowExpanded(0, true);
  EXPECT_EQ(texts(list), QStringList({"*1.* Numbers", ".1.1 Counting", ".1.2 Fractions", "2. Geometry", "Notes"}));
  EXPECT_EQ(list.expanderState(1), ExpanderState::Loaded);  // no children: nothing to open
  EXPECT_EQ(list.expanderState(2), ExpanderState::Unloaded);
  ASSERT_EQ(expands.size(), 1);
  EXPECT_EQ(expands[0][0].toInt(), 0);

  // A child added by someone else shows once the branch is opened again.
  ASSERT_TRUE(RefFindFirst(standard::StandardID, MakeNodeKey(2, 11)));
  ASSERT_TRUE(DbHelper().SetFieldLng(u"parent_id", u"standard", 20));
  list.setRowExpanded(0, false);
  EXPECT_EQ(collapses.size(), 1);
  EXPECT_EQ(list.count(), 3);
  EXPECT_EQ(list.expanderState(0), ExpanderState::Unloaded);
  list.setRowExpanded(0, true);
  EXPECT_EQ(texts(list), QStringList({"*1.* Numbers", ".1.2 Fractions", "2. Geometry", "Notes"}));
  list.setRowExpanded(rowOf(20), true);  // loaded as a leaf: stays closed until its parent is read again
  EXPECT_EQ(list.count(), 4);
  t.ReExpand(-1);
  list.setRowExpanded(rowOf(20), true);
  EXPECT_EQ(texts(list), QStringList({"*1.* Numbers", "2. Geometry", ".1.1 Counting", "Notes"}));
}

TEST_F(TreeTest, ShownRootIsTheOpenTopRowAndMiscellaneousRowsNeverHangUnderTheRoot) {
  familyTree& t = showTree(false, false, true);
  EXPECT_EQ(texts(*t.TList()), QStringList({"Root", ".*1.* Numbers", ".2. Geometry", ".Notes"}));
  EXPECT_EQ(t.TList()->expanderState(0), ExpanderState::Loaded);
  t.TList()->setRowExpanded(0, false);
  EXPECT_EQ(t.TList()->count(), 4);
  EXPECT_TRUE(t.TList()->isRowExpanded(0));
  // With miscellaneous rows: none for the root's own questions, a
  // category's below it, carrying its node.
  t.init(1, false, false, true);
  t.SetDisplayedTree(2);
  EXPECT_EQ(t.TList()->count(), 3);
  t.TList()->setRowExpanded(0, true);
  EXPECT_EQ(t.TList()->text(3), "** Miscellaneous '*1.* Numbers' questions **");
  EXPECT_EQ(t.TList()->itemData(3), 10);
  EXPECT_TRUE(t.IsMiscTreeNode(3));
  EXPECT_EQ(t.TList()->expanderState(3), ExpanderState::Leaf);
}

TEST_F(TreeTest, ClickAndArrowKeysMoveAndOpenFindStandardEndsOnBrokenChainsAndSpecialNodesAreColoured) {
  familyTree& t = showTree(false);
  QSignalSpy clicks(&t, &familyTree::Click);
  std::vector<int> hostKeys;
  QObject::connect(&t, &familyTree::KeyDown, &t, [&](std::int16_t& key, std::int16_t&) { hostKeys.push_back(key); });
  clickRow(1);
  EXPECT_EQ(clicks.size(), 1);
  EXPECT_EQ(t.SelectedNodeID, 20);
  clickRow(0);
  QTest::keyClick(t.TList(), Qt::Key_Right);
  EXPECT_EQ(t.TList()->count(), 5);
  QTest::keyClick(t.TList(), Qt::Key_Right);  // already loaded: nothing, still swallowed
  QTest::keyClick(t.TList(), Qt::Key_Left);
  EXPECT_EQ(t.TList()->count(), 3);
  QTest::keyClick(t.TList(), Qt::Key_Left);  // unloaded: nothing
  EXPECT_EQ(hostKeys, std::vector<int>({0, 0, 0, 0}));
  EXPECT_EQ(t.TList()->selectedRow(), 0);
  // The host may swallow a key through the reference it is given.
  QObject::connect(&t, &familyTree::KeyDown, &t, [](std::int16_t& key, std::int16_t&) { key = 0; });
  QTest::keyClick(t.TList(), Qt::Key_Down);
  EXPECT_EQ(t.TList()->selectedRow(), 0);
  // Closing a branch with a click moves the selection out of it.
  t.TList()->setRowExpanded(0, true);
  clickRow(rowOf(12));
  QRect r = t.TList()->visualRect(t.TList()->model()->index(0, 0));
  QTest::mouseClick(t.TList()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(r.left() - 8, r.center().y()));
  EXPECT_EQ(t.TList()->count(), 3);
  EXPECT_EQ(t.TList()->selectedRow(), 0);

  // FindStandard ends on broken chains; special nodes are coloured.
  std::int16_t row = t.FindStandard(MakeNodeKey(2, 13));
  ASSERT_GE(row, 0);
  EXPECT_EQ(t.TList()->itemData(row), 13);
  EXPECT_EQ(t.TList()->level(row), 2);
  EXPECT_EQ(t.FindStandard(MakeNodeKey(2, 77)), -1);
  // 12 becomes its own parent: -1. Then 12 and 13 parent each other: it ends.
  ASSERT_TRUE(RefFindFirst(standard::StandardID, MakeNodeKey(2, 12)));
  ASSERT_TRUE(DbHelper().SetFieldLng(u"parent_id", u"standard", 12));
  EXPECT_EQ(t.FindStandard(MakeNodeKey(2, 13)), -1);
  ASSERT_TRUE(RefFindFirst(standard::StandardID, MakeNodeKey(2, 12)));
  ASSERT_TRUE(DbHelper().SetFieldLng(u"parent_id", u"standard", 13));
  EXPECT_EQ(t.FindStandard(MakeNodeKey(2, 13)), -1);
  t.AddStandardID(MakeNodeKey(2, 13));  // walks the same chain up and down
  EXPECT_EQ(t.StandardDataTags().size(), 2);
  // Special nodes are coloured, and kinds one and two open.
  t.SpecialNodes->insert(NodeNumberKey(10), 1);
  t.SpecialNodes->insert(NodeNumberKey(20), 3);
  t.SelectedNodeID = 10;
  clicks.clear();
  bool skipSeen = false;
  QObject::connect(&t, &familyTree::Click, &t, [&] { skipSeen = t.SkipClick; });
  t.UpdateAllSpecialNodes();
  EXPECT_EQ(t.TList()->color(0), QColor(64, 64, 255));
  EXPECT_TRUE(t.TList()->isRowExpanded(0));
  EXPECT_EQ(t.TList()->color(rowOf(20)), QColor(255, 0, 0));
  EXPECT_EQ(clicks.size(), 1);
  EXPECT_TRUE(skipSeen);
  t.ClearView();
  EXPECT_FALSE(t.SpecialNodes.has_value());
  EXPECT_EQ(t.SelectedNodeID, 0);
  t.RecallView();
  EXPECT_EQ(t.SelectedNodeID, 10);
  EXPECT_EQ(t.SpecialNodes->size(), 2);
}

TEST_F(TreeTest, PickingKeepsNoStandardAboveAnotherAndPicturesFollow) {
  familyTree& t = showTree(false, true);
  t.TList()->setRowExpanded(0, true);
  EXPECT_EQ(t.TList()->picture(0), 121);  // open, top
  EXPECT_EQ(t.TList()->picture(3), 111);  // closed, top
  clickRow(0, true);
  EXPECT_EQ(t.TList()->picture(0), 221);
  clickRow(rowOf(12), true);  // its parent 10 was picked: unpicked now
  EXPECT_EQ(t.StandardDataTags(), BoundedArray<Text>(0, {u"", MakeNodeKey(2, 12)}));
  EXPECT_EQ(t.TList()->picture(0), 121);
  EXPECT_EQ(t.TList()->picture(rowOf(12)), 212);
  t.AddStandardID(MakeNodeKey(2, 12));
  t.AddStandardID(MakeNodeKey(2, 13));  // below 12: 12 goes
  EXPECT_EQ(t.StandardDataTags(), BoundedArray<Text>(0, {u"", MakeNodeKey(2, 13)}));
  clickRow(rowOf(20), true);
  clickRow(rowOf(20), true);  // a second click unpicks
  EXPECT_EQ(t.StandardDataTags().size(), 2);
  EXPECT_EQ(BookPictureIndex(20, true, true, 5), 222);
  EXPECT_EQ(BookPictureIndex(0, false, false, 2), 303);
}

class TreeGroupTest : public test::TreeTest {
protected:
  void SetUp() override {
    TreeTest::SetUp();
    LastStateTreeID = 0;
  }
  // Roots of the given trees (tree 1 titled "Corvane Standards", not the option's default caption).
  void useTrees(const std::vector<std::int16_t>& trees) {
    sample::SampleContent content;
    for (std::int16_t t : trees) {
      std::string title = t == 1 ? "Corvane Standards" : "State " + std::to_string(t);
      content.standards.push_back({t, 1, 0, 1, title, false});
      content.standards.push_back({t, 10, 1, 1, "Child of " + std::to_string(t), false});
    }
    useDatabase(content);
  }
  // Picks a list entry as the user does: opens the list, moves, presses Enter.
  static void pickEntry(QComboBox* combo, int index) {
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Space);
    combo->view()->setCurrentIndex(combo->model()->index(index, 0));
    QTest::keyClick(combo->view(), Qt::Key_Return);
  }

  // On the button's circle: a radio button answers clicks on its circle and caption only.
  static void clickOption(FamilyTreeSelector& s, int index) {
    QTest::mouseClick(s.option(index), Qt::LeftButton, Qt::NoModifier, QPoint(8, s.option(index)->height() / 2));
  }
};

// State trees only, each once (a damaged one has two roots), an untitled one by its number; the preferred
// tree decides the option. A kind of tree the database lacks cannot be chosen; State Only without state
// trees, and a database without any tree, say so.
TEST_F(TreeGroupTest, ListHoldsEachStateTreeOncePreferredTreeDecidesTheOptionAMissingKindCannotBeChosen) {
  sample::SampleContent content;
  content.standards = {{1, 1, 0, 1, " Corvane Standards "}, {2, 1, 0, 1, "Two"}, {2, 1, 0, 2, "Two again"},
                       {2, 10, 1, 1, "Child"}, {3, 1, 0, 1, ""}, {4, 1, 1, 1, "Enciphered four", true}, {450, 1, 0, 1, "Above"}};
  useDatabase(content);
  FamilyTreeSelector selector;
  selector.init();
  QComboBox* list = selector.stateTreeList();
  ASSERT_EQ(list->count(), 4);  // tree 1 is never listed; node 10 is no root
  EXPECT_EQ(list->itemText(0) + "|" + list->itemText(1) + "|" + list->itemText(2), "Two|[State tree 3]|Enciphered four");
  EXPECT_EQ(selector.CorvaneTreeTitle(), u"Corvane Standards");  // the root's title, trimmed
  // No preference, or one not in the list: the first entry; below 400 the
  // option is Corvane.
  for (auto [preferred, type, stateTree] : {std::tuple<std::int16_t, int, int>{0, 0, 2}, {450, 1, 450}, {77, 0, 2}}) {
    LastStateTreeID = preferred;
    FamilyTreeSelector chosen;
    chosen.init();
    EXPECT_EQ(chosen.CurrentTreeType(), type) << preferred;
    EXPECT_EQ(chosen.CurrentStateTreeID(), stateTree) << preferred;
  }

  const struct {
    std::vector<std::int16_t> trees;
    bool corvane, state;
    std::int32_t type;
  } cases[] = {{{2}, false, true, 1}, {{1}, true, false, 0}, {{}, false, false, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.corvane) + std::to_string(c.state));
    folder = dir.file(std::to_string(c.corvane) + std::to_string(c.state));
    useTrees(c.trees);
    MsgText.clear();
    setMsgBoxNextAnswer(MsgResult::Ok);
    setMsgBoxNextAnswer(MsgResult::Ok);
    FamilyTreeSelector s;
    s.init();
    EXPECT_EQ(pendingMsgBoxAnswers(), c.corvane || c.state ? 2u : 1u);  // no tree at all: said at once
    if (!c.corvane && !c.state) {
      EXPECT_EQ(MsgIcon, MsgIcons::Critical);
      EXPECT_EQ(s.CurrentTreeID(), 0);
    }
    EXPECT_EQ(s.IsCorvaneTreeValid(), c.corvane);
    EXPECT_EQ(s.IsStateTreeValid(), c.state);
    EXPECT_EQ(s.CorvaneTreeTitle(), c.corvane ? u"Corvane Standards" : u"Corvane Classification");
    if (!c.state) { EXPECT_EQ(s.StateTreeTitle(), u"[No Standards Installed]"); }
    s.setCurrentTreeType(1 - c.type);  // the missing kind: nothing
    s.StateOnly();
    EXPECT_EQ(s.CurrentTreeType(), c.type);
    EXPECT_EQ(MsgText, c.state ? u"" : u"No category trees found.\r\n\r\nPlease call 1-888-CORVANE or use the Live Chat option on the Help menu for more information.");
    clearMsgBoxAnswers();
  }
}

// The selector raises its events in order; the group shows the chosen tree
// and passes the events on with their tree.
TEST_F(TreeGroupTest, GroupShowsTheChosenTreeAndPassesEventsWithTheirTree) {
  useTrees({1, 2, 3});
  FamilyTreeGroup g;
  g.resize(500, 600);
  g.show();
  std::vector<std::string> order;
  QObject::connect(&g, &FamilyTreeGroup::StandardTreeOptionButtonClick,
                   [&](familyTree* now, familyTree* before) {
                     order.push_back("option");
                     EXPECT_NE(now, before);
                   });
  QObject::connect(&g, &FamilyTreeGroup::StandardTreeComboClick, [&] { order.push_back("combo"); });
  g.init(true, false, false, false, 1);
  EXPECT_EQ(g.CurrentFamilyTree(), g.ftTree(0));  // Corvane shown after init
  EXPECT_EQ(g.CurrentTreeID(), 1);
  EXPECT_TRUE(g.ftTree(0)->isVisible());
  EXPECT_FALSE(g.ftTree(1)->isVisible());
  // The selector's own events, in the order they come.
  FamilyTreeSelector& s = *g.ftsSelector();
  std::vector<std::string> events;
  QObject::connect(&s, &FamilyTreeSelector::StandardTreeOptionButtonClick, [&] { events.push_back("option"); });
  QObject::connect(&s, &FamilyTreeSelector::StandardTreeComboClick, [&] { events.push_back("combo"); });
  QObject::connect(&s, &FamilyTreeSelector::TreeIDChanged, [&] { events.push_back("changed"); });
  pickEntry(s.stateTreeList(), 1);
  EXPECT_EQ(events, std::vector<std::string>({"option", "changed", "combo", "changed"}));
  EXPECT_EQ(s.CurrentTreeID(), 3);
  events.clear();
  pickEntry(s.stateTreeList(), 0);
  EXPECT_EQ(events, std::vector<std::string>({"combo", "changed"}));
  events.clear();
  clickOption(s, 1);  // already selected: nothing
  EXPECT_TRUE(events.empty());
  clickOption(s, 0);
  EXPECT_EQ(events, std::vector<std::string>({"option", "changed"}));
  EXPECT_EQ(s.CurrentTreeID(), 1);
  order.clear();
  g.StateOnly();
  EXPECT_EQ(g.CurrentFamilyTree(), g.ftTree(1));
  EXPECT_EQ(g.CurrentTreeID(), 2);
  EXPECT_EQ(g.ftTree(1)->TList()->text(0), "Child of 2");
  pickEntry(g.ftsSelector()->stateTreeList(), 1);
  EXPECT_EQ(order, std::vector<std::string>({"option", "combo"}));
  EXPECT_EQ(g.CurrentTreeID(), 3);
  EXPECT_EQ(LastStateTreeID, 3);

  // Tree events come through with the control that raised them and with its own variables.
  familyTree* seen = nullptr;
  QObject::connect(&g, &FamilyTreeGroup::FamilyTreeClick, [&](familyTree* t) { seen = t; });
  QObject::connect(&g, &FamilyTreeGroup::FamilyTreeKeyDown, [](familyTree*, std::int16_t& key, std::int16_t&) { key = 0; });
  TreeList* list = g.ftTree(1)->TList();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->textRect(0).center());
  EXPECT_EQ(seen, g.ftTree(1));
  QTest::keyClick(list, Qt::Key_Down);  // swallowed by the host
  EXPECT_EQ(list->selectedRow(), 0);
  EXPECT_EQ(g.MergedStandardTags(), BoundedArray<Text>(0, {Text()}));
}

class TreeEditingTest : public test::TreeTest {
protected:
  // "Order" and parent of every live standard of tree 2, as dbfread reads them.
  std::string rowsOfTree2() const {
    std::string out;
    for (const test::StoredStandard& row : test::standardsByDbfread(folder + "/standard.dbf"))
      if (row.tree == 2 && !row.deleted)
        out += std::to_string(row.node) + ":" + std::to_string(row.parent) + ":" + std::to_string(row.order) + ":" + row.title + "\n";
    return out;
  }
  void expectRow(const std::string& line) const {
    const std::string rows = rowsOfTree2();
    EXPECT_NE(rows.find(line), std::string::npos) << line << "in\n" << rows;
  }
  QLineEdit* editor() const { return tree->editBox(); }
  void typeInEditor(const QString& text) {
    editor()->selectAll();
    QTest::keyClicks(editor(), text);
  }
  // Opens the editor on node's row with F2 and types text over its title.
  void retitle(std::int32_t node, const QString& text) {
    clickRow(rowOf(node));
    QTest::keyClick(tree->TList(), Qt::Key_F2);
    typeInEditor(text);
  }
  QPushButton* button(const char* name) const { return tree->findChild<QPushButton*>(QString::fromLatin1(name)); }
};

// F2 and Space open the editor; Enter writes the title, Escape leaves the table as it was, and the down
// arrow writes and moves on. The editor holds the title as stored, whatever the rows show; left as it was
// given, nothing is written, also where the title is enciphered and the editor shows a stand-in decoding of it.
TEST_F(TreeEditingTest, EnterAndDownWriteTheTitleEscapeAndAnUnchangedEditorWriteNothing) {
  sample::SampleContent content = test::smallTrees();
  content.standards.push_back({2, 40, 1, 4, test::foreignEnciphered("4. Secret")});
  familyTree& t = showTree(true, false, false, content);
  std::vector<bool> okStates;
  QObject::connect(&t, &familyTree::UpdateOK, [&](bool& ok, bool&, bool&) { okStates.push_back(ok); });
  clickRow(rowOf(20));
  QTest::keyClick(t.TList(), Qt::Key_F2);
  ASSERT_TRUE(editor()->isVisible());
  EXPECT_EQ(editor()->text(), "2. Geometry");
  EXPECT_EQ(editor()->selectedText(), "Geometry");  // the number stays outside the selection
  EXPECT_EQ(editor()->maxLength(), 254);
  QTest::keyClicks(editor(), "Shapes and solids");
  QTest::keyClick(editor(), Qt::Key_Return);
  EXPECT_FALSE(editor()->isVisible());
  // A state tree keeps the text as typed; a numbered place becomes 999.
  expectRow("20:1:999:2. Shapes and solids\n");
  EXPECT_EQ(t.TList()->text(t.TList()->selectedRow()), "2. Shapes and solids");
  ASSERT_GE(okStates.size(), 2u);  // off while the editor is open, on again after
  EXPECT_FALSE(okStates.front());
  EXPECT_TRUE(okStates.back());

  std::string before = test::readWholeFile(folder + "/standard.dbf");
  clickRow(rowOf(10));
  QTest::keyClick(t.TList(), Qt::Key_Space);
  QTest::keyClicks(editor(), "changed");
  okStates.clear();
  QTest::keyClick(editor(), Qt::Key_Escape);
  EXPECT_FALSE(editor()->isVisible());
  EXPECT_TRUE(!okStates.empty() && okStates.back());
  EXPECT_EQ(test::readWholeFile(folder + "/standard.dbf"), before);

  retitle(20, "2. Solids and shapes");  // as long as the title it replaces
  QTest::keyClick(editor(), Qt::Key_Down);
  expectRow("20:1:999:2. Solids and shapes\n");
  // 999 put it last among its siblings; the row below it is selected.
  EXPECT_EQ(t.TList()->selectedRow(), rowOf(20) + 1);

  before = test::readWholeFile(folder + "/standard.dbf");
  for (std::int32_t mode : {DisplayShort, DisplayStored, DisplayPlain}) {
    t.StandardDisplayMode = mode;
    t.SetDisplayedTree(2);
    for (std::int32_t node : {10, 40}) {
      clickRow(rowOf(node));
      QTest::keyClick(t.TList(), node == 10 ? Qt::Key_F2 : Qt::Key_Space);
      if (node == 10) {
        EXPECT_EQ(editor()->text(), "*1.* Numbers") << mode;
      }
      QTest::keyClick(editor(), Qt::Key_Return);
    }
  }
  EXPECT_EQ(test::readWholeFile(folder + "/standard.dbf"), before);
  // A change in the short display is stored as typed, markers and all.
  retitle(10, "*1.* Whole numbers");
  QTest::keyClick(editor(), Qt::Key_Return);
  expectRow("10:1:999:*1.* Whole numbers\n");
}

// Editing gives every node an expander and create-new rows. They open the
// editor at one click, in a numbered tree with the next number; the down
// arrow on one writes, opens the new category and selects its own create-new row.
TEST_F(TreeEditingTest, CreateNewRowsMakeNumberedCategoriesInANumberedTree) {
  familyTree& t = showTree(true);
  TreeList& list = *t.TList();
  EXPECT_EQ(list.text(3), "[Create New Level 1 Category...]");
  EXPECT_EQ(list.itemData(3), 0);
  EXPECT_EQ(list.expanderState(1), ExpanderState::Unloaded);  // no children, but editing
  list.setRowExpanded(1, true);
  EXPECT_EQ(texts(list), QStringList({"*1.* Numbers", "2. Geometry", ".[Create New Level 2 Category...]", "Notes",
                                      "[Create New Level 1 Category...]"}));
  t.CurrentTreeType = 0;  // numbered editing
  t.TList()->setRowExpanded(rowOf(10), true);
  int createRow = rowOf(10) + 3;
  ASSERT_EQ(t.TList()->text(createRow), "[Create New Level 2 Category...]");
  clickRow(createRow);
  ASSERT_TRUE(editor()->isVisible());
  EXPECT_FALSE(button("cmdDelete")->isEnabled());
  EXPECT_EQ(editor()->text(), "3. ");
  QTest::keyClicks(editor(), "Decimals");
  QTest::keyClick(editor(), Qt::Key_Return);
  expectRow(":10:3:Decimals\n");
  // Without a number it goes to the end of the unnumbered places.
  clickRow(t.TList()->count() - 1);
  typeInEditor("Puzzles");
  QTest::keyClick(editor(), Qt::Key_Down);
  expectRow(":1:801:Puzzles\n");
  expectRow("30:1:800:Notes\n");
  int created = t.TList()->selectedRow() - 1;
  EXPECT_EQ(t.TList()->text(created), "Puzzles");
  EXPECT_EQ(t.TList()->parentRow(t.TList()->selectedRow()), created);
}

// Move swaps places and stops at the ends; Delete, on the moved row, asks
// first, then promotes the children.
TEST_F(TreeEditingTest, MoveSwapsPlacesAndDeleteAsksThenPromotesTheChildren) {
  familyTree& t = showTree(true);
  clickRow(rowOf(10));
  std::string before = rowsOfTree2();
  QTest::mouseClick(button("cmdMoveUp"), Qt::LeftButton);  // first child: nothing
  EXPECT_EQ(rowsOfTree2(), before);
  QTest::mouseClick(button("cmdMoveDown"), Qt::LeftButton);
  expectRow("10:1:2:");
  expectRow("20:1:1:");
  EXPECT_EQ(t.TList()->itemData(t.TList()->selectedRow()), 10);
  EXPECT_EQ(t.TList()->itemData(0), 20);

  setMsgBoxNextAnswer(MsgResult::No);
  QTest::keyClick(t.TList(), Qt::Key_Delete);
  EXPECT_EQ(MsgText, u"Are you sure you wish to delete the category '*1.* Numbers'?  Any subcategories under it will be "
                     u"promoted to be subcategories of its parent category.");
  EXPECT_EQ(MsgIcon, MsgIcons::Exclamation);
  EXPECT_EQ(DefaultButton, 2);
  expectRow("10:1:2:");
  setMsgBoxNextAnswer(MsgResult::Yes);
  QTest::mouseClick(button("cmdDelete"), Qt::LeftButton);
  EXPECT_EQ(rowsOfTree2().find("10:1:"), std::string::npos) << rowsOfTree2();
  expectRow("11:1:1:1.1 Counting\n");
  expectRow("12:1:2:1.2 Fractions\n");
  EXPECT_EQ(t.TList()->findItemData(10, 0, t.TList()->count() - 1), -1);
  EXPECT_GE(rowOf(11), 0);
}

// The drop as the list receives it; the drag itself is driven with real
// mouse events by the program test under a display.
void drop(TreeList* list, const QString& text, int row, Qt::KeyboardModifiers modifiers) {
  QMimeData data;
  data.setText(text);
  QPoint at = list->textRect(row).center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, modifiers);
  QCoreApplication::sendEvent(list->viewport(), &enter);
  QDropEvent event(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, modifiers);
  QCoreApplication::sendEvent(list->viewport(), &event);
}

TEST_F(TreeEditingTest, DropsReparentByModifierAndRefuseLoops) {
  familyTree& t = showTree(true);
  TreeList* list = t.TList();
  clickRow(rowOf(20));
  drop(list, "20", rowOf(10), Qt::ShiftModifier);  // child of 10
  expectRow("20:10:2:");
  EXPECT_EQ(list->itemData(list->selectedRow()), 20);
  EXPECT_EQ(list->itemData(list->parentRow(list->selectedRow())), 10);
  t.FindStandard(MakeNodeKey(2, 13));
  clickRow(rowOf(13));
  drop(list, "13", rowOf(20), Qt::ControlModifier);  // sibling of 20, under 10
  expectRow("13:10:1:");
  std::string before = rowsOfTree2();
  clickRow(rowOf(10));
  drop(list, "10", rowOf(13), Qt::ShiftModifier);  // under its own child
  drop(list, "77", rowOf(30), Qt::ShiftModifier);  // text that is not the dragged row
  EXPECT_EQ(rowsOfTree2(), before);
}

// The editor belongs to its node: whatever is pressed while it is open, the
// typed title lands on the node it was opened on, and no other title moves.
class EditorOpenTest : public TreeEditingTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EditorOpenTest, ACommandFinishesTheEditOnItsOwnNode) {
  showTree(true);
  retitle(10, "Renamed");
  setMsgBoxNextAnswer(MsgResult::No);  // the delete's question
  const QString command = QString::fromLatin1(GetParam());
  if (command == "row")
    clickRow(rowOf(20));
  else
    QTest::mouseClick(button(GetParam()), Qt::LeftButton);
  if (editor()->isVisible()) QTest::keyClick(editor(), Qt::Key_Return);
  EXPECT_EQ(stored(10).title, "Renamed");
  EXPECT_EQ(stored(20).title, "2. Geometry");
  EXPECT_EQ(stored(30).title, "Notes");
  EXPECT_EQ(stored(11).title, "1.1 Counting");
}

INSTANTIATE_TEST_SUITE_P(Commands, EditorOpenTest,
                         ::testing::Values("cmdMoveUp", "cmdMoveDown", "cmdRename", "cmdDelete", "row"));

// Another window taking the focus does not end the edit; this window's
// list taking it does.
TEST_F(TreeEditingTest, FocusLostToAnotherWindowKeepsTheEditOpenAndACancelledWaitWritesNothing) {
  familyTree& t = showTree(true);
  const std::string before = test::readWholeFile(folder + "/standard.dbf");
  retitle(20, "Half typ");
  QWidget otherWindow;
  otherWindow.show();
  otherWindow.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&otherWindow));
  EXPECT_TRUE(editor()->isVisible());
  EXPECT_EQ(test::readWholeFile(folder + "/standard.dbf"), before);
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  t.TList()->setFocus();
  expectRow("20:1:999:Half typ\n");

  // A record another program holds, and a wait the user cancels: nothing is
  // written, the user is told, and no lock stays behind.
  std::unique_ptr<table::Table> other;
  ASSERT_TRUE(table::Table::open(folder + "/standard.dbf", true, &other).isOk());
  ASSERT_TRUE(other->lockRecord(6).isOk());  // node 20
  const std::string rows = rowsOfTree2();
  retitle(20, "Blocked");
  setMsgBoxNextAnswer(MsgResult::Ok);
  QTest::keyClick(editor(), Qt::Key_Return);
  EXPECT_EQ(MsgText, u"The new title was not written: another program is changing the category, and the wait for it was "
                     u"cancelled.");
  clickRow(rowOf(20));
  setMsgBoxNextAnswer(MsgResult::Ok);
  drop(t.TList(), "20", rowOf(10), Qt::ShiftModifier);
  EXPECT_EQ(MsgText.substr(0, 31), u"The new parent was not written:");
  EXPECT_EQ(rowsOfTree2(), rows);
  ASSERT_TRUE(other->unlockAll().isOk());
  // Every lock the edits took was given back.
  for (std::uint32_t recno = 1; recno <= 10; ++recno) EXPECT_TRUE(other->lockRecord(recno).isOk()) << recno;
}

} // namespace
} // namespace pu
