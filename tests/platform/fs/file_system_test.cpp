// Names, atomic replacement and folders. Byte-range locks are the table's
// lock tests' (a second open and another process at FoxPro's offsets), short
// reads the damaged-table tests'.
#include "platform/fs/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>

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

TEST_F(FileSystemTest, ReplaceKeepsTheModeAndLeavesNoTemporaryFileAndFolderWorkReportsWhatIsMissing) {
  ASSERT_TRUE(replaceFileAtomically(dir.file("t.dbf"), "old").isOk());
  std::filesystem::permissions(dir.file("t.dbf"), std::filesystem::perms(0660));
  ASSERT_TRUE(replaceFileAtomically(dir.file("t.dbf"), "new").isOk());
  EXPECT_EQ(std::filesystem::status(dir.file("t.dbf")).permissions(), std::filesystem::perms(0660));
  EXPECT_EQ(test::readWholeFile(dir.file("t.dbf")), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  // A folder sync that fails is reported: the renames in the folder may not last.
  EXPECT_TRUE(fs.syncDirectory(dir.path()).isOk());
  EXPECT_EQ(fs.syncDirectory(dir.file("missing")).code(), Status::Code::NotFound);
  EXPECT_EQ(fs.createDirectory(dir.file("a/b")).code(), Status::Code::PathNotFound);
  EXPECT_TRUE(fs.createDirectory(dir.file("a")).isOk());
  EXPECT_EQ(fs.createDirectory(dir.file("a")).code(), Status::Code::Exists);
}

} // namespace
} // namespace pu
