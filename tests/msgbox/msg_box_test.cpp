#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QLabel>
#include <QTest>
#include <array>
#include <cmath>
#include <gtest/gtest.h>

#include "msgbox/frm_msg_box.h"
#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "platform/controls/push_button.h"
#include "platform/controls/screen_metrics.h"
#include "platform/controls/screen_pointer.h"
#include "platform/controls/window_layout.h"
#include "tests/support/ui_driver.h"

namespace pu {
namespace {

// Opens a message box without waiting for it, so a test can click and type.
class OpenMsgBox {
public:
  OpenMsgBox(const Text& message, std::int32_t options, const std::optional<Text>& title = Text(u"T")) {
    m_box.prepare(message, options, title);
    m_box.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_box));
  }

  frmMsgBox& box() { return m_box; }
  PushButton* button(int n) { return m_box.button(n); }

  void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* target = m_box.focusWidget() ? m_box.focusWidget() : &m_box;
    QTest::keyClick(target, key, modifiers);
  }

  // The result once the box has closed; -1 when it stays open.
  std::int32_t result() {
    if (!QTest::qWaitFor([this] { return !m_box.isVisible(); }, 2000)) return -1;
    return m_box.finish();
  }
  // True when the box is still open a moment after the last input.
  bool staysOpen() {
    QTest::qWait(20);
    return m_box.isVisible();
  }

