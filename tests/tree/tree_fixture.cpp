#include "tests/tree/tree_fixture.h"

#include <QVBoxLayout>

#include "msgbox/msg_box.h"

namespace pu::test {

sample::SampleContent smallTrees() {
  sample::SampleContent content = treeOf({{2, 10, 1, 1, "*1.* Numbers"},
                                          {2, 11, 10, 1, "1.1 Counting"},
                                          {2, 12, 10, 2, "1.2 Fractions"},
                                          {2, 13, 12, 1, "1.2.1 Halves"},
                                          {2, 20, 1, 2, "2. Geometry"},
                                          {2, 998, 1, 3, "Kept for the product"},
                                          {2, 30, 1, 800, "Notes"},
                                          {1, 1, 0, 1, "Corvane Classification"},
                                          {1, 5, 1, 1, "Reading"}});
  return content;
}

void TreeTest::SetUp() { clearMsgBoxAnswers(); }

void TreeTest::TearDown() {
  window.reset();
  clearMsgBoxAnswers();
  CourseDbTest::TearDown();
}

familyTree& TreeTest::showTree(bool editAllowed, bool selectAllowed, bool displayRoot,
                               const sample::SampleContent& content) {
  useDatabase(content);
  window = std::make_unique<QWidget>();
  auto* layout = new QVBoxLayout(window.get());
  tree = new familyTree(window.get());
  layout->addWidget(tree);
  window->setGeometry(100, 100, 500, 400);  // placed before it is shown: a display has no later move to catch up with
  window->show();
  tree->StandardDisplayMode = 2;
  tree->init(1, editAllowed, selectAllowed, false, displayRoot);
  tree->SetDisplayedTree(2);
  return *tree;
}

int TreeTest::rowOf(std::int32_t node) const { return tree->TList()->findItemData(node, 0, tree->TList()->count() - 1); }

void TreeTest::clickRow(int row, bool onPicture) {
  TreeList* list = tree->TList();
  QRect r = onPicture ? list->pictureRect(row) : list->textRect(row);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
}

StoredStandard TreeTest::stored(std::int32_t node) const {
  const std::vector<StoredStandard> rows = standardsByDbfread(folder + "/standard.dbf");
  const StoredStandard* row = findStandard(rows, 2, node);
  return row ? *row : StoredStandard{};
}

} // namespace pu::test
