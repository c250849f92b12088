#include <QCursor>
#include <QGuiApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/controls/elastic_panel.h"
#include "platform/controls/screen_metrics.h"
#include "platform/controls/screen_pointer.h"

namespace pu {
namespace {

TEST(ScreenMetricsTest, PixelsSurviveTheTripThroughTwips) {
  for (int pixels : {0, 1, 9, 19, 73, 359, 1279}) {
    EXPECT_EQ(pixelsFromTwipsX(twipsFromPixelsX(pixels)), pixels);
    EXPECT_EQ(pixelsFromTwipsY(twipsFromPixelsY(pixels)), pixels);
  }
}

TEST(ScreenPointerTest, HourglassOverridesUntilReset) {
  setScreenMousePointer(kPointerHourglass);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  // Setting it twice must not need two resets.
  setScreenMousePointer(kPointerHourglass);
  EXPECT_EQ(screenMousePointer(), kPointerHourglass);
  setScreenMousePointer(kPointerDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(screenMousePointer(), kPointerDefault);
}

TEST(ElasticPanelTest, FillingPanelFollowsItsParentsSize) {
  QWidget window;
  window.resize(300, 200);
  auto* panel = new ElasticPanel(&window);
  panel->setFillParent(true);
  // A hidden window delivers its resize events only when shown.
  window.show();
  EXPECT_EQ(panel->geometry(), QRect(0, 0, 300, 200));
  window.resize(420, 260);
  EXPECT_EQ(panel->geometry(), QRect(0, 0, 420, 260));
  panel->setFillParent(false);
  window.resize(100, 100);
  EXPECT_EQ(panel->size(), QSize(420, 260));
}

} // namespace
} // namespace pu
