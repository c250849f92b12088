#pragma once
// The prefix window on a small course database.
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "app/frm_prefix_util.h"
#include "msgbox/msg_box.h"
#include "tests/db/course_db_fixture.h"
#include "tests/platform/table/independent_reader.h"
#include "tree/family_tree_group.h"
#include "tree/family_tree_selector.h"

namespace pu::test {

class PrefixWindowTest : public CourseDbTest {
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
  // Records: 1 Corvane root, 2 root of 5, 3 node 10, 4 node 11, 5 node 12,
  // 6 node 20, 7 and 8 tree 7, then the extra rows.
  void open(int levelsOfTree5 = 2, const std::vector<sample::StandardRow>& extra = {}) {
    sample::SampleContent content;
    content.standards = {{1, 1, 0, 1, "Corvane Classification"}, {5, 1, 0, 1, "Reading"},
                         {5, 10, 1, 1, "1 Stories"},            {5, 11, 10, 1, "1.2 Adding fractions"},
                         {5, 12, 10, 2, "3.4 Subtracting"},     {5, 20, 1, 2, "2: Poems"},
                         {7, 1, 0, 1, "Writing"},               {7, 10, 1, 1, "3.4 Letters"}};
    content.standards.insert(content.standards.end(), extra.begin(), extra.end());
    sample::StateTree rules{5, {}};
    for (int k = 1; k <= levelsOfTree5; ++k) rules.levels.push_back({"A" + std::to_string(k), "Z", k == 2 ? "1" : "0"});
    content.stateTrees = {rules, {7, {{"1", "9", "0"}}}};
    useDatabase(content);
    window = std::make_unique<frmPrefixUtil>();
    window->show();
    window->activateWindow();  // a display without a window manager activates nothing itself
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
  // Highlights characters [start, start + length) of the box with the keyboard.
  void highlight(int start, int length) {
    QLineEdit* box = window->selectBox();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 0; i < start; ++i) QTest::keyClick(box, Qt::Key_Right);
    for (int i = 0; i < length; ++i) QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
  }
  std::string dump() const { return dbfreadDump(folder + "/standard.dbf"); }

  std::unique_ptr<frmPrefixUtil> window;
};

} // namespace pu::test
