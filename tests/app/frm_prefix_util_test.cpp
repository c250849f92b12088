#include "app/frm_prefix_util.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/controls/window_layout.h"
#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "tests/db/course_db_fixture.h"
#include "tests/platform/table/independent_reader.h"
#include "tree/family_tree_group.h"
#include "tree/family_tree_selector.h"

namespace pu {
namespace {

using sample::StandardRow;

class PrefixWindowTest : public test::CourseDbTest {
protected:
  void SetUp() override {
    clearMsgBoxAnswers();
    LastStateTreeID = 0;
  }
  void TearDown() override {
    window.reset();
    clearMsgBoxAnswers();
    test::CourseDbTest::TearDown();
  }

  // State tree 5 with two levels of numbered titles, tree 7 with one rule.
  void open(int levelsOfTree5 = 2) {
    sample::SampleContent content;
    content.standards = {{1, 1, 0, 1, "Corvane Classification"}, {5, 1, 0, 1, "Reading"},
                         {5, 10, 1, 1, "1 Stories"},            {5, 11, 10, 1, "1.2 Adding fractions"},
                         {5, 12, 10, 2, "3.4 Subtracting"},     {5, 20, 1, 2, "2: Poems"},
                         {7, 1, 0, 1, "Writing"},               {7, 10, 1, 1, "3.4 Letters"}};
    sample::StateTree rules{5, {}};
    for (int k = 1; k <= levelsOfTree5; ++k) rules.levels.push_back({"A" + std::to_string(k), "Z", k == 2 ? "1" : "0"});
    content.stateTrees = {rules, {7, {{"1", "9", "0"}}}};
    useDatabase(content);
    window = std::make_unique<frmPrefixUtil>();
    window->show();
    // The activation runs once the window system has made the window active.
    ASSERT_TRUE(QTest::qWaitFor([this] { return cell(0, 0) == "Level"; }, 5000));
  }
  familyTree* tree() const { return window->familyTreeList()->CurrentFamilyTree(); }
  void clickNode(std::int32_t node) {
    familyTree* t = tree();
    if (t->FindStandard(MakeNodeKey(t->CurrentTreeID, node)) < 0) FAIL() << "node " << node << " not shown";
    TreeList* list = t->TList();
    int row = list->findItemData(node, 0, list->count() - 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->textRect(row).center());
  }
  QString cell(int row, int column) const {
    QTableWidgetItem* item = window->prefixTable()->item(row, column);
    return item ? item->text() : QString();
  }
  template <typename W>
  W* control(const char* name) const {
    return window->findChild<W*>(QString::fromLatin1(name));
  }
  void press(const char* button) { QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton); }
  std::string dump() const { return test::dbfreadDump(folder + "/standard.dbf"); }

  std::unique_ptr<frmPrefixUtil> window;
};

TEST_F(PrefixWindowTest, OpensOnTheStateTreesWithAnEmptyRulesGrid) {
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
}

TEST_F(PrefixWindowTest, ClickingAStandardShowsItsPlainTitleAndItsTreesRules) {
  open();
  clickNode(11);
  EXPECT_EQ(window->selectBox()->text(), "1.2 Adding fractions");
  EXPECT_EQ(window->CurrentNodeID, 11);
  EXPECT_EQ(cell(1, 0) + "|" + cell(1, 1) + "|" + cell(1, 2), "1|A1 ... Z|0");
  EXPECT_EQ(cell(2, 1), "A2 ... Z");
  EXPECT_EQ(cell(3, 0), "");
}

TEST_F(PrefixWindowTest, MoreLevelsThanRowsGrowTheGrid) {
  open(12);
  clickNode(10);
  EXPECT_EQ(window->prefixTable()->rowCount(), 13);
  EXPECT_EQ(cell(12, 1), "A12 ... Z");
}

TEST_F(PrefixWindowTest, SetPrefixMarksTheHighlightedIdentifierAtThatDepth) {
  open();
  clickNode(11);
  QLineEdit* box = window->selectBox();
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Home);
  for (int i = 0; i < 3; ++i) QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);  // "1.2"
  press("setPrefixBut");
  EXPECT_EQ(box->selectedText(), "1.2 ");  // grown by the blank after it
  std::string rows = dump();
  EXPECT_NE(rows.find("DESCRIPT=*1.2 *Adding fractions\t"), std::string::npos) << rows;
  EXPECT_NE(rows.find("DESCRIPT=*3.4 *Subtracting\t"), std::string::npos) << rows;
  EXPECT_NE(rows.find("DESCRIPT=1 Stories\t"), std::string::npos) << rows;    // other depth
  EXPECT_NE(rows.find("DESCRIPT=3.4 Letters\t"), std::string::npos) << rows;  // other tree
  EXPECT_EQ(BusyCount, 0);
}

TEST_F(PrefixWindowTest, ReplaceTurnsColonBlankIntoColonMarkerInTheCurrentTree) {
  open();
  press("cmdVossa");
  std::string rows = dump();
  EXPECT_NE(rows.find("DESCRIPT=2:*Poems\t"), std::string::npos) << rows;
  EXPECT_EQ(tree()->TList()->text(1), "2:*Poems");  // the tree was read again
}

TEST_F(PrefixWindowTest, ShortTitlesReloadTheTreeAndKeepTheGrid) {
  open();
  clickNode(20);
  press("cmdVossa");
  QCheckBox* shortTitles = control<QCheckBox>("chkShowShortTitle");
  QTest::mouseClick(shortTitles, Qt::LeftButton, Qt::NoModifier, QPoint(8, shortTitles->height() / 2));
  ASSERT_TRUE(shortTitles->isChecked());
  EXPECT_EQ(tree()->StandardDisplayMode, 1);
  EXPECT_EQ(tree()->TList()->text(1), "2:");
  EXPECT_EQ(cell(1, 1), "A1 ... Z");
}

TEST_F(PrefixWindowTest, ResizingKeepsTheCommandsBesideTheTree) {
  open();
  QWidget* group = window->familyTreeList();
  QWidget* setPrefix = control<QPushButton>("setPrefixBut");
  QWidget* grid = window->prefixTable();
  int gap = setPrefix->x() - group->geometry().right();
  int below = window->height() - grid->geometry().bottom();
  int gridWidth = grid->width();
  int groupHeight = group->height();
  window->resize(window->width() + 200, window->height() + 100);
  EXPECT_EQ(setPrefix->x() - group->geometry().right(), gap);
  EXPECT_EQ(window->height() - grid->geometry().bottom(), below);
  EXPECT_EQ(grid->width(), gridWidth + 200);
  EXPECT_EQ(group->height(), groupHeight + 100);
  press("closeBut");
  EXPECT_FALSE(window->isVisible());
}

} // namespace
} // namespace pu
