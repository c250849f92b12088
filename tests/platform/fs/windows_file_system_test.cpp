// The Windows file layer's own promises: share modes as the share marks,
// locks at the FoxPro offsets, replacing a file this program holds open,
// and names as the file system takes them.
#include "platform/fs/file_system.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace pu {
namespace {

class WindowsFileSystemTest : public ::testing::Test {
protected:
  void SetUp() override { test::writeWholeFile(path, std::string(100, 'x')); }
  std::unique_ptr<File> open() {
    std::unique_ptr<File> f;
    EXPECT_TRUE(fs.openFile(path, true, &f).isOk());
    return f;
  }

  FileSystem& fs = FileSystem::instance();
  test::TempDir dir;
  std::string path = dir.file("t.dbf");
};

TEST_F(WindowsFileSystemTest, LocksAtTheFoxProOffsetsAndExclusiveUseExcludeASecondOpen) {
  std::unique_ptr<File> first = open(), second = open();
  for (std::uint64_t offset : {0x7FFFFFFEull, 0x7FFFFFFEull - 1000000, 0x40000000ull + 0x1A1}) {
    ASSERT_TRUE(first->lock(offset, 1, true).isOk());
    EXPECT_TRUE(first->lock(offset, 1, true).isOk());  // held: taken again, as fcntl would
    EXPECT_EQ(second->lock(offset, 1, false).code(), Status::Code::Locked);
    ASSERT_TRUE(first->unlock(offset, 1).isOk());
    EXPECT_TRUE(second->lock(offset, 1, true).isOk());
  }
  EXPECT_TRUE(second->unlock(5, 1).isOk());  // never held
  second = open();
  ASSERT_TRUE(first->share(File::Share::Shared).isOk());
  EXPECT_EQ(second->share(File::Share::Exclusive).code(), Status::Code::Locked);
  std::size_t n = 0;
  char byte;
  EXPECT_TRUE(second->readAt(0, &byte, 1, &n).isOk());  // the refused change left it open
  second.reset();
  ASSERT_TRUE(first->lock(0x7FFFFFFE - 3, 1, true).isOk());
  ASSERT_TRUE(first->share(File::Share::Exclusive).isOk());
  std::unique_ptr<File> other;
  EXPECT_EQ(fs.openFile(path, false, &other).code(), Status::Code::Locked);
  ASSERT_TRUE(first->share(File::Share::Shared).isOk());
  other = open();
  EXPECT_EQ(other->lock(0x7FFFFFFE - 3, 1, true).code(), Status::Code::Locked);  // kept through both reopens
}

TEST_F(WindowsFileSystemTest, AFileHeldOpenIsReplacedAndNamesAreAsTheFileSystemTakesThem) {
  std::unique_ptr<File> old = open(), fresh;
  ASSERT_TRUE(fs.createFile(dir.file("t.dbf.new"), &fresh).isOk());
  ASSERT_TRUE(fresh->writeAt(0, "new", 3).isOk());
  ASSERT_TRUE(fresh->share(File::Share::Exclusive).isOk());
  ASSERT_TRUE(fs.rename(dir.file("t.dbf.new"), path).isOk());
  std::size_t n = 0;
  char buffer[4];
  EXPECT_FALSE(old->readAt(0, buffer, sizeof buffer, &n).isOk());  // the replaced file is gone
  EXPECT_EQ(fresh->path(), path);
  ASSERT_TRUE(fresh->share(File::Share::Shared).isOk());  // opened again by its new name
  ASSERT_TRUE(fresh->readAt(0, buffer, sizeof buffer, &n).isOk());
  EXPECT_EQ(std::string(buffer, n), "new");
  EXPECT_EQ(test::readWholeFile(path), "new");
  EXPECT_EQ(fs.resolve(dir.path() + "//db\\\\t.dbf"), dir.path() + "/db\\t.dbf");
  EXPECT_EQ(fs.resolve("\\\\server\\share\\t.dbf"), "\\\\server\\share\\t.dbf");
  std::unique_ptr<File> f;
  EXPECT_TRUE(fs.openFile(dir.file("T.DBF"), false, &f).isOk());
  std::vector<std::string> roots = fs.roots();
  ASSERT_FALSE(roots.empty());
  for (const std::string& root : roots) {
    EXPECT_EQ(root.substr(1), ":\\");
    EXPECT_TRUE(fs.isDirectory(root)) << root;
  }
}

} // namespace
} // namespace pu
