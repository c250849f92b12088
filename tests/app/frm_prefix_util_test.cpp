#include <QCheckBox>
#include <QComboBox>

#include "db/message_hook.h"
#include "msgbox/msg_box_state.h"
#include "platform/controls/window_layout.h"
#include "platform/table/table.h"
#include "tests/app/prefix_window_fixture.h"
#include "tests/support/ui_driver.h"

namespace pu {
namespace {

using test::PrefixWindowTest;

TEST_F(PrefixWindowTest, OpensOnStateTreesAClickShowsTitleAndRulesAWriteKeepsItsRowAnotherTreeClears) {
  open();
  EXPECT_EQ(window->windowTitle(), "List Prefix");
  EXPECT_EQ(window->familyTreeList()->CurrentTreeType(), 1);
  EXPECT_EQ(window->familyTreeList()->CurrentTreeID(), 5);
  EXPECT_EQ(tree()->TList()->text(0), "1 Stories");
  QTableWidget* grid = window->prefixTable();
  EXPECT_EQ(grid->rowCount(), 10);
  EXPECT_EQ(cell(0, 0) + cell(0, 1) + cell(0, 2), "LevelPrefixParent");
  EXPECT_EQ(cell(1, 0), "");
  for (const char* name : {"setPrefixBut", "cmdVossa", "closeBut", "selectBox", "includeParentCheck", "chkShowShortTitle"})
    EXPECT_FALSE(window->findChild<QWidget*>(QString::fromLatin1(name))->accessibleName().isEmpty()) << name;
  // Nothing clicked yet: Set Prefix changes nothing.
  std::string before = dump();
  press("setPrefixBut");
  EXPECT_EQ(dump(), before);

  // A click shows the standard's plain title and its tree's rules.
  clickNode(11);
  EXPECT_EQ(window->selectBox()->text(), "1.2 Adding fractions");
  EXPECT_EQ(window->CurrentNodeID, 11);
  EXPECT_EQ(cell(1, 0) + "|" + cell(1, 1) + "|" + cell(1, 2), "1|A1 ... Z|0");
  EXPECT_EQ(cell(2, 1), "A2 ... Z");
  EXPECT_EQ(cell(3, 0), "");

  // A click in the tree while the write waits for another program's lock
  // moves the table; the write still goes to the row it was for.
  std::unique_ptr<table::Table> other;
  ASSERT_TRUE(table::Table::open(folder + "/standard.dbf", true, &other).isOk());
  ASSERT_TRUE(other->lockRecord(5).isOk());  // node 12
  highlight(0, 3);
  int events = 0;
  setEventHook([&] {
    if (++events == 3) clickNode(20);
    if (events == 6) (void)other->unlockAll();
    QCoreApplication::processEvents();
  });
  press("setPrefixBut");
  setEventHook({});
  EXPECT_GE(events, 6);
  before = dump();
  EXPECT_NE(before.find("DESCRIPT=*1.2 *Adding fractions\t"), std::string::npos) << before;
  EXPECT_NE(before.find("DESCRIPT=*3.4 *Subtracting\t"), std::string::npos) << before;
  EXPECT_NE(before.find("DESCRIPT=2: Poems\t"), std::string::npos) << before;
  EXPECT_NE(before.find("DESCRIPT=3.4 Letters\t"), std::string::npos) << before;

  // A standard picked in one tree is no example for another tree: picking
  // a tree clears it, and Set Prefix then changes nothing.
  highlight(0, 3);
  QComboBox* trees = window->familyTreeList()->ftsSelector()->stateTreeList();
  trees->setFocus();
  QTest::keyClick(trees, Qt::Key_Down);  // tree 7, whose node 11 does not exist but whose depths do
  ASSERT_EQ(window->familyTreeList()->CurrentTreeID(), 7);
  EXPECT_EQ(window->selectBox()->text(), "");
  press("setPrefixBut");
  EXPECT_EQ(dump(), before);
  // More levels than rows grow the grid.
  window.reset();
  LastStateTreeID = 0;  // else the tree picked last opens again
  folder = dir.file("twelve levels");
  open(12);
  clickNode(10);
  EXPECT_EQ(window->prefixTable()->rowCount(), 13);
  EXPECT_EQ(cell(12, 1), "A12 ... Z");
}

// After a command (with Include Parent ticked) the tree keeps its open branches and selected row, the grid its rows, and the box its text
// and highlight; the report box closing is no new activation. A clicked title shows from its start.
TEST_F(PrefixWindowTest, ACommandKeepsWhatTheUserSeesAndReplaceAndShortTitlesReloadTheTree) {
  open(2, {{5, 13, 10, 3, test::foreignEnciphered("9 Hidden")}});
  window->selectBox()->setFixedWidth(40);
  clickNode(11);
  EXPECT_EQ(window->selectBox()->cursorPosition(), 0);
  highlight(0, 3);
  QCheckBox* includeParent = control<QCheckBox>("includeParentCheck");
  QTest::mouseClick(includeParent, Qt::LeftButton, Qt::NoModifier, QPoint(8, includeParent->height() / 2));
  ASSERT_TRUE(includeParent->isChecked());
  bool shown = false;
  test::whenShown(QStringLiteral("frmMsgBox"), [&](QWidget* box) {
    shown = true;
    QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("btnButton1")), Qt::LeftButton);
  });
  press("setPrefixBut");
  ASSERT_TRUE(shown);
  EXPECT_EQ(MsgText, u"1 title was left unchanged: it is stored enciphered and cannot be deciphered here.");
  EXPECT_EQ(MsgIcon, MsgIcons::Information);
  QTest::qWait(100);  // time for the activation that closing the box must not cause
  TreeList* list = tree()->TList();
  int row = list->findItemData(11, 0, list->count() - 1);
  ASSERT_GE(row, 0);
  EXPECT_EQ(list->selectedRow(), row);
  EXPECT_EQ(list->text(row), "*1 Stories1.2 *Adding fractions");  // an unmarked parent's short title is all of it
  EXPECT_EQ(cell(1, 1), "A1 ... Z");
  EXPECT_EQ(window->selectBox()->selectedText(), "1.2 ");  // grown by the blank after it
  EXPECT_EQ(BusyCount, 0);
  // Replace and the short-titles switch read the tree again; the grid stays.
  press("cmdVossa");
  EXPECT_NE(dump().find("DESCRIPT=2:*Poems\t"), std::string::npos);
  EXPECT_EQ(list->text(list->findItemData(20, 0, list->count() - 1)), "2:*Poems");
  QCheckBox* shortTitles = control<QCheckBox>("chkShowShortTitle");
  QTest::mouseClick(shortTitles, Qt::LeftButton, Qt::NoModifier, QPoint(8, shortTitles->height() / 2));
  ASSERT_TRUE(shortTitles->isChecked());
  EXPECT_EQ(tree()->StandardDisplayMode, 1);
  EXPECT_EQ(list->text(list->findItemData(20, 0, list->count() - 1)), "2:");
  EXPECT_EQ(cell(1, 1), "A1 ... Z");
}

} // namespace
} // namespace pu
