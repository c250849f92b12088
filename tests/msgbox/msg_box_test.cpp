#include <QApplication>

#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "tests/msgbox/msg_box_test_support.h"
#include "tests/support/ui_driver.h"

namespace pu {
namespace {

class MsgBoxExTest : public ::testing::Test {
protected:
  void TearDown() override {
    test::cancelWhenShown();
    clearMsgBoxAnswers();
  }
};

TEST_F(MsgBoxExTest, ShowsModallyAndReturnsTheAnswerOrTakesTheNextQueuedOne) {
  test::whenShown(QStringLiteral("frmMsgBox"), [](QWidget* box) {
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Create Folder"));
    QTest::keyClick(box, Qt::Key_N);
  });
  EXPECT_EQ(MsgBoxEx(u"Create it?", MsgButtons::YesNo, Text(u"Create Folder")), MsgResult::No);
  EXPECT_EQ(PressedButton, MsgResult::No);
  test::whenShown(QStringLiteral("frmMsgBox"), [](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_EQ(MsgBoxEx(u"Done."), MsgResult::Ok);  // the options default to OK alone
  EXPECT_EQ(ButtonCaptions[0], u"OK");
  EXPECT_TRUE(ButtonCaptions[1].empty());

  // A queued answer skips the window but the question is recorded.
  setMsgBoxNextAnswer(MsgResult::Yes);
  setMsgBoxNextAnswer(MsgResult::No);
  EXPECT_EQ(pendingMsgBoxAnswers(), 2u);
  EXPECT_EQ(MsgBoxEx(u"first", MsgButtons::YesNo | MsgIcons::Question, Text(u"One")), MsgResult::Yes);
  EXPECT_EQ(MsgText, u"first");
  EXPECT_EQ(MsgTitle, u"One");
  EXPECT_EQ(MsgIcon, MsgIcons::Question);
  EXPECT_EQ(MsgBoxEx(u"second", MsgButtons::YesNoCancel | MsgDefault::Button3), MsgResult::No);
  EXPECT_EQ(MsgText, u"second");
  EXPECT_EQ(DefaultButton, 3);
  EXPECT_EQ(CancelButton, 3);
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(MsgBoxMappingTest, PressedNumbersWithoutAnEntryStayAsTheyAre) {
  for (auto [set, pressed, answer] : {std::tuple{MsgButtons::OkOnly, 0, MsgResult::Ok}, {MsgButtons::OkOnly, 3, MsgResult::Ok},
                                      {MsgButtons::YesNo, 0, 0}, {MsgButtons::YesNo, 3, 3}, {MsgButtons::RetryCancel, 1, MsgResult::Retry},
                                      {MsgButtons::AbortRetryIgnore, 3, MsgResult::Ignore}})
    EXPECT_EQ(MapPressedButton(set, pressed), answer) << set << " " << pressed;
}

} // namespace
} // namespace pu