private:
  frmMsgBox m_box;
};

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
    EXPECT_EQ(box.button(n)->isHidden(), caption.isEmpty()) << "button " << n;
    if (caption.isEmpty()) continue;
    EXPECT_EQ(box.button(n)->text(), caption);
    QTest::mouseClick(box.button(n), Qt::LeftButton);
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
  const Qt::KeyboardModifiers none;
  const struct {
    std::int32_t options;
    std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
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

QLabel* messageOf(OpenMsgBox& box) { return box.box().findChild<QLabel*>(QStringLiteral("lblMessage")); }
QLabel* iconOf(OpenMsgBox& box) { return box.box().findChild<QLabel*>(QStringLiteral("imgIcon")); }
QWidget* groupOf(OpenMsgBox& box) { return box.box().findChild<QWidget*>(QStringLiteral("vseButtonGroup")); }

int lineHeight(QLabel* label) { return QFontMetrics(label->font()).lineSpacing(); }

// Width of a text in a widget's font, in whole pixels.
int widthOf(const QWidget* widget, const QString& text) {
  return static_cast<int>(std::ceil(QFontMetricsF(widget->font()).horizontalAdvance(text)));
}

// Buttons side by side from the group's left edge, none touching the next,
// each as wide as its caption needs.
void expectButtonsInARow(frmMsgBox& box) {
  EXPECT_EQ(box.button(1)->x(), 0);
  for (int n = 1; n <= 3; ++n) {
    QPushButton* b = box.button(n);
    if (b->isHidden()) continue;
    EXPECT_GT(b->width(), widthOf(b, b->text())) << n;
    if (n > 1) { EXPECT_GT(b->x(), box.button(n - 1)->geometry().right() + 1) << n; }
  }
}

TEST(MsgBoxLayoutTest, TheBoxTakesTheWidthItsButtonsOrWidestLineNeedsUpToThreeFifthsOfTheWorkArea) {
  MeasureWorkArea();
  OpenMsgBox box(u"Hi", MsgButtons::AbortRetryIgnore);
  QWidget* group = groupOf(box);
  EXPECT_GT(group->x(), 0);
  EXPECT_LE(std::abs(group->x() - (box.box().width() - group->width()) / 2), 1);
  EXPECT_EQ(group->width(), box.button(3)->geometry().right() + 1);
  EXPECT_GT(messageOf(box)->width(), widthOf(messageOf(box), QStringLiteral("Hi")));
  expectButtonsInARow(box.box());
  QRect work = workAreaPixels(), frame = box.box().frameGeometry();  // the box centred on the work area
  EXPECT_LE(std::abs(frame.center().x() - work.center().x()), 1);
  EXPECT_LE(std::abs(frame.center().y() - work.center().y()), 1);
  // Long captions widen their buttons and push the next ones right.
  frmMsgBox large;
  QFont font = large.font();
  font.setPointSize(30);
  large.setFont(font);
  large.prepare(u"Big buttons", MsgButtons::AbortRetryIgnore, Text(u"T"));
  expectButtonsInARow(large);
  // Widest message the box shows on one line: 3/5 of the work area less the
  // room beside the text.
  QString text;
  for (int i = 0; i < 60; ++i) text += QStringLiteral("word%1 ").arg(i);
  OpenMsgBox wide(text.toStdU16String(), MsgButtons::OkOnly);
  QLabel* label = messageOf(wide);
  const int threeFifths = pixelsFromTwipsX(WorkAreaWidth * 3.0 / 5.0);
  EXPECT_LE(std::abs(label->width() - (threeFifths - (wide.box().width() - label->width()))), 1);
  EXPECT_GE(label->height(), 3 * lineHeight(label));
  EXPECT_LE(wide.box().width(), threeFifths + 1);
  EXPECT_GT(groupOf(wide)->y(), label->geometry().bottom());  // the buttons below the whole text
  // A message that fits is measured by its widest line.
  const QString longLine = QStringLiteral("This line is the longest of the three lines here");
  OpenMsgBox three((QStringLiteral("Short\r\n") + longLine + QStringLiteral("\r\nmid-sized line")).toStdU16String(), 0);
  label = messageOf(three);
  EXPECT_LE(std::abs(label->width() - widthOf(label, longLine)), 1);
  EXPECT_GE(label->height(), 3 * lineHeight(label));  // three lines, none of them wrapped
  EXPECT_LT(label->height(), 4 * lineHeight(label));
  const QString oneLine = QStringLiteral("The path does not exist.");
  OpenMsgBox one(oneLine.toStdU16String(), MsgButtons::YesNo);
  label = messageOf(one);
  EXPECT_LE(std::abs(label->width() - widthOf(label, oneLine)), 1);
  EXPECT_EQ(label->height(), lineHeight(label));
}

// Without an icon (none asked for, or a value without a stock image) the
// message starts where the icon would be; with one, right of it, the two
// centred on each other whichever is taller. The buttons come below both.
TEST(MsgBoxLayoutTest, MessageBesideTheIconOrInItsPlace) {
  MeasureWorkArea();
  const struct {
    const char16_t* text;
    std::int32_t options;
    bool shown;
  } cases[] = {{u"No icon", 0, false},
               {u"No image", 80, false},
               {u"One line", MsgIcons::Information, true},
               {u"one\r\ntwo\r\nthree\r\nfour", MsgIcons::Exclamation, true}};
  for (const auto& [text, options, shown] : cases) {
    OpenMsgBox box(text, options);
    QRect icon = iconOf(box)->geometry(), label = messageOf(box)->geometry();
    EXPECT_EQ(iconOf(box)->isHidden(), !shown) << options;
    if (shown) {
      EXPECT_FALSE(iconOf(box)->pixmap().isNull());
      EXPECT_GT(label.x(), icon.right());
      EXPECT_LE(std::abs(label.center().y() - icon.center().y()), 1) << label.height();
    } else {
      EXPECT_EQ(label.x(), icon.x());
    }
    EXPECT_GT(groupOf(box)->y(), std::max(shown ? icon.bottom() : 0, label.bottom()));
  }
}

class MsgBoxExTest : public ::testing::Test {
protected:
  void TearDown() override {
    test::cancelWhenShown();
    clearMsgBoxAnswers();
  }
};

TEST_F(MsgBoxExTest, ShowsModallyOrTakesTheQueuedAnswerAndKeepsTitlePointerAndFormHook) {
  test::whenShown(QStringLiteral("frmMsgBox"), [](QWidget* box) {
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Create Folder"));
    QTest::keyClick(box, Qt::Key_N);
  });
  EXPECT_EQ(MsgBoxEx(u"Create it?", MsgButtons::YesNo, Text(u"Create Folder")), MsgResult::No);
  EXPECT_EQ(PressedButton, MsgResult::No);
  test::whenShown(QStringLiteral("frmMsgBox"), [](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_EQ(MsgBoxEx(u"Done."), MsgResult::Ok);  // the options default to OK alone

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

  // The box has the title asked for (without one, the program's name) and the
  // normal pointer while open, the one before after; the form hook sees it laid out.
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

TEST(MsgBoxMappingTest, PressedNumbersWithoutAnEntryStayAsTheyAre) {
  for (auto [set, pressed, answer] : {std::tuple{MsgButtons::OkOnly, 0, MsgResult::Ok}, {MsgButtons::OkOnly, 3, MsgResult::Ok},
                                      {MsgButtons::YesNo, 0, 0}, {MsgButtons::YesNo, 3, 3}, {MsgButtons::RetryCancel, 1, MsgResult::Retry},
                                      {MsgButtons::AbortRetryIgnore, 3, MsgResult::Ignore}})
    EXPECT_EQ(MapPressedButton(set, pressed), answer) << set << " " << pressed;
}

} // namespace
} // namespace pu
