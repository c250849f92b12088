#include "db/course_tables.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "db/array_list.h"
#include "db/codebase_wrappers.h"
#include "db/database_helper.h"
#include "db/message_hook.h"
#include "db/node_key.h"
#include "tests/db/course_db_fixture.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_dir.h"
#include "util/path_globals.h"

namespace pu {
namespace {

class CourseTablesTest : public test::CourseDbTest {
protected:
  void SetUp() override {
    useDatabase(test::treeOf({{2, 10, 1, 1, "*1.* Numbers"}, {2, 11, 1, 2, "2. Shapes"}, {2, 20, 10, 1, "1.1. Counting"},
                              {2, 21, 10, 2, "1.2. Adding"}, {2, 22, 11, 1, "2.1. Circles"}}));
    standard = OpenTable(u"standard");
    setMessageHook([this](const Text& message, std::int32_t options, const std::optional<Text>&) {
      messages.push_back(toUtf8(message) + " / " + std::to_string(options));
      return answer;
    });
  }
  void TearDown() override {
    setMessageHook({});
    CourseDbTest::TearDown();
  }
  std::vector<std::int32_t> childrenOf(std::int32_t parent) {
    std::vector<std::int32_t> nodes;
    while (helper.SeekNextByTag(standard, u"treeprntid", MakeNodeKey(2, parent)))
      nodes.push_back(helper.FieldValLng(u"node_id"));
    return nodes;
  }
  std::vector<std::string> messages;
  std::int32_t answer = 1;  // OK
  DatabaseHelper helper;
  TableRec standard;
};

// A missing table is copied from the blank tables, by default from the
// template folder or else from the data folder's; missing blank files are
// reported, but a missing memo file is not. Folders the ANSI code page cannot
// hold, and paths longer than the 255 characters a library text may have: the
// registry finds each table again, whatever the case of its name and folder,
// and what is written through the field references is read back.
TEST_F(CourseTablesTest, MissingTablesAreCopiedAndEveryFolderPathReachesTheFileSystemUnchanged) {
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

  messages.clear();
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

// Nested walks visit every outer record once; rows marked deleted and not yet
// packed away are gone to every walk; each call with a new key opens a walk.
TEST_F(CourseTablesTest, NestedWalksPassOverDeletedRowsAndNoMoreThan25AreOpen) {
  std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
  while (helper.SeekNextByTag(standard, u"treeprntid", MakeNodeKey(2, 1))) {
    std::int32_t outer = helper.FieldValLng(u"node_id");
    helper.RecordPosition();
    for (std::int32_t inner : childrenOf(outer)) pairs.emplace_back(outer, inner);
    helper.RestorePosition();
    EXPECT_EQ(helper.FieldValLng(u"node_id"), outer);
  }
  EXPECT_EQ(pairs, (std::vector<std::pair<std::int32_t, std::int32_t>>{{10, 20}, {10, 21}, {11, 22}}));
  EXPECT_EQ(helper.depth(), 0);

  ASSERT_TRUE(helper.FindFirst(standard, u"StandardID", MakeNodeKey(2, 20)));
  d4delete(standard.table);
  ASSERT_TRUE(helper.FindFirst(standard, u"StandardID", MakeNodeKey(2, 10)));
  d4delete(standard.table);
  EXPECT_EQ(childrenOf(10), (std::vector<std::int32_t>{21}));
  EXPECT_EQ(childrenOf(1), (std::vector<std::int32_t>{11}));
  EXPECT_FALSE(helper.FindFirst(standard, u"StandardID", MakeNodeKey(2, 20)));
  EXPECT_EQ(helper.FieldLongList(standard, u"", u"", u"node_id", 1), BoundedArray<std::int32_t>(1, {1, 11, 21, 22}));
  EXPECT_EQ(helper.depth(), 0);

  for (int i = 0; i < DatabaseHelper::kMaxDepth; ++i)
    ASSERT_TRUE(helper.SeekStep(standard, 0, fromUtf8(std::to_string(i)))) << i;
  EXPECT_EQ(helper.depth(), 25);
  EXPECT_FALSE(helper.SeekStep(standard, 0, u"one too many"));
  EXPECT_EQ(helper.depth(), 25);
  helper.EndSeek();
  EXPECT_EQ(helper.depth(), 24);
}

TEST_F(CourseTablesTest, FindFirstStartsAgainAndOnlyChangedValuesAreLockedAndWritten) {
  ASSERT_TRUE(helper.FindFirst(standard, u"treeprntid", MakeNodeKey(2, 10)));
  EXPECT_EQ(helper.FieldValLng(u"node_id"), 20);
  EXPECT_EQ(helper.depth(), 1);
  ASSERT_TRUE(helper.FindFirst(standard, u"treeprntid", MakeNodeKey(2, 10)));
  EXPECT_EQ(helper.FieldValLng(u"node_id"), 20);
  EXPECT_EQ(helper.depth(), 1);
  // A key without records, or a tag that is missing, finds nothing (not the
  // first record) and leaves no walk open.
  EXPECT_FALSE(helper.FindFirst(standard, u"treeprntid", MakeNodeKey(2, 30)));
  EXPECT_EQ(helper.depth(), 0);
  EXPECT_NE(LastResult, 0);
  EXPECT_FALSE(helper.FindFirst(standard, u"no_such", MakeNodeKey(2, 10)));
  EXPECT_EQ(helper.depth(), 0);
  ASSERT_TRUE(helper.FindFirst(standard, u"treeprntid", MakeNodeKey(2, 10) + u"  2"));
  EXPECT_EQ(helper.FieldValLng(u"node_id"), 21);

  // An unchanged value is neither locked nor written; a lock the user gives
  // up writes nothing and says so. A logical field takes true as -1 and
  // false as 0 (AssignFieldInt).
  test::ForwardingFileSystem noWaiting;
  noWaiting.onSleep = [](int) {};
  ASSERT_TRUE(helper.FindFirst(standard, u"StandardID", MakeNodeKey(2, 20)));
  const std::string before = test::readWholeFile(folder + "/standard.dbf");
  auto stamp = std::filesystem::last_write_time(folder + "/standard.dbf");
  EXPECT_TRUE(helper.SetFieldStr(u"descript", u"standard", u"1.1. Counting"));
  EXPECT_TRUE(helper.SetFieldLng(u"parent_id", u"standard", 10));
  EXPECT_EQ(test::readWholeFile(folder + "/standard.dbf"), before);
  EXPECT_EQ(std::filesystem::last_write_time(folder + "/standard.dbf"), stamp);
  // Nothing was locked: another open of the table can lock the record.
  const std::int32_t recno = d4recNo(standard.table);
  std::int32_t other = d4open(CodeBaseHandle, (folder + "/standard.dbf").c_str());
  ASSERT_EQ(d4go(other, recno), 0);
  ASSERT_EQ(d4lock(other, recno), 0);
  answer = 2;  // Cancel
  EXPECT_FALSE(helper.SetFieldStr(u"descript", u"standard", u"changed"));
  EXPECT_EQ(LastResult, 50);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(test::readWholeFile(folder + "/standard.dbf"), before);
  d4close(other);
  EXPECT_TRUE(helper.SetFieldStr(u"descript", u"standard", u"changed"));
  EXPECT_NE(test::dbfreadDump(folder + "/standard.dbf").find("DESCRIPT=changed"), std::string::npos);

  UserDataPath = fromUtf8(folder);
  ASSERT_TRUE(test::makeTable(folder + "/flags.dbf", {{"DONE", 'L'}}, {{""}}));
  TableRec flags = OpenTable(u"flags");
  ASSERT_EQ(d4go(flags.table, 1), 0);
  EXPECT_TRUE(helper.SetFieldValB(u"DONE", u"flags", true));
  EXPECT_TRUE(helper.FieldValB(u"DONE", u"flags"));
  EXPECT_EQ(test::dbfreadDump(folder + "/flags.dbf"), "1\t0\tDONE=True\n");
  EXPECT_TRUE(helper.SetFieldValB(u"DONE", u"flags", false));
  EXPECT_EQ(test::dbfreadDump(folder + "/flags.dbf"), "1\t0\tDONE=False\n");
  UserDataPath = u"";
}

std::vector<std::int32_t> uppersWhileAdding(ArrayList& list, int items) {
  std::vector<std::int32_t> uppers{list.upperBound()};
  for (int i = 0; i < items; ++i) {
    list.AddItem(i + 1);
    if (list.upperBound() != uppers.back()) uppers.push_back(list.upperBound());
  }
  return uppers;
}

// The array grows before an item would go into its last slot, by growth
// points that depend on the first index, which ToArray keeps. Slots outside
// the array read as 0 and take nothing; AddItemUnique looks at the spare
// slots too; Trim keeps the slots at index 1 and below.
TEST(ArrayListTest, GrowsKeepingItsFirstIndexAndASpareSlotAndTrimsToIt) {
  ArrayList fromOne, fromZero, fromBelow;
  fromOne.Reset(1);
  fromBelow.Reset(-3);
  EXPECT_EQ(uppersWhileAdding(fromOne, 30), (std::vector<std::int32_t>{1, 10, 15, 22, 33}));
  EXPECT_EQ(uppersWhileAdding(fromZero, 20), (std::vector<std::int32_t>{0, 2, 3, 4, 6, 9, 14, 21}));
  (void)uppersWhileAdding(fromBelow, 5);
  EXPECT_EQ(fromOne.Count(), 30);
  EXPECT_EQ(fromZero.Item(0), 1);
  EXPECT_EQ(fromBelow.ToArray(), BoundedArray<std::int32_t>(-3, {1, 2, 3, 4, 5}));
  fromOne.Reset(1);
  EXPECT_TRUE(fromOne.ToArray().empty());

  ArrayList list;
  list.Reset(1);
  list.AddItem(5);
  list.AddItemUnique(5);
  list.AddItemUnique(0);  // a spare slot already holds 0
  list.AddItemUnique(6);
  EXPECT_EQ(list.ToArray(), BoundedArray<std::int32_t>(1, {5, 6}));
  EXPECT_FALSE(list.SetItem(11, 3));
  EXPECT_EQ(list.Item(11), 0);
  EXPECT_TRUE(list.SetItem(2, 8));
  EXPECT_EQ(list.Item(2), 8);
  list.Trim();
  EXPECT_EQ(list.upperBound(), 2);
  EXPECT_EQ(list.ToString(u","), u"5,8");
  ArrayList zeros;
  zeros.AddItem(0);
  zeros.Trim();
  EXPECT_EQ(zeros.upperBound(), 1);

  list.FromArray(BoundedArray<std::int32_t>(3, {1, 2}));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.ToString(u";"), u"1;2");
  list.AddItem(9);  // grows; the new spare slots show as 0
  EXPECT_EQ(list.ToArray(), BoundedArray<std::int32_t>(3, {1, 2, 9}));
  EXPECT_EQ(list.ToString(u";").substr(0, 6), u"1;2;9;");
  list.FromArray(BoundedArray<std::int32_t>(1));
  EXPECT_EQ(list.Count(), 0);
  list.AddItem(1);
  EXPECT_EQ(list.ToArray(), BoundedArray<std::int32_t>(1, {1}));
}

} // namespace
} // namespace pu
