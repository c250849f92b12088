#include "db/family_tree_edits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "db/codebase_wrappers.h"
#include "db/course_tables.h"
#include "db/database_helper.h"
#include "db/message_hook.h"
#include "platform/table/table.h"
#include "tests/db/course_db_fixture.h"
#include "tests/support/other_program.h"

namespace pu {
namespace {

using Rows = std::vector<std::pair<std::int32_t, std::int32_t>>;

// Tree 2: root 1; under it 10, 11, 12 numbered and 13, 14, 15 unnumbered;
// under 10: 20, 21 numbered and 22 unnumbered; under 20: 30.
class FamilyTreeEditsTest : public test::CourseDbTest {
protected:
  void SetUp() override { fresh("course"); }
  void fresh(const std::string& name) {
    folder = dir.file(name);
    useDatabase(test::treeOf({{2, 10, 1, 1, "One"}, {2, 11, 1, 2, "Two"}, {2, 12, 1, 3, "Three"},
                              {2, 13, 1, 800, "Note A"}, {2, 14, 1, 801, "Note B"}, {2, 15, 1, 802, "Note C"},
                              {2, 20, 10, 1, "One.one"}, {2, 21, 10, 2, "One.two"}, {2, 22, 10, 800, "One note"},
                              {2, 30, 20, 1, "Deep"}}));
    test::writeWholeFile(folder + "/options.ini",  // levels 0 to 4 numbered in the five styles
                         "[Strings]\r\nStandardOrdinal1=1\r\nStandardOrdinal2=I\r\nStandardOrdinal3=i\r\n"
                         "StandardOrdinal4=A\r\nStandardOrdinal5=a\r\n");
    standard = OpenTable(u"standard");
  }
  // (node, "Order") of the live children, in "treeprntid" order.
  Rows children(std::int32_t parent) {
    Rows rows;
    while (DbHelper().SeekNextByTag(standard, u"treeprntid", MakeNodeKey(2, parent)))
      rows.emplace_back(DbHelper().FieldValLng(u"node_id"), DbHelper().FieldValLng(u"Order"));
    return rows;
  }

  // The table as python dbfread reads it: one line per record, live ones
  // first, "node parent order deleted title".
  std::string dbfreadRows() {
    std::string out;
    for (const test::StoredStandard& r : test::standardsByDbfread(folder + "/standard.dbf"))
      out += std::to_string(r.node) + " " + std::to_string(r.parent) + " " + std::to_string(r.order) + " " +
             (r.deleted ? "1 " : "0 ") + r.title + "\n";
    return out;
  }
  std::string fileBytes() { return test::readWholeFile(folder + "/standard.dbf"); }

