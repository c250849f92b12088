#include "db/database_helper.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "db/codebase.h"
#include "db/codebase_wrappers.h"
#include "db/standards_model.h"
#include "db/message_hook.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/db/course_db_fixture.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/support/forwarding_file_system.h"
#include "util/path_globals.h"
#include "tests/support/temp_dir.h"

namespace pu {
namespace {

using test::treeOf;

class DatabaseHelperTest : public test::CourseDbTest {
protected:
  void SetUp() override {
    useDatabase(treeOf({{2, 10, 1, 1, "*1.* Numbers"},
                        {2, 11, 1, 2, "2. Shapes"},
                        {2, 20, 10, 1, "1.1. Counting"},
                        {2, 21, 10, 2, "1.2. Adding"},
                        {2, 22, 11, 1, "2.1. Circles"}}));
    standard = OpenTable(u"standard");
  }
  std::vector<std::int32_t> childrenOf(std::int32_t parent) {
    std::vector<std::int32_t> nodes;
    while (helper.SeekNextByTag(standard, u"treeprntid", MakeNodeKey(2, parent)))
      nodes.push_back(helper.FieldValLng(u"node_id"));
    return nodes;
  }
  DatabaseHelper helper;
  TableRec standard;
};


TEST_F(DatabaseHelperTest, NestedWalksVisitEveryOuterRecordOnce) {
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
}

TEST_F(DatabaseHelperTest, FindFirstAgainFindsTheFirstRecordAgain) {
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
}

TEST_F(DatabaseHelperTest, NoMoreThan25WalksAreOpen) {
  // The same table with 26 different keys: each call opens a walk.
  for (int i = 0; i < DatabaseHelper::kMaxDepth; ++i)
    ASSERT_TRUE(helper.SeekStep(standard, 0, fromUtf8(std::to_string(i)))) << i;
  EXPECT_EQ(helper.depth(), 25);
  EXPECT_FALSE(helper.SeekStep(standard, 0, u"one too many"));
  EXPECT_EQ(helper.depth(), 25);
  helper.EndSeek();
  EXPECT_EQ(helper.depth(), 24);
}

// An unchanged value is neither locked nor written; a lock the user gives
// up writes nothing and says so.
TEST_F(DatabaseHelperTest, OnlyChangedValuesAreLockedAndWritten) {
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
  int asked = 0;
  setMessageHook([&](const Text&, std::int32_t, const std::optional<Text>&) {
    ++asked;
    return 2;  // Cancel
  });
  EXPECT_FALSE(helper.SetFieldStr(u"descript", u"standard", u"changed"));
  EXPECT_EQ(LastResult, 50);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(test::readWholeFile(folder + "/standard.dbf"), before);
  d4close(other);
  setMessageHook({});
  EXPECT_TRUE(helper.SetFieldStr(u"descript", u"standard", u"changed"));
  EXPECT_NE(test::dbfreadDump(folder + "/standard.dbf").find("DESCRIPT=changed"), std::string::npos);
}

// A logical field takes true as -1 and false as 0 (AssignFieldInt).
TEST_F(DatabaseHelperTest, SetFieldValBStoresIntoALogicalField) {
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

// Rows marked deleted and not yet packed away are gone to every walk.
TEST_F(DatabaseHelperTest, WalksPassOverRowsMarkedDeleted) {
  ASSERT_TRUE(helper.FindFirst(standard, u"StandardID", MakeNodeKey(2, 20)));
  d4delete(standard.table);
  ASSERT_TRUE(helper.FindFirst(standard, u"StandardID", MakeNodeKey(2, 10)));
  d4delete(standard.table);
  EXPECT_EQ(childrenOf(10), (std::vector<std::int32_t>{21}));
  EXPECT_EQ(childrenOf(1), (std::vector<std::int32_t>{11}));
  EXPECT_FALSE(helper.FindFirst(standard, u"StandardID", MakeNodeKey(2, 20)));
  EXPECT_EQ(helper.FieldLongList(standard, u"", u"", u"node_id", 1), BoundedArray<std::int32_t>(1, {1, 11, 21, 22}));
  EXPECT_EQ(helper.depth(), 0);
}

} // namespace
} // namespace pu
