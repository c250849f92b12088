#include "platform/profile/profile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace pu {
namespace {

class ProfileTest : public ::testing::Test {
protected:
  std::string read(std::string_view section, std::string_view key, std::string_view def = "<none>", std::uint32_t size = 255) {
    std::vector<char> buffer(size + 1, '#');
    std::uint32_t n = GetPrivateProfileStringA(section, key, def, buffer.data(), size, path);
    EXPECT_EQ(buffer[n], '\0');
    return std::string(buffer.data(), n);
  }
  test::TempDir dir;
  std::string path = dir.file("classification.ini");
};

TEST_F(ProfileTest, ReadsTheFirstMatchWithoutCaseTrimmedUnquotedAndCutToTheBufferFromAnyFile) {
  EXPECT_EQ(read("s", "k", "0"), "0");  // no file
  test::writeWholeFile(path, "[Tree 3]\r\nLevel1 = 1.\r\nlevel1=second\r\n[tree 3]\r\nOther=x\r\n"
                             "[s]\nq=  \"a b\"  \nsq='x'\nqq=\"\"inner\"\"\nempty=\nk=" + std::string(255, 'v') + "\n");
  EXPECT_EQ(read("TREE 3", "LEVEL1"), "1.");
  EXPECT_EQ(read("tree 3", "other"), "<none>");  // only the first section of that name is read
  EXPECT_EQ(read("s", "q"), "a b");
  EXPECT_EQ(read("s", "sq"), "x");
  EXPECT_EQ(read("s", "qq"), "\"inner\"");
  EXPECT_EQ(read("s", "empty"), "");
  EXPECT_EQ(read("t", "k", "0"), "0");
  EXPECT_EQ(read("s", "j", "dflt  "), "dflt");
  EXPECT_EQ(read("s", "k"), std::string(254, 'v'));
  EXPECT_EQ(read("s", "k", "", 5), "vvvv");
  test::writeWholeFile(path, std::string("[s]\rk=no line feeds\r[t]\x00\xFF\nk=bin", 31));
  EXPECT_EQ(read("s", "k"), "no line feeds");
  EXPECT_EQ(read("t", "k"), "bin");
  test::writeWholeFile(path, std::string(1 << 20, '['));
  EXPECT_EQ(read("s", "k"), "<none>");
  std::filesystem::create_directory(dir.file("folder.ini"));
  EXPECT_EQ(GetPrivateProfileStringA("s", "k", "d", nullptr, 0, dir.file("folder.ini")), 0u);
}

// A write creates what is missing, replaces one value keeping every other
// line, and one that fails leaves the file as it was.
TEST_F(ProfileTest, WriteCreatesOrReplacesOneValueKeepingEveryOtherLineOrFailsChangingNothing) {
  ASSERT_NE(WritePrivateProfileStringA("Strings", "StandardOrdinal1", "1", path), 0);
  ASSERT_NE(WritePrivateProfileStringA("Other", "k", "v", path), 0);
  EXPECT_EQ(read("strings", "standardordinal1"), "1");
  EXPECT_EQ(read("other", "k"), "v");
  test::writeWholeFile(path, "; rules\r\n[Tree 3]\r\nLevel1=old\r\n\r\n[Tree 4]\r\nLevel1=keep\r\n");
  ASSERT_NE(WritePrivateProfileStringA("tree 3", "LEVEL1", "new", path), 0);
  EXPECT_EQ(test::readWholeFile(path), "; rules\r\n[Tree 3]\r\nLEVEL1=new\r\n\r\n[Tree 4]\r\nLevel1=keep\r\n");
  ASSERT_NE(WritePrivateProfileStringA("Tree 3", "Level2", "A.", path), 0);
  EXPECT_EQ(test::readWholeFile(path), "; rules\r\n[Tree 3]\r\nLEVEL1=new\r\nLevel2=A.\r\n\r\n[Tree 4]\r\nLevel1=keep\r\n");
  test::writeWholeFile(path, "[a]\nx=1");  // no line end after the last line
  ASSERT_NE(WritePrivateProfileStringA("a", "y", "2", path), 0);
  EXPECT_EQ(test::readWholeFile(path), "[a]\nx=1\ny=2\n");
  EXPECT_EQ(WritePrivateProfileStringA("s", "k", "v", dir.file("missing/x.ini")), 0);
  std::filesystem::create_directory(dir.file("folder.ini"));
  EXPECT_EQ(WritePrivateProfileStringA("s", "k", "v", dir.file("folder.ini")), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.ini")));
}

} // namespace
} // namespace pu