  TableRec standard;
};

// Another open of the table holds the node's record until the edit has
// waited `releaseAfter` times (LockRecord lets window events run meanwhile)
// instead of writing under the other's lock.
struct HeldRecord {
  HeldRecord(const std::string& dbf, std::int32_t node, int releaseAfter) : handle(d4open(CodeBaseHandle, dbf.c_str())) {
    d4tagSelect(handle, d4tag(handle, "StandardID"));
    EXPECT_EQ(d4seek(handle, toAnsi(MakeNodeKey(2, node)).c_str()), kResultSuccess);
    EXPECT_EQ(d4lock(handle, d4recNo(handle)), kResultSuccess);
    setEventHook([this, releaseAfter] {
      if (++waits == releaseAfter) {
        EXPECT_EQ(d4unlock(handle), kResultSuccess);
      }
    });
  }
  ~HeldRecord() {
    setEventHook({});
    d4close(handle);
  }
  std::int32_t handle;
  int waits = 0;
};

TEST_F(FamilyTreeEditsTest, NumbersInEveryStyleAreSplitOffAndControlCharactersBlanked) {
  struct Case {
    const char16_t* text;
    std::int16_t level, order;
    const char16_t* title;
  } cases[] = {{u"3. Fractions", 0, 3, u"Fractions"},  {u"12:  Ratios ", 0, 12, u"Ratios"},
               {u"IV) Geometry", 1, 4, u"Geometry"},   {u"ix: Angles", 2, 9, u"Angles"},
               {u"C. Circles", 3, 3, u"Circles"},      {u"b) Lines", 4, 2, u"Lines"},
               {u"Fractions", 0, 0, u"Fractions"},     {u"Grade 3 work", 0, 0, u"Grade 3 work"},
               {u"850. Notes", 0, 0, u"850. Notes"},   {u"AB. Two letters", 3, 0, u"AB. Two letters"},
               {u". Dot first", 0, 0, u". Dot first"}, {u"7 Seven", 0, 7, u"Seven"}};
  for (const auto& c : cases) {
    NumberedTitle got = SplitNumberedTitle(c.text, c.level);
    EXPECT_EQ(got.order, c.order) << toUtf8(c.text);
    EXPECT_EQ(got.title, Text(c.title)) << toUtf8(c.text);
  }
  EXPECT_EQ(CleanEditedTitle(u"\t 7. Geo\r\nmetry  "), u"7. Geo  metry");
  EXPECT_EQ(CleanEditedTitle(u" \r\n\t "), u"");
}

// Each edit on a fresh copy of the tree: the children of one parent after
// it, and the edited row and the number of rows as python dbfread reads them.
TEST_F(FamilyTreeEditsTest, EachEditLeavesEveryChildInItsPlace) {
  const struct {
    std::function<WriteResult()> edit;
    std::int32_t parent;
    Rows children;
    const char* row;
    long rows;
  } cases[] = {
      {[] { return RenameCategory({2, 11}, u"Five", 5); }, 1, {{10, 1}, {12, 3}, {11, 5}, {13, 800}, {14, 801}, {15, 802}}, "11 1 5 0 Five\n", 11},
      {[] { return RenameCategory({2, 21}, u"Four", 4); }, 10, {{20, 1}, {21, 4}, {22, 800}}, "21 10 4 0 Four\n", 11},
      {[] { return RenameCategory({2, 30}, u"Three", 3); }, 20, {{30, 3}}, "30 20 3 0 Three\n", 11},
      {[] { return RenameCategory({2, 11}, u"Shapes", 0); }, 1,  // to the end of the unnumbered
       {{10, 1}, {12, 3}, {13, 800}, {14, 801}, {15, 802}, {11, 803}}, "11 1 803 0 Shapes\n", 11},
      {[] { return RenameCategory({2, 14}, u"Now numbered", 4); }, 1,  // the gap it leaves closes
       {{10, 1}, {11, 2}, {12, 3}, {14, 4}, {13, 800}, {15, 801}}, "14 1 4 0 Now numbered\n", 11},
      {[] { return RenameCategory({2, 13}, u"Still a note", 0); }, 1,  // stays where it is
       {{10, 1}, {11, 2}, {12, 3}, {13, 800}, {14, 801}, {15, 802}}, "13 1 800 0 Still a note\n", 11},
      {[] { return RenameCategory({2, 21}, u"1.2. As typed", 999); }, 10,  // a state tree's title as typed
       {{20, 1}, {22, 800}, {21, 999}}, "21 10 999 0 1.2. As typed\n", 11},
      {[] { return DeleteClassification(2, 10, 2, true).result; }, 1,  // the children keep their places; packed
       {{20, 1}, {11, 2}, {21, 2}, {12, 3}, {13, 800}, {22, 800}, {14, 801}, {15, 802}}, "20 1 1 0 One.one\n", 10},
      {[] { return DeleteClassification(2, 14, 2, true).result; }, 1,  // the unnumbered siblings close up
       {{10, 1}, {11, 2}, {12, 3}, {13, 800}, {15, 801}}, "15 1 801 0 Note C\n", 10},
      {[] { return DeleteClassification(2, 10, 2, false).result; }, 1,  // the subtree goes too
       {{11, 2}, {12, 3}, {13, 800}, {14, 801}, {15, 802}}, "11 1 2 0 Two\n", 6},
      {[] { return MoveCategory({2, 11}, -1); }, 1,  // swaps places with the neighbour
       {{11, 1}, {10, 2}, {12, 3}, {13, 800}, {14, 801}, {15, 802}}, "10 1 2 0 One\n", 11},
      {[] { return MoveCategory({2, 12}, 1); }, 1,  // across the border of the unnumbered places
       {{10, 1}, {11, 2}, {13, 3}, {12, 800}, {14, 801}, {15, 802}}, "12 1 800 0 Three\n", 11},
      {[] { return CreateCategory(2, 1, u"Geometry", 7).result; }, 1,
       {{10, 1}, {11, 2}, {12, 3}, {20000, 7}, {13, 800}, {14, 801}, {15, 802}}, "20000 1 7 0 Geometry\n", 12},
      {[] { return CreateCategory(2, 1, u"Last note", 0).result; }, 1,  // to the end of the unnumbered
       {{10, 1}, {11, 2}, {12, 3}, {13, 800}, {14, 801}, {15, 802}, {20000, 803}}, "20000 1 803 0 Last note\n", 12},
      {[] { return CreateCategory(2, 20, u"Deeper", 0).result; }, 20, {{30, 1}, {20000, 800}}, "20000 20 800 0 Deeper\n", 12},
      {[] { return CreateCategory(2, 30, u"Deepest", 1).result; }, 30, {{20000, 1}}, "20000 30 1 0 Deepest\n", 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    fresh("edit" + std::to_string(&c - cases));
    ASSERT_EQ(c.edit(), WriteResult::Written);
    EXPECT_EQ(children(c.parent), c.children);
    std::string rows = dbfreadRows();
    EXPECT_NE(rows.find(c.row), std::string::npos) << rows;
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), c.rows) << rows;
    expectTagsConsistent("standard");
  }
}

// While another program has the table open the pack cannot run: the deletes
// are done and leave the rows marked, which no walk of the model shows,
// counts or rewrites. The next delete that can pack removes every marked row.
TEST_F(FamilyTreeEditsTest, WhileAnotherProgramHasTheTableOpenTheRowsStayMarkedAndOutOfEveryWalk) {
  std::unique_ptr<table::Table> held;  // in the other program
  std::string dbf = folder + "/standard.dbf";
  test::OtherProgram other([&] { return table::Table::open(dbf, true, &held).isOk(); });
  ASSERT_TRUE(other.ready());
  std::size_t size = fileBytes().size();
  ASSERT_EQ(DeleteClassification(2, 12, 2, true).result, WriteResult::Written);   // the last numbered child of 1
  ASSERT_EQ(DeleteClassification(2, 15, 2, false).result, WriteResult::Written);  // the last unnumbered one
  EXPECT_EQ(fileBytes().size(), size);
  EXPECT_EQ(children(1), (Rows{{10, 1}, {11, 2}, {13, 800}, {14, 801}}));
  EXPECT_EQ(NextChildOrder({2, 1}), 3);
  EXPECT_EQ(GetNodeRow(2, 12).ref, NodeRef{});
  (void)RenumberUnnumbered({2, 1});
  EXPECT_EQ(children(1), (Rows{{10, 1}, {11, 2}, {13, 800}, {14, 801}}));
  ASSERT_EQ(MoveCategory({2, 11}, 1), WriteResult::Written);  // past the marked 12 to 13
  EXPECT_EQ(children(1), (Rows{{10, 1}, {13, 2}, {11, 800}, {14, 801}}));
  EXPECT_EQ(CreateCategory(2, 1, u"After", 0).node, 20000);
  EXPECT_EQ(children(1).back(), (std::pair<std::int32_t, std::int32_t>{20000, 802}));
  expectTagsConsistent("standard");
  std::string rows = dbfreadRows();
  EXPECT_NE(rows.find("12 1 3 1 Three\n"), std::string::npos) << rows;
  other.release();
  ASSERT_EQ(DeleteClassification(2, 20000, 2, true).result, WriteResult::Written);
  rows = dbfreadRows();
  EXPECT_EQ(rows.find(" 1 Three"), std::string::npos) << rows;
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 9) << rows;
  EXPECT_EQ(children(1), (Rows{{10, 1}, {13, 2}, {11, 800}, {14, 801}}));
  expectTagsConsistent("standard");
}

