#include <QCursor>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <cmath>
#include <gtest/gtest.h>

#include "platform/controls/window_layout.h"
#include "platform/controls/screen_metrics.h"
#include "platform/controls/screen_pointer.h"

namespace pu {
namespace {

constexpr std::int32_t rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

TEST(BlendColorTest, QuarterFromBlueToWhite) {
  float fraction = 0.25f;
  EXPECT_EQ(BlendColor(rgb(0, 0, 255), rgb(255, 255, 255), fraction), rgb(64, 64, 255));
}

TEST(BlendColorTest, HalfwayFromBlackToWhite) {
  float fraction = 0.5f;
  EXPECT_EQ(BlendColor(rgb(0, 0, 0), rgb(255, 255, 255), fraction), rgb(128, 128, 128));
}

TEST(BlendColorTest, HalvesRoundToEven) {
  float fraction = 0.5f;
  // 0.5 -> 0, 1.0 -> 1, 1.5 -> 2, 2.5 -> 2
  EXPECT_EQ(BlendColor(rgb(0, 0, 0), rgb(1, 2, 3), fraction), rgb(0, 1, 2));
  EXPECT_EQ(BlendColor(rgb(0, 0, 0), rgb(5, 0, 0), fraction), rgb(2, 0, 0));
}

TEST(BlendColorTest, FractionIsClampedAndWrittenBack) {
  float above = 1.5f, below = -0.25f;
  EXPECT_EQ(BlendColor(rgb(10, 20, 30), rgb(200, 100, 50), above), rgb(200, 100, 50));
  EXPECT_EQ(above, 1.0f);
  EXPECT_EQ(BlendColor(rgb(10, 20, 30), rgb(200, 100, 50), below), rgb(10, 20, 30));
  EXPECT_EQ(below, 0.0f);
}

TEST(BlendColorTest, FullComponentsStayFull) {
  float fraction = 0.3f;
  EXPECT_EQ(BlendColor(rgb(255, 255, 0), rgb(255, 0, 255), fraction), rgb(255, 179, 77));
}

class BusyTest : public ::testing::Test {
protected:
  void TearDown() override { EndBusy(true); }
  static bool hourglass() {
    return QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
  }
};

TEST_F(BusyTest, NestedSectionsKeepTheHourglassUntilTheOutermostEnds) {
  BeginBusy();
  BeginBusy();
  EXPECT_EQ(BusyCount, 2);
  EXPECT_TRUE(hourglass());
  EndBusy();
  EXPECT_EQ(BusyCount, 1);
  EXPECT_TRUE(hourglass());
  EndBusy();
  EXPECT_EQ(BusyCount, 0);
  EXPECT_FALSE(hourglass());
  EXPECT_EQ(screenMousePointer(), kPointerDefault);
}

TEST_F(BusyTest, EndingMoreThanBegunStaysAtZero) {
  EndBusy();
  EXPECT_EQ(BusyCount, 0);
  BeginBusy();
  EXPECT_TRUE(hourglass());
  EndBusy();
  EXPECT_FALSE(hourglass());
}

TEST_F(BusyTest, ForceEndsEverySection) {
  BeginBusy();
  BeginBusy();
  BeginBusy();
  EndBusy(true);
  EXPECT_EQ(BusyCount, 0);
  EXPECT_FALSE(hourglass());
}

// Twips by their definition, 1440 to the inch at the screen's logical
// resolution, worked out here rather than by the conversions under test.
int expectedTwipsX(double pixels) {
  return static_cast<int>(std::lround(pixels * 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchX()));
}
int expectedTwipsY(double pixels) {
  return static_cast<int>(std::lround(pixels * 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchY()));
}

class CenterFormTest : public ::testing::Test {
protected:
  void TearDown() override { WorkAreaWidth = WorkAreaHeight = WorkAreaLeft = WorkAreaTop = 0; }
  static QPoint centreOf(const QWidget& w) { return w.frameGeometry().center(); }
};

TEST_F(CenterFormTest, BeforeMeasuringCentresOnTheWholeScreen) {
  WorkAreaWidth = 0;
  QWidget window;
  window.resize(200, 100);
  CenterForm(&window);
  QSize screen = displaySizePixels();
  EXPECT_LE(std::abs(centreOf(window).x() - screen.width() / 2), 1);
  EXPECT_LE(std::abs(centreOf(window).y() - screen.height() / 2), 1);
  EXPECT_EQ(window.size(), QSize(200, 100));
}

TEST_F(CenterFormTest, AfterMeasuringCentresOnTheWorkArea) {
  // A work area smaller than the screen, as a panel would leave it.
  WorkAreaLeft = twipsFromPixelsX(0);
  WorkAreaTop = twipsFromPixelsY(40);
  WorkAreaWidth = twipsFromPixelsX(400);
  WorkAreaHeight = twipsFromPixelsY(300);
  QWidget window;
  window.resize(200, 100);
  CenterForm(&window);
  EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(100, 40 + 100));
}

TEST_F(CenterFormTest, MeasuredWorkAreaIsTheDesktopsUsableArea) {
  MeasureWorkArea();
  QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(WorkAreaWidth, expectedTwipsX(area.width()));
  EXPECT_EQ(WorkAreaHeight, expectedTwipsY(area.height()));
  EXPECT_EQ(WorkAreaLeft, expectedTwipsX(area.left()));
  EXPECT_EQ(WorkAreaTop, expectedTwipsY(area.top()));
}

TEST_F(CenterFormTest, GivenSizeIsAppliedWithTheOldSizesPosition) {
  WorkAreaWidth = twipsFromPixelsX(600);
  WorkAreaHeight = twipsFromPixelsY(400);
  QWidget window;
  window.resize(200, 100);
  auto width = static_cast<std::int16_t>(twipsFromPixelsX(300));
  std::int16_t height = 0;
  CenterForm(&window, width, height);
  EXPECT_EQ(window.pos(), QPoint(200, 150));
  EXPECT_EQ(window.size(), QSize(300, 100));
  EXPECT_EQ(height, expectedTwipsY(100));
}

TEST_F(CenterFormTest, MaximisedWindowIsRestoredAndCentred) {
  MeasureWorkArea();
  QWidget window;
  window.resize(200, 100);
  window.showMaximized();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(window.isMaximized());
  CenterForm(&window);
  EXPECT_FALSE(window.isMaximized());
  EXPECT_LT(window.width(), workAreaPixels().width());
  EXPECT_LE(std::abs(centreOf(window).x() - workAreaPixels().center().x()), 1);
}

TEST(TopmostTest, SetAndClearTheFlagWithoutHidingTheWindow) {
  QWidget window;
  window.show();
  bool on = true, off = false;
  EXPECT_TRUE(SetTopmost(&window, on));
  EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(SetTopmost(&window, off));
  EXPECT_FALSE(window.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(MakeTopmost(nullptr));
}

TEST(TextWidthTest, WidestLineInTheControlsFont) {
  QLabel label;
  QFont font = label.font();
  font.setPointSize(14);
  label.setFont(font);
  QFontMetricsF metrics(font);
  const QString wide = QStringLiteral("a rather wide line");
  auto expected = static_cast<std::int32_t>(expectedTwipsX(std::ceil(metrics.horizontalAdvance(wide))));
  EXPECT_EQ(TextWidthIn(&label, wide), expected);
  EXPECT_EQ(TextWidthIn(&label, QStringLiteral("x\r\n") + wide + QStringLiteral("\r\nshort")), expected);
  EXPECT_EQ(TextWidthIn(&label, QString()), 0);
}

} // namespace
} // namespace pu
