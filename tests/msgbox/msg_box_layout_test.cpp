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

// Widest line of text in the label's font, in whole pixels.
int widthOf(QLabel* label, const QString& text) {
  return static_cast<int>(std::ceil(QFontMetricsF(label->font()).horizontalAdvance(text)));
}

class MsgBoxLayoutTest : public ::testing::Test {
protected:
  void SetUp() override { MeasureWorkArea(); }
  // Widest message the box shows on one line: 3/5 of the work area less the room beside the text.
  int maximumWidth(OpenMsgBox& box) {
    int room = box.box().width() - messageOf(box)->width();
    return pixelsFromTwipsX(WorkAreaWidth * 3.0 / 5.0) - room;
  }
};

TEST_F(MsgBoxLayoutTest, ShortMessageGetsTheWidthTheButtonsNeed) {
  OpenMsgBox box(u"Hi", MsgButtons::AbortRetryIgnore);
  QWidget* group = groupOf(box);
  // The buttons fit with room on both sides and sit in the middle.
  EXPECT_GE(box.box().width(), group->width() + 2 * pixelsFromTwipsX(120) - 1);
  EXPECT_LE(std::abs(group->x() - (box.box().width() - group->width()) / 2), 1);
  EXPECT_EQ(group->width(), box.button(3)->geometry().right() + 1);
  EXPECT_GT(messageOf(box)->width(), widthOf(messageOf(box), QStringLiteral("Hi")));
  box.key(Qt::Key_Escape);
}

TEST_F(MsgBoxLayoutTest, MessageWiderThanThreeFifthsOfTheWorkAreaWraps) {
  QString text;
  for (int i = 0; i < 60; ++i) text += QStringLiteral("word%1 ").arg(i);
  OpenMsgBox box(text.toStdU16String(), MsgButtons::OkOnly);
  QLabel* label = messageOf(box);
  EXPECT_LE(std::abs(label->width() - maximumWidth(box)), 1);
  EXPECT_GE(label->height(), 3 * lineHeight(label));
  EXPECT_LE(box.box().width(), pixelsFromTwipsX(WorkAreaWidth * 3.0 / 5.0) + 1);
  // The buttons sit below the whole text.
  EXPECT_GT(groupOf(box)->y(), label->geometry().bottom());
  box.key(Qt::Key_Escape);
}

TEST_F(MsgBoxLayoutTest, SeveralLinesAreMeasuredByTheWidestLine) {
  const QString longLine = QStringLiteral("This line is the longest of the three lines here");
  OpenMsgBox box((QStringLiteral("Short\r\n") + longLine + QStringLiteral("\r\nmid-sized line")).toStdU16String(), 0);
  QLabel* label = messageOf(box);
  EXPECT_LE(std::abs(label->width() - widthOf(label, longLine)), 1);
  // Three lines, none of them wrapped.
  EXPECT_GE(label->height(), 3 * lineHeight(label));
  EXPECT_LT(label->height(), 4 * lineHeight(label));
  box.key(Qt::Key_Escape);
}

TEST_F(MsgBoxLayoutTest, MessageThatFitsStaysOnOneLine) {
  const QString text = QStringLiteral("The path does not exist.");
  OpenMsgBox box(text.toStdU16String(), MsgButtons::YesNo);
  QLabel* label = messageOf(box);
  EXPECT_LE(std::abs(label->width() - widthOf(label, text)), 1);
  EXPECT_EQ(label->height(), lineHeight(label));
  box.key(Qt::Key_Escape);
}

TEST_F(MsgBoxLayoutTest, WithoutIconTheMessageStartsAtTheIconsPlace) {
  OpenMsgBox plain(u"No icon here", 0);
  EXPECT_TRUE(iconOf(plain)->isHidden());
  EXPECT_EQ(messageOf(plain)->x(), pixelsFromTwipsX(240));
  OpenMsgBox withIcon(u"Icon here", MsgIcons::Exclamation);
  EXPECT_FALSE(iconOf(withIcon)->isHidden());
  EXPECT_EQ(iconOf(withIcon)->x(), pixelsFromTwipsX(240));
  EXPECT_EQ(messageOf(withIcon)->x(), pixelsFromTwipsX(840));
  EXPECT_FALSE(iconOf(withIcon)->pixmap().isNull());
  plain.key(Qt::Key_Escape);
  withIcon.key(Qt::Key_Escape);
}