// Every record an edit writes is locked first and given back. Edits that
// find nothing to do write nothing; an unchanged rename does not even lock
// the record.
TEST_F(FamilyTreeEditsTest, EveryWrittenRecordIsLockedFirstAndEditsWithNothingToDoWriteNothing) {
  const struct {
    std::int32_t node;
    int waits;
    std::function<WriteResult()> edit;
  } cases[] = {
      {10, 3, [] { return MoveCategory({2, 11}, -1); }},                     // writes 10 first
      {21, 2, [] { return DeleteClassification(2, 10, 2, true).result; }},  // promotes 21
      {12, 2, [] { return RenameCategory({2, 12}, u"Renamed", 3); }},
  };
  for (const auto& c : cases) {
    {
      HeldRecord held(folder + "/standard.dbf", c.node, c.waits);
      ASSERT_EQ(c.edit(), WriteResult::Written);
      EXPECT_EQ(held.waits, c.waits);
    }
    HeldRecord again(folder + "/standard.dbf", c.node, 1);  // locks it: the edit's lock was given back
  }
  EXPECT_EQ(children(1), (Rows{{11, 1}, {20, 1}, {21, 2}, {12, 3}, {13, 800}, {22, 800}, {14, 801}, {15, 802}}));
  expectTagsConsistent("standard");

  fresh("unchanged");
  std::string before = fileBytes();
  {
    HeldRecord held(folder + "/standard.dbf", 11, 1);
    EXPECT_EQ(RenameCategory({2, 11}, u"Two", 2), WriteResult::Unchanged);
    EXPECT_EQ(held.waits, 0);
  }
  EXPECT_EQ(CreateCategory(2, 1, u"", 1).node, 0);
  EXPECT_EQ(CreateCategory(2, 99, u"No parent", 1).node, 0);
  for (WriteResult r : {RenameCategory({2, 77}, u"Nobody", 1), RenameCategory({3, 11}, u"Other tree", 1),
                        RenameCategory({2, 11}, u"", 1), DeleteClassification(2, 1, 1, true).result,
                        DeleteClassification(2, 77, 2, true).result, MoveCategory({2, 10}, -1), MoveCategory({2, 15}, 1),
                        MoveCategory({2, 30}, 1) /* an only child */, MoveCategory({2, 77}, 1), MoveCategory({2, 11}, 0)})
    EXPECT_NE(r, WriteResult::Written);
  EXPECT_EQ(fileBytes(), before);
  ASSERT_EQ(DeleteClassification(2, 10, 2, true).result, WriteResult::Written);  // 11 and 21 now share place 2
  before = fileBytes();
  EXPECT_NE(MoveCategory({2, 11}, 1), WriteResult::Written);
  EXPECT_EQ(fileBytes(), before);
}

} // namespace
} // namespace pu
