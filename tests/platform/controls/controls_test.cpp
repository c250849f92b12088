// Screen metrics, the resizing panel, the folder and drive lists and the window helpers. TextWidthIn
// is measured through the message box (msgbox_test), which sizes itself by it.
#include <QCursor>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <gtest/gtest.h>

#include "platform/controls/directory_list.h"
#include "platform/controls/drive_list.h"
#include "platform/controls/elastic_panel.h"
#include "platform/controls/screen_metrics.h"
#include "platform/controls/screen_pointer.h"
#include "platform/controls/window_layout.h"
#include "tests/support/temp_dir.h"

namespace pu {
namespace {

constexpr std::int32_t rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

TEST(ScreenMetricsTest, PixelsSurviveTheTripThroughTwips) {
  for (int pixels : {0, 1, 9, 19, 73, 359, 1279}) {
    EXPECT_EQ(pixelsFromTwipsX(twipsFromPixelsX(pixels)), pixels);
    EXPECT_EQ(pixelsFromTwipsY(twipsFromPixelsY(pixels)), pixels);
  }
}

TEST(ElasticPanelTest, FillingPanelFollowsItsParentsSize) {
  QWidget window;
  window.resize(300, 200);
  auto* panel = new ElasticPanel(&window);
  panel->setFillParent(true);
  window.show();  // a hidden window delivers its resize events only when shown
  EXPECT_EQ(panel->geometry(), QRect(0, 0, 300, 200));
  window.resize(420, 260);
  EXPECT_EQ(panel->geometry(), QRect(0, 0, 420, 260));
  panel->setFillParent(false);
  window.resize(100, 100);
  EXPECT_EQ(panel->size(), QSize(420, 260));
}

TEST(BlendColorTest, BlendsPerComponentRoundingHalvesToEvenAndClampsTheFraction) {
  const struct {
    std::int32_t first, second;
    float fraction;
    std::int32_t expected;
    float fractionAfter;
  } cases[] = {
      {rgb(0, 0, 255), rgb(255, 255, 255), 0.25f, rgb(64, 64, 255), 0.25f},
      {rgb(0, 0, 0), rgb(1, 2, 3), 0.5f, rgb(0, 1, 2), 0.5f},  // 0.5 -> 0, 1.0 -> 1, 1.5 -> 2
      {rgb(0, 0, 0), rgb(5, 0, 0), 0.5f, rgb(2, 0, 0), 0.5f},  // 2.5 -> 2
      {rgb(10, 20, 30), rgb(200, 100, 50), 1.5f, rgb(200, 100, 50), 1.0f},
      {rgb(10, 20, 30), rgb(200, 100, 50), -0.25f, rgb(10, 20, 30), 0.0f},
  };
  for (auto c : cases) {
    EXPECT_EQ(BlendColor(c.first, c.second, c.fraction), c.expected) << c.expected;
    EXPECT_EQ(c.fraction, c.fractionAfter);
  }
}

// The hourglass is one override, however often it is set: one reset ends it.
TEST(BusyTest, SectionsNestUntilTheOutermostEndsAndForceEndsThemAll) {
  auto hourglass = [] {
    return QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
  };
  EndBusy();  // more ends than begins stay at zero
  EXPECT_EQ(BusyCount, 0);
  BeginBusy();
  BeginBusy();
  EndBusy();
  EXPECT_EQ(BusyCount, 1);
  EXPECT_TRUE(hourglass());
  EXPECT_EQ(screenMousePointer(), kPointerHourglass);
  EndBusy();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(screenMousePointer(), kPointerDefault);
  BeginBusy();
  BeginBusy();
  EndBusy(true);
  EXPECT_EQ(BusyCount, 0);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

class CenterFormTest : public ::testing::Test {
protected:
  void TearDown() override { WorkAreaWidth = WorkAreaHeight = WorkAreaLeft = WorkAreaTop = 0; }
  static QPoint centreOf(const QWidget& w) { return w.frameGeometry().center(); }
};

TEST_F(CenterFormTest, CentresOnTheScreenBeforeMeasuringThenOnTheWorkAreaAndRestoresAMaximisedWindow) {
  QWidget window;
  window.resize(200, 100);
  CenterForm(&window);
  QSize screen = displaySizePixels();
  EXPECT_LE(std::abs(centreOf(window).x() - screen.width() / 2), 1);
  EXPECT_LE(std::abs(centreOf(window).y() - screen.height() / 2), 1);
  EXPECT_EQ(window.size(), QSize(200, 100));
  // A work area smaller than the screen, as a panel would leave it.
  WorkAreaLeft = twipsFromPixelsX(0);
  WorkAreaTop = twipsFromPixelsY(40);
  WorkAreaWidth = twipsFromPixelsX(400);
  WorkAreaHeight = twipsFromPixelsY(300);
  CenterForm(&window);
  EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(100, 40 + 100));
  // A given width applies with the old size's position; 0 keeps the height.
  auto width = static_cast<std::int16_t>(twipsFromPixelsX(300));
  std::int16_t height = 0;
  CenterForm(&window, width, height);
  EXPECT_EQ(window.pos(), QPoint(100, 40 + 100));
  EXPECT_EQ(window.size(), QSize(300, 100));
  EXPECT_EQ(height, twipsFromPixelsY(100));
  // A maximised window is restored and centred.
  MeasureWorkArea();
  QWidget maximised;
  maximised.resize(200, 100);
  maximised.showMaximized();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&maximised));
  ASSERT_TRUE(maximised.isMaximized());
  CenterForm(&maximised);
  EXPECT_FALSE(maximised.isMaximized());
  EXPECT_LT(maximised.width(), workAreaPixels().width());
  EXPECT_LE(std::abs(centreOf(maximised).x() - workAreaPixels().center().x()), 1);
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
  EXPECT_FALSE(MakeTopmost(nullptr));
}

