#pragma once
// A course database with a small state tree, and a family tree control shown
// in a window on it.
#include <QTest>
#include <memory>

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
sample::SampleContent smallTrees();

class TreeTest : public CourseDbTest {
protected:
  void SetUp() override;
  void TearDown() override;
  // A control on the content (smallTrees() by default), init'ed and showing tree 2.
  familyTree& showTree(bool editAllowed, bool selectAllowed = false, bool displayRoot = false,
                       const sample::SampleContent& content = smallTrees());
  int rowOf(std::int32_t node) const;
  // Clicks a row's text (or its picture) with the mouse.
  void clickRow(int row, bool onPicture = false);
  // Tree 2's standard as dbfread reads it (an empty one when it is missing).
  StoredStandard stored(std::int32_t node) const;

  std::unique_ptr<QWidget> window;
  familyTree* tree = nullptr;
};

} // namespace pu::test

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE
