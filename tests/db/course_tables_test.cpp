#include "db/course_tables.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "db/codebase_wrappers.h"
#include "db/message_hook.h"
#include "tests/db/course_db_fixture.h"
#include "tests/platform/table/independent_reader.h"
#include "util/path_globals.h"

namespace pu {
namespace {

class CourseTablesTest : public test::CourseDbTest {
protected:
  void SetUp() override {
    useDatabase(test::treeOf({{2, 10, 1, 1, "a"}}));
    setMessageHook([this](const Text& message, std::int32_t options, const std::optional<Text>&) {
      messages.push_back(toUtf8(message) + " / " + std::to_string(options));
      return 1;
    });
  }
  void TearDown() override {
    setMessageHook({});
    CourseDbTest::TearDown();
  }
  std::vector<std::string> messages;
};

// Folders the ANSI code page cannot hold, and paths longer than the 255
// characters a library text may have: the registry finds each table again,
// whatever the case of its name and folder, and what is written through the
// field references is read back.
TEST_F(CourseTablesTest, EveryFolderPathReachesTheFileSystemUnchanged) {
  std::string deep = dir.file("\xd0\x9a\xd1\x83\xd1\x80\xd1\x81 \xe8\xaf\xbe\xe7\xa8\x8b");
  while (deep.size() < 250) deep += "/" + std::string(40, 'f');
  for (const std::string& where : {dir.file("\xd0\x9c\xd0\xb8\xd1\x80 \xe2\x82\xac\xc5\x93"), deep + "/course"}) {
    SCOPED_TRACE(where);
    std::filesystem::create_directories(std::u8string(where.begin(), where.end()));  // UTF-8 on Windows too
    folder = where;
    useDatabase(test::treeOf({{2, 10, 1, 1, "a"}}));
    TableRec first = OpenTable(u"standard");
    ASSERT_NE(first.table, 0);
    std::string upperFolder = folder;
    for (char& c : upperFolder) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(OpenTable(u"standard"), first);
    EXPECT_EQ(OpenTable(u"STANDARD", fromUtf8(upperFolder)), first);
    EXPECT_EQ(first.kind, 2);
    EXPECT_EQ(first.name, u"STANDARD");
    EXPECT_NE(first.tag, 0);
    EXPECT_EQ(first.identityField, 0);
    ASSERT_TRUE(RefFindFirst(standard::StandardID, u"  2     10"));
    EXPECT_EQ(RefValLng(standard::parent_id), 1);
    ASSERT_TRUE(RefSetStr(standard::descript, u"written"));
    ASSERT_TRUE(RefSetLng(standard::Order, 7));
    ASSERT_TRUE(RefFindFirst(standard::treeprntid, u"  2      1  7"));
    EXPECT_EQ(RefValStr(standard::descript), u"written");
    EXPECT_NE(test::dbfreadDump(where + "/standard.dbf").find("DESCRIPT=written"), std::string::npos);
    expectTagsConsistent("standard");
  }
  EXPECT_TRUE(messages.empty());
  CourseTablePath = u"";  // course tables need the course folder
  EXPECT_EQ(OpenTable(u"quests"), TableRec{});
}

// A missing table is copied from the blank tables, by default from the
// template folder or else from the data folder's; missing blank files are
// reported, but a missing memo file is not.
TEST_F(CourseTablesTest, MissingTablesAreCopiedFromTheBlankTables) {
  for (const char* ext : {".dbf", ".cdx", ".fpt"}) std::filesystem::remove(folder + "/quests" + ext);
  TableRec quests = OpenTable(u"quests");
  EXPECT_NE(quests.table, 0);
  EXPECT_NE(quests.tag, 0);
  EXPECT_EQ(d4recCountDo(quests.table), 0);
  EXPECT_TRUE(std::filesystem::exists(folder + "/quests.fpt"));
  EXPECT_TRUE(messages.empty());

  TemplatePath = fromUtf8(dir.file("nowhere"));
  std::filesystem::create_directories(folder + "/Databases");
  std::filesystem::rename(folder + "/Blank", folder + "/Databases/Blank");
  std::filesystem::create_directory(folder + "/new");
  CreateBlankTable(fromUtf8(folder + "/new"), u"stanques", 0, u":DEFAULT:");
  EXPECT_TRUE(std::filesystem::exists(folder + "/new/stanques.dbf"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/new/stanques.cdx"));
  EXPECT_TRUE(messages.empty());

  std::filesystem::create_directory(folder + "/empty");
  CreateBlankTable(fromUtf8(folder + "/copy"), u"standard", 0, fromUtf8(folder + "/empty"));
  EXPECT_EQ(messages, (std::vector<std::string>{"Unable to locate blank standard.dbf file. / 16",
                                                 "Unable to locate blank standard.cdx file. / 16"}));
}

} // namespace
} // namespace pu
