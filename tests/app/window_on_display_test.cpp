// The prefix window driven by the X server of a virtual display: real key
// presses go to the widget that has the focus and real clicks move it, as
// for a user. ctest runs this under xvfb-run; without a display it skips.
#include <QCheckBox>

#include "tests/app/prefix_window_fixture.h"
#include "tests/support/x_input.h"

namespace pu {
namespace {

class WindowOnDisplayTest : public test::PrefixWindowTest {
protected:
  void SetUp() override {
    if (std::string why = test::withoutXInput(); !why.empty()) GTEST_SKIP() << why;
    test::PrefixWindowTest::SetUp();
  }
  void show(const std::vector<sample::StandardRow>& extra = {}) {
    open(2, extra);
    window->move(50, 50);
    QTest::qWait(300);
  }
  bool clickAt(QWidget* widget, QPoint local) {
    return test::xdotool(test::xdotoolAt(widget->mapToGlobal(local)) + " click 1");
  }
  bool clickRow(std::int32_t node) {
    tree()->FindStandard(MakeNodeKey(tree()->CurrentTreeID, node));
    TreeList* list = tree()->TList();
    int row = list->findItemData(node, 0, list->count() - 1);
    return row >= 0 && clickAt(list->viewport(), list->textRect(row).center());
  }
  bool clickButton(QWidget* button) { return clickAt(button, button->rect().center()); }
  static bool keys(const std::string& names) { return test::xdotool("key --delay 50 " + names); }
  static bool type(const std::string& text) { return test::xdotool("type --delay 50 '" + text + "'"); }
  std::string title(int node) const {
    std::string rows = dump();
    std::size_t at = rows.find("TREE_ID=5\tNODE_ID=" + std::to_string(node) + "\t");
    if (at == std::string::npos) return "missing";
    at = rows.find("DESCRIPT=", at) + 9;
    return rows.substr(at, rows.find('\t', at) - at);
  }
};

// A command pressed while the editor is open finishes the edit on its own
// node first: the typed title never lands on the row that moves into its place.
TEST_F(WindowOnDisplayTest, MoveDownWithTheEditorOpenKeepsTheTitleOnItsNode) {
  show();
  ASSERT_TRUE(clickRow(10));
  ASSERT_TRUE(keys("F2"));
  ASSERT_TRUE(tree()->editBox()->isVisible());
  ASSERT_TRUE(keys("ctrl+a"));
  ASSERT_TRUE(type("Renamed"));
  ASSERT_TRUE(clickButton(tree()->findChild<QPushButton*>(QStringLiteral("cmdMoveDown"))));
  ASSERT_TRUE(keys("Return"));
  EXPECT_EQ(title(10), "Renamed");
  EXPECT_EQ(title(20), "2: Poems");
}

// Enter and Escape in the tree and in the highlight box run nothing and
// end nothing, before a command and after it; only a click runs Set Prefix
// and only "Back" ends.
TEST_F(WindowOnDisplayTest, EnterAndEscapeDoNothingOutsideTheEditor) {
  show();
  const std::string before = dump();
  ASSERT_TRUE(clickRow(11));
  ASSERT_TRUE(keys("Return Escape"));
  ASSERT_TRUE(clickAt(window->selectBox(), {5, window->selectBox()->height() / 2}));
  ASSERT_TRUE(keys("Home shift+Right shift+Right shift+Right Return KP_Enter Escape"));
  EXPECT_EQ(dump(), before);
  EXPECT_TRUE(window->isVisible());
  ASSERT_TRUE(clickButton(control<QPushButton>("setPrefixBut")));
  EXPECT_EQ(title(11), "*1.2 *Adding fractions");
  const std::string after = dump();
  ASSERT_TRUE(keys("Return KP_Enter Escape"));
  EXPECT_EQ(dump(), after);
  EXPECT_TRUE(window->isVisible());
  ASSERT_TRUE(clickButton(control<QPushButton>("closeBut")));
  EXPECT_FALSE(window->isVisible());
}

// In the short display the editor still holds the stored title: F2 (or a
// stray space) then Enter writes nothing.
TEST_F(WindowOnDisplayTest, ShortTitlesRenameWritesNothingUnchanged) {
  show({{5, 30, 1, 3, "*3.* Marked"}});
  QCheckBox* shortTitles = control<QCheckBox>("chkShowShortTitle");
  ASSERT_TRUE(clickAt(shortTitles, {8, shortTitles->height() / 2}));
  ASSERT_TRUE(shortTitles->isChecked());
  const std::string before = dump();
  ASSERT_TRUE(clickRow(30));
  ASSERT_TRUE(keys("F2"));
  EXPECT_EQ(tree()->editBox()->text(), "*3.* Marked");
  ASSERT_TRUE(keys("Return space Return"));
  EXPECT_EQ(dump(), before);
}

} // namespace
} // namespace pu
