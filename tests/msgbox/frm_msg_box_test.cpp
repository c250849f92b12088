#include <QApplication>
#include <QClipboard>
#include <array>

#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "platform/controls/screen_pointer.h"
#include "tests/msgbox/msg_box_test_support.h"

namespace pu {
namespace {

using test::OpenMsgBox;

struct ButtonSetCase {
  std::int32_t set;
  std::array<QString, 3> captions;  // empty = hidden
  std::array<std::int32_t, 3> results;
  std::int32_t whenClosed;  // Escape or the close box
};

const ButtonSetCase kCases[] = {
    {0, {"OK", "", ""}, {1, 0, 0}, 1},
    {1, {"OK", "Cancel", ""}, {1, 2, 0}, 2},
    {2, {"&Abort", "&Retry", "&Ignore"}, {3, 4, 5}, 0},
    {3, {"&Yes", "&No", "Cancel"}, {6, 7, 2}, 2},
    {4, {"&Yes", "&No", ""}, {6, 7, 0}, 0},
    {5, {"&Retry", "Cancel", ""}, {4, 2, 0}, 2},
};

class ButtonSetTest : public ::testing::TestWithParam<ButtonSetCase> {};

TEST_P(ButtonSetTest, ShowsItsCaptionsAndHidesTheRest) {
  const ButtonSetCase& c = GetParam();
  OpenMsgBox box(u"Message", c.set);
  for (int n = 1; n <= 3; ++n) {
    const QString& caption = c.captions[static_cast<std::size_t>(n - 1)];
    EXPECT_EQ(box.visible(n), !caption.isEmpty()) << "button " << n;
    if (!caption.isEmpty()) {
      EXPECT_EQ(box.button(n)->text(), caption);
    }
  }
  box.key(Qt::Key_Escape);
  EXPECT_EQ(box.result(), c.whenClosed);
}

TEST_P(ButtonSetTest, EachButtonGivesItsResult) {
  const ButtonSetCase& c = GetParam();
  for (int n = 1; n <= 3; ++n) {
    if (c.captions[static_cast<std::size_t>(n - 1)].isEmpty()) continue;
    OpenMsgBox box(u"Message", c.set);
    box.click(n);
    EXPECT_EQ(box.result(), c.results[static_cast<std::size_t>(n - 1)]) << "button " << n;
  }
}

TEST_P(ButtonSetTest, CloseBoxAnswersLikeTheCancelButton) {
  const ButtonSetCase& c = GetParam();
  OpenMsgBox box(u"Message", c.set);
  box.box().close();
  EXPECT_EQ(box.result(), c.whenClosed);
}

INSTANTIATE_TEST_SUITE_P(AllSets, ButtonSetTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return "Set" + std::to_string(param.param.set); });

TEST(MsgBoxKeysTest, YesAndNoByLetterAndNumber) {
  for (auto [key, expected] : {std::pair{Qt::Key_Y, 6}, {Qt::Key_1, 6}, {Qt::Key_N, 7}, {Qt::Key_2, 7}}) {
    OpenMsgBox box(u"Save?", MsgButtons::YesNo);
    box.key(key);
    EXPECT_EQ(box.result(), expected) << key;
  }
}

TEST(MsgBoxKeysTest, KeypadDigitsPressButtons) {
  OpenMsgBox box(u"Save?", MsgButtons::YesNoCancel);
  box.key(Qt::Key_3, Qt::KeypadModifier);
  EXPECT_EQ(box.result(), MsgResult::Cancel);
}

TEST(MsgBoxKeysTest, AcceleratorsOfAbortRetryIgnore) {
  for (auto [key, expected] : {std::pair{Qt::Key_A, 3}, {Qt::Key_R, 4}, {Qt::Key_I, 5}}) {
    OpenMsgBox box(u"Disk?", MsgButtons::AbortRetryIgnore);
    box.key(key);
    EXPECT_EQ(box.result(), expected) << key;
  }
}

TEST(MsgBoxKeysTest, DigitOfAHiddenButtonDoesNothing) {
  OpenMsgBox box(u"Save?", MsgButtons::YesNo);
  box.key(Qt::Key_3);
  EXPECT_TRUE(box.staysOpen());
  box.key(Qt::Key_2);
  EXPECT_EQ(box.result(), MsgResult::No);
}

TEST(MsgBoxKeysTest, LetterWithoutAcceleratorDoesNothing) {
  // "Cancel" carries no accelerator, so C presses nothing.
  OpenMsgBox box(u"Save?", MsgButtons::YesNoCancel);
  box.key(Qt::Key_C);
  box.key(Qt::Key_Z);
  box.key(Qt::Key_5);
  EXPECT_TRUE(box.staysOpen());
  box.key(Qt::Key_Escape);
  EXPECT_EQ(box.result(), MsgResult::Cancel);
}

TEST(MsgBoxKeysTest, EnterPressesTheDefaultButton) {
  for (auto [options, expected] : {std::pair{MsgButtons::YesNo, 6}, {MsgButtons::YesNo | MsgDefault::Button2, 7},
                                   {MsgButtons::YesNoCancel | MsgDefault::Button3, 2}}) {
    OpenMsgBox box(u"Save?", options);
    box.key(Qt::Key_Return);
    EXPECT_EQ(box.result(), expected) << options;
  }
}

TEST(MsgBoxKeysTest, HiddenDefaultButtonLeavesTheBoxUsable) {
  OpenMsgBox box(u"Save?", MsgButtons::YesNo | MsgDefault::Button3);
  EXPECT_NE(box.box().focusWidget(), box.button(3));
  box.key(Qt::Key_Y);
  EXPECT_EQ(box.result(), MsgResult::Yes);
}

TEST(MsgBoxKeysTest, CtrlCCopiesTheSevenLineText) {
  QApplication::clipboard()->setText(QStringLiteral("before"));
  OpenMsgBox box(u"M", MsgButtons::YesNo, Text(u"T"));
  box.key(Qt::Key_C, Qt::ControlModifier);
  const QString rule(27, QChar('-'));
  const QString expected = rule + "\r\nT\r\n" + rule + "\r\nM\r\n" + rule + "\r\n&Yes   &No   \r\n" + rule + "\r\n";
  EXPECT_EQ(QApplication::clipboard()->text(), expected);
  // Copying is not an answer.
  EXPECT_TRUE(box.staysOpen());
  box.key(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_TRUE(box.staysOpen());
  box.key(Qt::Key_Escape);
  EXPECT_EQ(box.result(), MsgResult::None);
}

TEST(MsgBoxKeysTest, CtrlCKeepsMessageLineBreaks) {
  OpenMsgBox box(u"one\r\ntwo", MsgButtons::OkCancel, Text(u"Title"));
  box.key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(QApplication::clipboard()->text().contains(QStringLiteral("\r\none\r\ntwo\r\n")));
  EXPECT_TRUE(QApplication::clipboard()->text().contains(QStringLiteral("\r\nOK   Cancel   \r\n")));
  box.key(Qt::Key_Escape);
  EXPECT_EQ(box.result(), MsgResult::Cancel);
}

TEST(MsgBoxStateTest, PointerIsNormalWhileOpenAndRestoredAfter) {
  setScreenMousePointer(kPointerHourglass);
  {
    OpenMsgBox box(u"Wait", MsgButtons::OkOnly);
    EXPECT_EQ(screenMousePointer(), kPointerDefault);
    box.key(Qt::Key_Return);
    EXPECT_EQ(box.result(), MsgResult::Ok);
  }
  EXPECT_EQ(screenMousePointer(), kPointerHourglass);
  setScreenMousePointer(kPointerDefault);
}

TEST(MsgBoxStateTest, UnhandledButtonSetsShowOkAlone) {
  for (std::int32_t set : {6, 7}) {
    OpenMsgBox box(u"Odd", set);
    EXPECT_TRUE(box.visible(1));
    EXPECT_FALSE(box.visible(2));
    EXPECT_EQ(box.button(1)->text(), QStringLiteral("OK"));
    box.key(Qt::Key_Escape);
    EXPECT_EQ(box.result(), MsgResult::Ok);
  }
}

TEST(MsgBoxStateTest, TitleAndCaption) {
  OpenMsgBox titled(u"M", 0, Text(u"Create Folder"));
  EXPECT_EQ(titled.box().windowTitle(), QStringLiteral("Create Folder"));
  OpenMsgBox untitled(u"M", 0, std::nullopt);
  EXPECT_EQ(untitled.box().windowTitle(), QApplication::applicationDisplayName());
  EXPECT_FALSE(untitled.box().windowTitle().isEmpty());
}

TEST(MsgBoxStateTest, FormHookSeesTheLaidOutBox) {
  QWidget* seen = nullptr;
  QSize seenSize;
  setMsgBoxFormHook([&](QWidget* form) {
    seen = form;
    seenSize = form->size();
  });
  OpenMsgBox box(u"Hooked", 0);
  setMsgBoxFormHook(nullptr);
  EXPECT_EQ(seen, &box.box());
  EXPECT_EQ(seenSize, box.box().size());
}

} // namespace
} // namespace pu
