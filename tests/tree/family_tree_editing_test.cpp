#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <gtest/gtest.h>

#include "db/state_prefix.h"
#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "platform/table/table.h"
#include "tests/support/temp_dir.h"
#include "tests/tree/tree_fixture.h"

namespace pu {
namespace {

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

// F2 and Space open the editor; Enter writes the title, Escape leaves the
// table as it was, and the down arrow writes and moves on.
TEST_F(TreeEditingTest, EnterAndDownWriteTheTitleAndEscapeLeavesIt) {
  familyTree& t = showTree(true);
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

  const std::string before = test::readWholeFile(folder + "/standard.dbf");
  clickRow(rowOf(10));
  QTest::keyClick(t.TList(), Qt::Key_Space);
  QTest::keyClicks(editor(), "changed");
  okStates.clear();
  QTest::keyClick(editor(), Qt::Key_Escape);
  EXPECT_FALSE(editor()->isVisible());
  EXPECT_TRUE(!okStates.empty() && okStates.back());
  EXPECT_EQ(test::readWholeFile(folder + "/standard.dbf"), before);

  retitle(20, "2. Space");
  QTest::keyClick(editor(), Qt::Key_Down);
  expectRow("20:1:999:2. Space\n");
  // 999 put it last among its siblings; the row below it is selected.
  EXPECT_EQ(t.TList()->selectedRow(), rowOf(20) + 1);
  expectTagsConsistent("standard");
}

// Create-new rows open the editor at one click, in a numbered tree with the
// next number; the down arrow on one writes, opens the new category and
// selects its own create-new row.
TEST_F(TreeEditingTest, CreateNewRowsMakeNumberedCategoriesInANumberedTree) {
  familyTree& t = showTree(true);
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
  expectTagsConsistent("standard");
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
  expectTagsConsistent("standard");
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
  expectTagsConsistent("standard");
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
  expectTagsConsistent("standard");
}

INSTANTIATE_TEST_SUITE_P(Commands, EditorOpenTest,
                         ::testing::Values("cmdMoveUp", "cmdMoveDown", "cmdRename", "cmdDelete", "row"));

// The editor holds the title as stored, whatever the rows show; left as it
// was given, nothing is written, also where the title is enciphered and the
// editor shows a stand-in decoding of it.
TEST_F(TreeEditingTest, AnUnchangedEditorWritesNothingInEveryDisplayMode) {
  sample::SampleContent content = test::smallTrees();
  content.standards.push_back({2, 40, 1, 4, test::foreignEnciphered("4. Secret")});
  familyTree& t = showTree(true, false, false, content);
  const std::string before = test::readWholeFile(folder + "/standard.dbf");
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
