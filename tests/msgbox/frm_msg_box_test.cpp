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

// Sets 6 and 7 have no buttons of their own: they show OK alone.
const ButtonSetCase kCases[] = {
    {0, {"OK", "", ""}, {1, 0, 0}, 1},
    {1, {"OK", "Cancel", ""}, {1, 2, 0}, 2},
    {2, {"&Abort", "&Retry", "&Ignore"}, {3, 4, 5}, 0},
    {3, {"&Yes", "&No", "Cancel"}, {6, 7, 2}, 2},
    {4, {"&Yes", "&No", ""}, {6, 7, 0}, 0},
    {5, {"&Retry", "Cancel", ""}, {4, 2, 0}, 2},
    {6, {"OK", "", ""}, {1, 0, 0}, 1},
    {7, {"OK", "", ""}, {1, 0, 0}, 1},
};

class ButtonSetTest : public ::testing::TestWithParam<ButtonSetCase> {};

TEST_P(ButtonSetTest, ShowsItsCaptionsAndAnswersForEachButtonAndForClosing) {
  const ButtonSetCase& c = GetParam();
  for (int n = 1; n <= 3; ++n) {
    const QString& caption = c.captions[static_cast<std::size_t>(n - 1)];
    OpenMsgBox box(u"Message", c.set);
    EXPECT_EQ(box.visible(n), !caption.isEmpty()) << "button " << n;
    if (caption.isEmpty()) continue;
    EXPECT_EQ(box.button(n)->text(), caption);
    box.click(n);
    EXPECT_EQ(box.result(), c.results[static_cast<std::size_t>(n - 1)]) << "button " << n;
  }
  OpenMsgBox escaped(u"Message", c.set);
  escaped.key(Qt::Key_Escape);
  EXPECT_EQ(escaped.result(), c.whenClosed);
  OpenMsgBox closed(u"Message", c.set);
  closed.box().close();
  EXPECT_EQ(closed.result(), c.whenClosed);
}

INSTANTIATE_TEST_SUITE_P(AllSets, ButtonSetTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return "Set" + std::to_string(param.param.set); });

// Digits press the button of their number, letters the button whose caption
// marks them; keys that match no visible button do nothing; Enter presses
// the default button.
TEST(MsgBoxKeysTest, KeysPressTheirButtonsAndCtrlCCopiesTheBox) {
  using Key = std::pair<Qt::Key, Qt::KeyboardModifiers>;
  const Qt::KeyboardModifiers none;
  const struct {
    std::int32_t options;
    std::vector<Key> keys;
    std::int32_t result;
  } cases[] = {
      {MsgButtons::YesNo, {{Qt::Key_Y, none}}, MsgResult::Yes},
      {MsgButtons::YesNo, {{Qt::Key_1, none}}, MsgResult::Yes},
      {MsgButtons::YesNo, {{Qt::Key_N, none}}, MsgResult::No},
      {MsgButtons::YesNo, {{Qt::Key_3, none}, {Qt::Key_2, none}}, MsgResult::No},  // no button 3
      {MsgButtons::YesNoCancel, {{Qt::Key_3, Qt::KeypadModifier}}, MsgResult::Cancel},
      // "Cancel" carries no accelerator, so C presses nothing.
      {MsgButtons::YesNoCancel, {{Qt::Key_C, none}, {Qt::Key_Z, none}, {Qt::Key_5, none}, {Qt::Key_N, none}}, MsgResult::No},
      {MsgButtons::AbortRetryIgnore, {{Qt::Key_A, none}}, MsgResult::Abort},
      {MsgButtons::AbortRetryIgnore, {{Qt::Key_R, none}}, MsgResult::Retry},
      {MsgButtons::AbortRetryIgnore, {{Qt::Key_I, none}}, MsgResult::Ignore},
      {MsgButtons::YesNo, {{Qt::Key_Return, none}}, MsgResult::Yes},
      {MsgButtons::YesNo | MsgDefault::Button2, {{Qt::Key_Return, none}}, MsgResult::No},
      {MsgButtons::YesNoCancel | MsgDefault::Button3, {{Qt::Key_Return, none}}, MsgResult::Cancel},
      {MsgButtons::YesNo | MsgDefault::Button3, {{Qt::Key_Y, none}}, MsgResult::Yes},  // a hidden default button
      // Ctrl+C copies the box as text (checked below) and, as Ctrl+Y, answers nothing.
      {MsgButtons::YesNo, {{Qt::Key_C, Qt::ControlModifier}, {Qt::Key_Y, Qt::ControlModifier}, {Qt::Key_Escape, none}}, MsgResult::None},
  };
  QApplication::clipboard()->setText(QStringLiteral("before"));
  for (const auto& c : cases) {
    OpenMsgBox box(u"Save\r\nit?", c.options);
    if (box.button(3)->isHidden()) { EXPECT_NE(box.box().focusWidget(), box.button(3)); }
    for (std::size_t i = 0; i < c.keys.size(); ++i) {
      box.key(c.keys[i].first, c.keys[i].second);
      if (i + 1 < c.keys.size()) { EXPECT_TRUE(box.staysOpen()) << c.options << ", key " << c.keys[i].first; }
    }
    EXPECT_EQ(box.result(), c.result) << c.options << ", key " << c.keys.front().first;
  }
  const QString rule(27, QChar('-'));
  EXPECT_EQ(QApplication::clipboard()->text(),
            rule + "\r\nT\r\n" + rule + "\r\nSave\r\nit?\r\n" + rule + "\r\n&Yes   &No   \r\n" + rule + "\r\n");
}

// The box has the title asked for (without one, the program's name) and the
// normal pointer while open, the one before after; the form hook sees it laid out.
TEST(MsgBoxStateTest, TitlePointerAndFormHook) {
  setScreenMousePointer(kPointerHourglass);
  QWidget* seen = nullptr;
  QSize seenSize;
  setMsgBoxFormHook([&](QWidget* form) {
    seen = form;
    seenSize = form->size();
  });
  {
    OpenMsgBox box(u"Wait", MsgButtons::OkOnly, Text(u"Create Folder"));
    setMsgBoxFormHook(nullptr);
    EXPECT_EQ(seen, &box.box());
    EXPECT_EQ(seenSize, box.box().size());
    EXPECT_EQ(box.box().windowTitle(), QStringLiteral("Create Folder"));
    EXPECT_EQ(screenMousePointer(), kPointerDefault);
    box.key(Qt::Key_Return);
    EXPECT_EQ(box.result(), MsgResult::Ok);
  }
  EXPECT_EQ(screenMousePointer(), kPointerHourglass);
  setScreenMousePointer(kPointerDefault);
  OpenMsgBox untitled(u"M", 0, std::nullopt);
  EXPECT_EQ(untitled.box().windowTitle(), QApplication::applicationDisplayName());
  EXPECT_FALSE(untitled.box().windowTitle().isEmpty());
}

} // namespace
} // namespace pu
