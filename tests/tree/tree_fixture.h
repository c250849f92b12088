#pragma once
// A course database with a small state tree, and a family tree control shown in a window on it.
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "msgbox/msg_box.h"
#include "tests/db/course_db_fixture.h"
#include "tree/family_tree.h"

namespace pu::test {

// Tree 2:  1 Root
//            10 "*1.* Numbers"      11 "1.1 Counting"
//                                   12 "1.2 Fractions"   13 "1.2.1 Halves"
//            20 "2. Geometry"
//            998 (never listed)
//            30 "Notes" (unnumbered)
// Tree 1 (Corvane): 1 "Corvane Classification", 5 "Reading".
inline sample::SampleContent smallTrees() {
  return treeOf({{2, 10, 1, 1, "*1.* Numbers"},
                 {2, 11, 10, 1, "1.1 Counting"},
                 {2, 12, 10, 2, "1.2 Fractions"},
                 {2, 13, 12, 1, "1.2.1 Halves"},
                 {2, 20, 1, 2, "2. Geometry"},
                 {2, 998, 1, 3, "Kept for the product"},
                 {2, 30, 1, 800, "Notes"},
                 {1, 1, 0, 1, "Corvane Classification"},
                 {1, 5, 1, 1, "Reading"}});
}

class TreeTest : public CourseDbTest {
protected:
  void SetUp() override { clearMsgBoxAnswers(); }
  void TearDown() override {
    window.reset();
    clearMsgBoxAnswers();
    CourseDbTest::TearDown();
  }
  // A control on the content, init'ed and showing tree 2.
  familyTree& showTree(bool editAllowed, bool selectAllowed = false, bool displayRoot = false,
                       const sample::SampleContent& content = smallTrees()) {
    useDatabase(content);
    window = std::make_unique<QWidget>();
    tree = new familyTree(window.get());
    (new QVBoxLayout(window.get()))->addWidget(tree);
    window->setGeometry(100, 100, 500, 400);  // placed before it is shown: a display has no later move to catch up with
    window->show();
    tree->StandardDisplayMode = 2;
    tree->init(1, editAllowed, selectAllowed, false, displayRoot);
    tree->SetDisplayedTree(2);
    return *tree;
  }
  int rowOf(std::int32_t node) const { return tree->TList()->findItemData(node, 0, tree->TList()->count() - 1); }
  // Clicks a row's text (or its picture) with the mouse.
  void clickRow(int row, bool onPicture = false) {
    TreeList* list = tree->TList();
    QRect r = onPicture ? list->pictureRect(row) : list->textRect(row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
  }
  // Tree 2's standard as dbfread reads it (an empty one when it is missing).
  StoredStandard stored(std::int32_t node) const {
    const std::vector<StoredStandard> rows = standardsByDbfread(folder + "/standard.dbf");
    const StoredStandard* row = findStandard(rows, 2, node);
    return row ? *row : StoredStandard{};
  }

  std::unique_ptr<QWidget> window;
  familyTree* tree = nullptr;
};

} // namespace pu::test

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE
