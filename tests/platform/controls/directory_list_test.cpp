#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

#include "platform/controls/directory_list.h"
#include "platform/controls/drive_list.h"
#include "tests/support/temp_dir.h"

namespace pu {
namespace {

class DirectoryListTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"beta", "Alpha", "gamma", ".hidden"}) std::filesystem::create_directory(m_dir.file(name));
    test::writeWholeFile(m_dir.file("afile.txt"), "x");
  }

  // Entries below the open folder, in order.
  std::vector<std::string> childrenOf(const DirectoryList& list) {
    std::vector<std::string> all = list.entries(), children;
    auto open = std::find(all.begin(), all.end(), list.path());
    if (open != all.end()) children.assign(open + 1, all.end());
    return children;
  }

  test::TempDir m_dir;
};

// Parents first, then the visible subfolders sorted without regard to case;
// backslashes and letter case of a path are resolved; a folder that cannot
// be read still shows its parents.
TEST_F(DirectoryListTest, ListsParentsThenVisibleSubfoldersSortedWithoutCase) {
  DirectoryList list;
  QSignalSpy changed(&list, &DirectoryList::changed);
  list.setPath(m_dir.path());
  EXPECT_EQ(list.path(), m_dir.path());
  EXPECT_EQ(list.entries().front(), "/");
  EXPECT_EQ(childrenOf(list), (std::vector<std::string>{m_dir.file("Alpha"), m_dir.file("beta"), m_dir.file("gamma")}));
  EXPECT_EQ(list.currentPath(), m_dir.path());
  list.setPath(m_dir.path());
  EXPECT_EQ(changed.count(), 1);  // raised only when the open folder differs
  list.setPath(m_dir.path() + "\\ALPHA\\");
  EXPECT_EQ(list.path(), m_dir.file("Alpha"));
  EXPECT_EQ(changed.count(), 2);
  list.setPath(m_dir.file("missing"));
  EXPECT_EQ(list.entries().back(), m_dir.file("missing"));
  EXPECT_TRUE(childrenOf(list).empty());
}

// Clicks, double-clicks and a change of drive are tested through the folder
// selecter window.
TEST_F(DirectoryListTest, EnterOpensTheHighlightedFolder) {
  DirectoryList list;
  list.setPath(m_dir.path());
  list.setCurrentItem(list.entryOf(m_dir.file("Alpha")));
  QTest::keyClick(&list, Qt::Key_Return);
  EXPECT_EQ(list.path(), m_dir.file("Alpha"));
  // Up from there by the parent entry.
  list.setCurrentItem(list.entryOf(m_dir.path()));
  QTest::keyClick(&list, Qt::Key_Enter);
  EXPECT_EQ(list.path(), m_dir.path());
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
