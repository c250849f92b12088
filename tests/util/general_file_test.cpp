#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/fs/file_system.h"
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

TEST_F(GeneralFileTest, CopyReplacesTheDestination) {
  std::string big(3 << 20, 'a');
  big[12345] = 'b';
  test::writeWholeFile(dir.file("src"), big);
  test::writeWholeFile(dir.file("dst"), "old");
  CopyFile(path("src"), path("dst"));
  EXPECT_EQ(test::readWholeFile(dir.file("dst")), big);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

// A file system whose writes fail after a given number of bytes.
class FailingWrites : public FileSystem {
public:
  explicit FailingWrites(std::uint64_t budget) : m_budget(budget) {}
  std::string resolve(std::string_view p) override { return m_real.resolve(p); }
  Status openFile(std::string_view p, bool w, std::unique_ptr<File>* f) override { return m_real.openFile(p, w, f); }
  Status createFile(std::string_view p, std::unique_ptr<File>* f) override {
    std::unique_ptr<File> real;
    Status s = m_real.createFile(p, &real);
    if (s) *f = std::make_unique<Limited>(std::move(real), m_budget);
    return s;
  }
  std::optional<std::int64_t> modifiedTime(std::string_view p) override { return m_real.modifiedTime(p); }
  bool isDirectory(std::string_view p) override { return m_real.isDirectory(p); }
  Status makeNormal(std::string_view p) override { return m_real.makeNormal(p); }
  Status removeFile(std::string_view p) override { return m_real.removeFile(p); }
  Status rename(std::string_view a, std::string_view b) override { return m_real.rename(a, b); }
  Status createDirectory(std::string_view p) override { return m_real.createDirectory(p); }
  Status listDirectories(std::string_view p, std::vector<std::string>* n) override { return m_real.listDirectories(p, n); }
  std::vector<std::string> roots() override { return m_real.roots(); }
  std::string currentDirectory() override { return m_real.currentDirectory(); }
  void sleepMilliseconds(int ms) override { m_real.sleepMilliseconds(ms); }

private:
  struct Limited : File {
    Limited(std::unique_ptr<File> f, std::uint64_t budget) : m_file(std::move(f)), m_left(budget) {}
    Status readAt(std::uint64_t o, void* b, std::size_t n, std::size_t* r) override { return m_file->readAt(o, b, n, r); }
    Status writeAt(std::uint64_t o, const void* d, std::size_t n) override {
      if (n > m_left) {
        (void)m_file->writeAt(o, d, static_cast<std::size_t>(m_left));
        m_left = 0;
        return Status::ioError("disk full");
      }
      m_left -= n;
      return m_file->writeAt(o, d, n);
    }
    Status size(std::uint64_t* b) override { return m_file->size(b); }
    Status truncate(std::uint64_t b) override { return m_file->truncate(b); }
    Status sync() override { return m_file->sync(); }
    Status lock(std::uint64_t o, std::uint64_t l, bool e) override { return m_file->lock(o, l, e); }
    Status unlock(std::uint64_t o, std::uint64_t l) override { return m_file->unlock(o, l); }
    const std::string& path() const override { return m_file->path(); }
    std::unique_ptr<File> m_file;
    std::uint64_t m_left;
  };
  FileSystem& m_real = FileSystem::instance();
  std::uint64_t m_budget;
};

TEST_F(GeneralFileTest, AFailedCopyLeavesNoPartialFileUnderAnyName) {
  test::writeWholeFile(dir.file("src"), std::string(3 << 20, 'a'));
  FailingWrites failing(1 << 20);
  FileSystem* previous = FileSystem::setInstance(&failing);
  CopyFile(path("src"), path("dst"));
  FileSystem::setInstance(previous);
  EXPECT_FALSE(std::filesystem::exists(dir.file("dst")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(GeneralFileTest, CopyOfAMissingSourceLeavesTheDestinationMissing) {
  test::writeWholeFile(dir.file("dst"), "old");
  CopyFile(path("none"), path("dst"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("dst")));
}

TEST_F(GeneralFileTest, MakeDirectoryCreatesMissingParents) {
  EXPECT_TRUE(MakeDirectory(path("a") + u"\\b\\Backups\\"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("a/b/Backups")));
  EXPECT_TRUE(MakeDirectory(path("a")));  // already there
  EXPECT_TRUE(MakeDirectory(path("x/y")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("x/y")));
  EXPECT_FALSE(MakeDirectory(u"q\\z"));  // missing parent, no separator at position 3 or later
  EXPECT_FALSE(FileExists(u"q"));
}

TEST_F(GeneralFileTest, MakeDirectoryAnswersTrueForOtherFailures) {
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
