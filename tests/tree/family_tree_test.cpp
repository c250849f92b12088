#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "db/course_tables.h"
#include "db/database_helper.h"
#include "tests/tree/tree_fixture.h"
#include "tree/tree_text.h"

namespace pu {
namespace {

using test::TreeTest;

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

TEST_F(TreeTest, TopLevelIsTheRootsChildrenWithoutNode998AndAFilterLetsThroughItsNodes) {
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

TEST_F(TreeTest, EditingGivesEveryNodeAnExpanderAndCreateNewRows) {
  familyTree& t = showTree(true);
  TreeList& list = *t.TList();
  EXPECT_EQ(list.text(3), "[Create New Level 1 Category...]");
  EXPECT_EQ(list.itemData(3), 0);
  EXPECT_EQ(list.expanderState(1), ExpanderState::Unloaded);  // no children, but editing
  list.setRowExpanded(1, true);
  EXPECT_EQ(texts(list), QStringList({"*1.* Numbers", "2. Geometry", ".[Create New Level 2 Category...]", "Notes",
                                      "[Create New Level 1 Category...]"}));
}

TEST_F(TreeTest, BranchesLoadOnExpandAndAreReadAfreshWhenReopened) {
  familyTree& t = showTree(false);
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

TEST_F(TreeTest, ClickSelectsArrowKeysOpenAndCloseAndAreSwallowedAndClosingMovesTheSelection) {
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
}

TEST_F(TreeTest, FindStandardEndsOnBrokenChainsAndSpecialNodesAreColoured) {
  familyTree& t = showTree(false);
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
  QSignalSpy clicks(&t, &familyTree::Click);
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

} // namespace
} // namespace pu