TEST_F(MsgBoxLayoutTest, IconValueWithoutStockImageShowsNoIcon) {
  OpenMsgBox box(u"Odd icon", 80);
  EXPECT_TRUE(iconOf(box)->isHidden());
  EXPECT_EQ(messageOf(box)->x(), pixelsFromTwipsX(240));
  box.key(Qt::Key_Escape);
}

TEST_F(MsgBoxLayoutTest, ShortMessageIsCentredOnTheIcon) {
  OpenMsgBox box(u"One line", MsgIcons::Information);
  QRect icon = iconOf(box)->geometry(), label = messageOf(box)->geometry();
  ASSERT_LT(label.height(), icon.height());
  EXPECT_LE(std::abs(label.center().y() - icon.center().y()), 1);
  EXPECT_EQ(icon.y(), pixelsFromTwipsY(240));
  // Content height is the icon's; the buttons follow after the design gap.
  EXPECT_LE(std::abs(groupOf(box)->y() - (icon.height() + pixelsFromTwipsY(480))), 1);
  box.key(Qt::Key_Escape);
}

TEST_F(MsgBoxLayoutTest, TallMessageCentresTheIconOnIt) {
  OpenMsgBox box(u"one\r\ntwo\r\nthree\r\nfour", MsgIcons::Critical);
  QRect icon = iconOf(box)->geometry(), label = messageOf(box)->geometry();
  ASSERT_GT(label.height(), icon.height());
  EXPECT_EQ(label.y(), pixelsFromTwipsY(240));
  EXPECT_LE(std::abs(label.center().y() - icon.center().y()), 1);
  EXPECT_LE(std::abs(groupOf(box)->y() - (label.height() + pixelsFromTwipsY(480))), 1);
  box.key(Qt::Key_Escape);
}

TEST_F(MsgBoxLayoutTest, LongCaptionsWidenButtonsAndPushTheNextOnesRight) {
  frmMsgBox box;
  QFont large = box.font();
  large.setPointSize(30);
  box.setFont(large);
  box.prepare(u"Big buttons", MsgButtons::AbortRetryIgnore, Text(u"T"));
  int designWidth = pixelsFromTwipsX(1095);
  for (int n = 1; n <= 3; ++n) {
    QPushButton* b = box.button(n);
    int needed = static_cast<int>(std::ceil(QFontMetricsF(b->font()).horizontalAdvance(b->text()))) + 19;
    EXPECT_GT(b->width(), designWidth);
    EXPECT_GE(b->width(), needed - 1) << n;
    if (n > 1) {
      EXPECT_EQ(b->x(), box.button(n - 1)->geometry().right() + 1 + 9) << n;
    }
  }
}

TEST_F(MsgBoxLayoutTest, DesignWidthButtonsStayNinePixelsApart) {
  OpenMsgBox box(u"Save?", MsgButtons::YesNoCancel);
  EXPECT_EQ(box.button(1)->x(), 0);
  EXPECT_EQ(box.button(2)->x(), box.button(1)->geometry().right() + 1 + 9);
  EXPECT_EQ(box.button(3)->x(), box.button(2)->geometry().right() + 1 + 9);
  box.key(Qt::Key_Escape);
}

TEST_F(MsgBoxLayoutTest, BoxIsCentredOnTheWorkArea) {
  OpenMsgBox box(u"Centred", MsgButtons::OkCancel);
  QRect work = workAreaPixels();
  QRect frame = box.box().frameGeometry();
  EXPECT_LE(std::abs(frame.center().x() - work.center().x()), 1);
  EXPECT_LE(std::abs(frame.center().y() - work.center().y()), 1);
  box.key(Qt::Key_Escape);
}

} // namespace
} // namespace pu
