// The tree driven by the X server of a virtual display (xdotool): real drags with Shift or Ctrl held run
// through the window system's own drag and drop. ctest runs this under xvfb-run; without a display it skips.
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/support/x_input.h"
#include "tests/tree/tree_fixture.h"

namespace pu {
namespace {

class TreeOnDisplayTest : public test::TreeTest {
protected:
  void SetUp() override {
    if (std::string why = test::withoutXInput(); !why.empty()) GTEST_SKIP() << why;
    test::TreeTest::SetUp();
  }
  QPoint onScreen(int row) const {
    TreeList* list = tree->TList();
    return list->viewport()->mapToGlobal(list->textRect(row).center());
  }
  // Presses on row from, moves to row to with the modifier held, releases;
  // the events come from the X server while this thread serves the drag.
  void drag(int from, int to, const char* modifier) {
    QPoint a = onScreen(from), b = onScreen(to);
    std::string hold = *modifier ? std::string(" keydown ") + modifier : "";
    std::string release = *modifier ? std::string(" keyup ") + modifier : "";
    ASSERT_TRUE(test::xdotool(test::xdotoolAt(a) + hold + " mousedown 1 sleep 0.2 " + test::xdotoolAt(a + QPoint(8, 8)) +
                              " sleep 0.3 " + test::xdotoolAt(b) + " sleep 0.3 " + test::xdotoolAt(b + QPoint(1, 0)) +
                              " sleep 0.3 mouseup 1" + release));
  }
};

// A command pressed while the editor is open finishes the edit on its own
// node first: the typed title never lands on the row that moves into its place.
TEST_F(TreeOnDisplayTest, MoveDownWithTheEditorOpenKeepsTheTitleOnItsNodeAndDragsDropByModifier) {
  familyTree& t = showTree(true);
  window->activateWindow();  // a display without a window manager activates nothing itself
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  ASSERT_TRUE(test::xClick(t.TList()->viewport(), t.TList()->textRect(rowOf(10)).center()));
  ASSERT_TRUE(test::xKeys("F2"));
  ASSERT_TRUE(t.editBox()->isVisible());
  ASSERT_TRUE(test::xKeys("ctrl+a"));
  ASSERT_TRUE(test::xdotool("type --delay 50 'Renamed'"));
  QWidget* moveDown = t.findChild<QWidget*>(QStringLiteral("cmdMoveDown"));
  ASSERT_TRUE(test::xClick(moveDown, moveDown->rect().center()));
  ASSERT_TRUE(test::xKeys("Return"));
  EXPECT_EQ(stored(10).title, "Renamed");
  EXPECT_EQ(stored(20).title, "2. Geometry");

  // Shift drops a child, Ctrl a sibling.
  drag(rowOf(20), rowOf(10), "shift");
  EXPECT_EQ(stored(20).parent, 10);
  ASSERT_GE(t.TList()->selectedRow(), 0);
  EXPECT_EQ(t.TList()->itemData(t.TList()->selectedRow()), 20);  // shown, selected and open under its new parent
  t.FindStandard(MakeNodeKey(2, 13));
  drag(rowOf(13), rowOf(30), "ctrl");
  EXPECT_EQ(stored(13).parent, 1);  // 30's sibling: a top category
  drag(rowOf(10), rowOf(30), "");  // no modifier: no drag at all
  EXPECT_EQ(stored(10).parent, 1);
}

} // namespace
} // namespace pu
