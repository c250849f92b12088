#include "platform/fs/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/other_program.h"
#include "tests/support/temp_dir.h"

namespace pu {
namespace {

class FileSystemTest : public ::testing::Test {
protected:
  FileSystem& fs = FileSystem::instance();
  test::TempDir dir;
};

// Backslashes, doubled separators and letter case resolve to the entry; the
// exact case wins, and a name that two entries match is not guessed.
TEST_F(FileSystemTest, NamesResolveToTheEntryTheyMean) {
  std::filesystem::create_directories(dir.file("DB/Backups"));
  test::writeWholeFile(dir.file("DB/STANDARD.DBF"), "x");
  test::writeWholeFile(dir.file("a.txt"), "lower");
  test::writeWholeFile(dir.file("A.TXT"), "upper");
  EXPECT_EQ(fs.resolve(dir.path() + "\\DB\\\\STANDARD.DBF"), dir.file("DB/STANDARD.DBF"));
  EXPECT_EQ(fs.resolve(dir.path() + "/db\\standard.dbf"), dir.file("DB/STANDARD.DBF"));
  EXPECT_TRUE(fs.modifiedTime(dir.path() + "\\db\\backups\\").has_value());
  std::unique_ptr<File> file;
  EXPECT_TRUE(fs.openFile(dir.path() + "/Db/Standard.Dbf", false, &file).isOk());
  EXPECT_EQ(fs.resolve(dir.file("A.TXT")), dir.file("A.TXT"));
  EXPECT_EQ(fs.resolve(dir.file("A.txt")), dir.file("A.txt"));  // two candidates: none is chosen
  EXPECT_FALSE(fs.modifiedTime(dir.file("A.txt")).has_value());
}

// The replacement keeps the file's mode and leaves no temporary file.
TEST_F(FileSystemTest, ReplaceAtomicallyKeepsTheModeAndLeavesNoTemporaryFile) {
  ASSERT_TRUE(replaceFileAtomically(dir.file("t.dbf"), "old").isOk());
  std::filesystem::permissions(dir.file("t.dbf"), std::filesystem::perms(0660));
  ASSERT_TRUE(replaceFileAtomically(dir.file("t.dbf"), "new").isOk());
  EXPECT_EQ(std::filesystem::status(dir.file("t.dbf")).permissions(), std::filesystem::perms(0660));
  EXPECT_EQ(test::readWholeFile(dir.file("t.dbf")), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// A folder sync that fails is reported: the renames in the folder may not last.
TEST_F(FileSystemTest, FolderSyncAndCreationReportWhatIsMissing) {
  EXPECT_TRUE(fs.syncDirectory(dir.path()).isOk());
  EXPECT_EQ(fs.syncDirectory(dir.file("missing")).code(), Status::Code::NotFound);
  EXPECT_EQ(fs.createDirectory(dir.file("a/b")).code(), Status::Code::PathNotFound);
  EXPECT_TRUE(fs.createDirectory(dir.file("a")).isOk());
  EXPECT_EQ(fs.createDirectory(dir.file("a")).code(), Status::Code::Exists);
}

TEST_F(FileSystemTest, ByteRangeLocksExcludeASecondOpenAndASecondProcess) {
  test::writeWholeFile(dir.file("t.dbf"), std::string(100, 'x'));
  std::unique_ptr<File> first, second;
  ASSERT_TRUE(fs.openFile(dir.file("t.dbf"), true, &first).isOk());
  ASSERT_TRUE(fs.openFile(dir.file("t.dbf"), true, &second).isOk());
  ASSERT_TRUE(first->lock(1000, 1, true).isOk());
  EXPECT_EQ(second->lock(1000, 1, true).code(), Status::Code::Locked);
  EXPECT_TRUE(second->lock(1001, 1, true).isOk());

  test::OtherProgram other([&] {
    std::unique_ptr<File> f;
    return fs.openFile(dir.file("t.dbf"), true, &f).isOk() && f->lock(1000, 1, true).code() == Status::Code::Locked;
  });
  EXPECT_TRUE(other.ready());
  ASSERT_TRUE(first->unlock(1000, 1).isOk());
  EXPECT_TRUE(second->lock(1000, 1, true).isOk());
}

TEST_F(FileSystemTest, ReadsPastTheEndAreShort) {
  test::writeWholeFile(dir.file("s"), "abc");
  std::unique_ptr<File> file;
  ASSERT_TRUE(fs.openFile(dir.file("s"), false, &file).isOk());
  char buffer[10];
  std::size_t n = 99;
  ASSERT_TRUE(file->readAt(1, buffer, sizeof buffer, &n).isOk());
  EXPECT_EQ(std::string(buffer, n), "bc");
  ASSERT_TRUE(file->readAt(50, buffer, sizeof buffer, &n).isOk());
  EXPECT_EQ(n, 0u);
}

} // namespace
} // namespace pu
