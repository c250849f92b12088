#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/fs/file_system.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_dir.h"
#include "util/general.h"

namespace pu {
namespace {

class GeneralFileTest : public ::testing::Test {
protected:
  Text path(const std::string& name) const { return fromUtf8(dir.file(name)); }
  test::TempDir dir;
};

TEST_F(GeneralFileTest, ExistenceOfFilesAndFolders) {
  test::writeWholeFile(dir.file("standard.dbf"), "x");
  EXPECT_TRUE(FileExists(path("standard.dbf")));
  EXPECT_TRUE(FileExists(path("STANDARD.DBF")));
  EXPECT_TRUE(FileExists(fromUtf8(dir.path())));
  EXPECT_FALSE(FileExists(path("missing.dbf")));
  EXPECT_FALSE(FileExists(u""));
  EXPECT_TRUE(FolderExists(fromUtf8(dir.path()) + u"\\"));
  EXPECT_TRUE(FolderExists(fromUtf8(dir.path()) + u"/"));
  EXPECT_TRUE(FolderExists(fromUtf8(dir.path()) + u"\\/"));  // "/" dropped first, then "\"
  EXPECT_FALSE(FolderExists(fromUtf8(dir.path()) + u"/\\x"));
}

TEST_F(GeneralFileTest, DeleteRemovesReadOnlyFilesToo) {
  test::writeWholeFile(dir.file("ro.dbf"), "x");
  ::chmod(dir.file("ro.dbf").c_str(), 0444);
  DeleteFile(path("ro.dbf"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("ro.dbf")));
  DeleteFile(path("never-there"));  // no effect, no error
}

// A copy that fails, at its source or while writing, leaves no
// destination and no partial file under any name.
TEST_F(GeneralFileTest, CopyReplacesTheDestinationOrLeavesItMissing) {
  std::string big(3 << 20, 'a');
  big[12345] = 'b';
  test::writeWholeFile(dir.file("src"), big);
  test::writeWholeFile(dir.file("dst"), "old");
  CopyFile(path("src"), path("dst"));
  EXPECT_EQ(test::readWholeFile(dir.file("dst")), big);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
  {
    test::ForwardingFileSystem full;
    full.failWrites = [](std::string_view) { return true; };
    CopyFile(path("src"), path("dst"));
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  CopyFile(path("src"), path("dst"));
  CopyFile(path("none"), path("dst"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("dst")));
}

// A missing parent is made first; any other failure answers true.
TEST_F(GeneralFileTest, MakeDirectoryCreatesMissingParents) {
  EXPECT_TRUE(MakeDirectory(path("a") + u"\\b\\Backups\\"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("a/b/Backups")));
  EXPECT_TRUE(MakeDirectory(path("a")));  // already there
  EXPECT_TRUE(MakeDirectory(path("x/y")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("x/y")));
  EXPECT_FALSE(MakeDirectory(u"q\\z"));  // missing parent, no separator at position 3 or later
  EXPECT_FALSE(FileExists(u"q"));
  test::writeWholeFile(dir.file("file"), "x");
  EXPECT_TRUE(MakeDirectory(path("file")));
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("file")));
}

TEST(GeneralPathTest, ExtensionBaseNameAndFolder) {
  EXPECT_EQ(FileExtension(u"C:\\data.old\\standard"), u"old\\standard");
  EXPECT_EQ(FileExtension(u"standard"), u"standard");
  EXPECT_EQ(FileExtension(u"a\\standard.dbf"), u"dbf");
  EXPECT_EQ(FileBaseName(u"C:\\db\\standard.dbf"), u"standard");
  EXPECT_EQ(FileBaseName(u"archive.tar.gz"), u"archive.tar");
  EXPECT_EQ(FileBaseName(u"/home/u/db\\standard.cdx"), u"standard");
  EXPECT_EQ(FileBaseName(u"/home/u/db/standard.cdx"), u"standard");
  EXPECT_EQ(FolderOfPath(u"c:\\data\\x.ini"), u"C:\\DATA\\");
  EXPECT_EQ(FolderOfPath(u"/srv/db/options.ini"), u"/SRV/DB/");
  Text current = FolderOfPath(u"x.ini");
  EXPECT_EQ(current.back(), u'\\');
  EXPECT_EQ(current.size(), FileSystem::instance().currentDirectory().size() + 1);
}

} // namespace
} // namespace pu
