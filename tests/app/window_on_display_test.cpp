// The prefix window driven by the X server of a virtual display: real key presses go to the focus widget and
// real clicks move it, as for a user. ctest runs this under xvfb-run; without a display it skips.
#include <QProcess>

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
  // Moves the window (it centres itself when first active) and waits until
  // the X server has it there and the real pointer rests on it as Qt sees
  // it: only then do the real clicks land where they aim.
  void placeAt(int x, int y) {
    window->move(x, y);
    const QString place = QStringLiteral("Position: %1,%2 ").arg(x).arg(y);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          QProcess xdotool;
          xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QString::number(window->winId())});
          return xdotool.waitForFinished() && QString::fromLatin1(xdotool.readAllStandardOutput()).contains(place);
        },
        5000));
    ASSERT_TRUE(test::xdotool(test::xdotoolAt(window->mapToGlobal(window->rect().center()))));
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->underMouse(); }, 5000));
  }
  bool clickButton(const char* name) {
    QWidget* button = control<QWidget>(name);
    return test::xClick(button, button->rect().center());
  }
};

// Enter and Escape in the tree and in the highlight box run nothing and
// end nothing, before a command and after it; only a click runs Set Prefix
// and only "Back" ends.
TEST_F(WindowOnDisplayTest, EnterAndEscapeDoNothingOutsideTheEditor) {
  open();
  ASSERT_NO_FATAL_FAILURE(placeAt(50, 50));
  const std::string before = dump();
  ASSERT_GE(tree()->FindStandard(MakeNodeKey(5, 11)), 0);
  TreeList* list = tree()->TList();
  ASSERT_TRUE(test::xClick(list->viewport(), list->textRect(list->findItemData(11, 0, list->count() - 1)).center()));
  ASSERT_TRUE(test::xKeys("Return Escape"));
  ASSERT_TRUE(test::xClick(window->selectBox(), {5, window->selectBox()->height() / 2}));
  ASSERT_TRUE(test::xKeys("Home shift+Right shift+Right shift+Right Return KP_Enter Escape"));
  EXPECT_EQ(dump(), before);
  EXPECT_TRUE(window->isVisible());
  ASSERT_TRUE(clickButton("setPrefixBut"));
  const std::string after = dump();
  EXPECT_NE(after.find("DESCRIPT=*1.2 *Adding fractions\t"), std::string::npos) << after;
  ASSERT_TRUE(test::xKeys("Return KP_Enter Escape"));
  EXPECT_EQ(dump(), after);
  EXPECT_TRUE(window->isVisible());
  ASSERT_TRUE(clickButton("closeBut"));
  EXPECT_FALSE(window->isVisible());
}

} // namespace
} // namespace pu
