#include <QFontMetricsF>
#include <QLabel>
#include <cmath>

#include "platform/controls/window_layout.h"
#include "msgbox/msg_box.h"
#include "platform/controls/screen_metrics.h"
#include "tests/msgbox/msg_box_test_support.h"

namespace pu {
namespace {

using test::OpenMsgBox;

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

class MsgBoxLayoutTest : public ::testing::Test {
protected:
  void SetUp() override { MeasureWorkArea(); }
};

TEST_F(MsgBoxLayoutTest, ShortMessageGetsTheWidthTheButtonsNeedCentred) {
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
}

// Widest message the box shows on one line: 3/5 of the work area less the
// room beside the text.
TEST_F(MsgBoxLayoutTest, MessageWiderThanThreeFifthsOfTheWorkAreaWraps) {
  QString text;
  for (int i = 0; i < 60; ++i) text += QStringLiteral("word%1 ").arg(i);
  OpenMsgBox box(text.toStdU16String(), MsgButtons::OkOnly);
  QLabel* label = messageOf(box);
  const int threeFifths = pixelsFromTwipsX(WorkAreaWidth * 3.0 / 5.0);
  EXPECT_LE(std::abs(label->width() - (threeFifths - (box.box().width() - label->width()))), 1);
  EXPECT_GE(label->height(), 3 * lineHeight(label));
  EXPECT_LE(box.box().width(), threeFifths + 1);
  EXPECT_GT(groupOf(box)->y(), label->geometry().bottom());  // the buttons below the whole text
}

TEST_F(MsgBoxLayoutTest, AMessageThatFitsIsMeasuredByItsWidestLine) {
  const QString longLine = QStringLiteral("This line is the longest of the three lines here");
  OpenMsgBox three((QStringLiteral("Short\r\n") + longLine + QStringLiteral("\r\nmid-sized line")).toStdU16String(), 0);
  QLabel* label = messageOf(three);
  EXPECT_LE(std::abs(label->width() - widthOf(label, longLine)), 1);
  EXPECT_GE(label->height(), 3 * lineHeight(label));  // three lines, none of them wrapped
  EXPECT_LT(label->height(), 4 * lineHeight(label));
  const QString text = QStringLiteral("The path does not exist.");
  OpenMsgBox one(text.toStdU16String(), MsgButtons::YesNo);
  label = messageOf(one);
  EXPECT_LE(std::abs(label->width() - widthOf(label, text)), 1);
  EXPECT_EQ(label->height(), lineHeight(label));
}

// Without an icon (none asked for, or a value without a stock image) the
// message starts where the icon would be; with one, right of it, the two
// centred on each other whichever is taller. The buttons come below both.
TEST_F(MsgBoxLayoutTest, MessageBesideTheIconOrInItsPlace) {
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

TEST_F(MsgBoxLayoutTest, LongCaptionsWidenButtonsAndPushTheNextOnesRight) {
  frmMsgBox box;
  QFont large = box.font();
  large.setPointSize(30);
  box.setFont(large);
  box.prepare(u"Big buttons", MsgButtons::AbortRetryIgnore, Text(u"T"));
  expectButtonsInARow(box);
}

} // namespace
} // namespace pu