// Parents first, then the visible subfolders sorted without regard to case;
// backslashes and letter case of a path are resolved; a folder that cannot
// be read still shows its parents.
TEST(DirectoryListTest, ListsParentsThenVisibleSubfoldersSortedWithoutCaseAndEnterOpensOne) {
  // Entries below the open folder, in order.
  auto childrenOf = [](const DirectoryList& list) {
    std::vector<std::string> all = list.entries(), children;
    auto open = std::find(all.begin(), all.end(), list.path());
    if (open != all.end()) children.assign(open + 1, all.end());
    return children;
  };
  test::TempDir dir;
  for (const char* name : {"beta", "Alpha", "gamma", ".hidden"}) std::filesystem::create_directory(dir.file(name));
  test::writeWholeFile(dir.file("afile.txt"), "x");
  DirectoryList list;
  QSignalSpy changed(&list, &DirectoryList::changed);
  list.setPath(dir.path());
  EXPECT_EQ(list.path(), dir.path());
  EXPECT_EQ(list.entries().front(), "/");
  EXPECT_EQ(childrenOf(list), (std::vector<std::string>{dir.file("Alpha"), dir.file("beta"), dir.file("gamma")}));
  EXPECT_EQ(list.currentPath(), dir.path());
  list.setPath(dir.path());
  EXPECT_EQ(changed.count(), 1);  // raised only when the open folder differs
  list.setPath(dir.path() + "\\ALPHA\\");
  EXPECT_EQ(list.path(), dir.file("Alpha"));
  EXPECT_EQ(changed.count(), 2);
  list.setPath(dir.file("missing"));
  EXPECT_EQ(list.entries().back(), dir.file("missing"));
  EXPECT_TRUE(childrenOf(list).empty());

  // Enter opens the highlighted folder (clicks and drives are tested through the folder selecter).
  list.setPath(dir.path());
  list.setCurrentItem(list.entryOf(dir.file("Alpha")));
  QTest::keyClick(&list, Qt::Key_Return);
  EXPECT_EQ(list.path(), dir.file("Alpha"));
  // Up from there by the parent entry.
  list.setCurrentItem(list.entryOf(dir.path()));
  QTest::keyClick(&list, Qt::Key_Enter);
  EXPECT_EQ(list.path(), dir.path());
}

TEST(DriveListTest, DriveOfPicksTheLongestContainingRoot) {
  std::vector<std::string> drives{"/", "/home", "/media/usb", "/media/usb2"};
  for (const auto& [path, drive] : std::vector<std::pair<std::string, std::string>>{
           {"/home/ann/course", "/home"}, {"/home", "/home"}, {"/homework", "/"},
           {"/media/usb2/x", "/media/usb2"}, {"/media/usb/x", "/media/usb"}, {"relative", ""}})
    EXPECT_EQ(DriveList::driveOf(drives, path), drive) << path;
}

} // namespace
} // namespace pu
