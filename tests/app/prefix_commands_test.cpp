#include "app/prefix_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>

#include "db/course_tables.h"
#include "db/database_helper.h"
#include "db/state_prefix.h"
#include "db/tree_shape.h"
#include "platform/table/lock_offsets.h"
#include "platform/table/table.h"
#include "tests/db/course_db_fixture.h"
#include "util/general.h"
#include "tests/support/forwarding_file_system.h"

namespace pu {
namespace {

using sample::StandardRow;
using test::foreignEnciphered;

// A title a command is expected to write, on the first row of tree and
// node (the one a seek finds).
struct TitleChange {
  int tree = 0, node = 0;
  std::string title;
};

class PrefixCommandsTest : public test::CourseDbTest {
protected:
  void useRows(std::vector<StandardRow> rows) {
    sample::SampleContent content;
    content.standards = std::move(rows);
    useDatabase(content);
    before = test::standardsByDbfread(dbf());
  }
  std::string dbf() const { return folder + "/standard.dbf"; }

  // The titles now, by dbfread; the tags checked against the records.
  std::vector<test::StoredStandard> after() {
    expectTagsConsistent("standard");
    return test::standardsByDbfread(dbf());
  }
  // Every row as before except the listed titles.
  void expectOnlyChanged(const std::vector<TitleChange>& changed) {
    std::vector<test::StoredStandard> expected = before;
    for (const TitleChange& c : changed) {
      auto row = std::find_if(expected.begin(), expected.end(), [&](const auto& e) { return e.tree == c.tree && e.node == c.node; });
      ASSERT_NE(row, expected.end()) << c.tree << "/" << c.node;
      row->title = c.title;
    }
    EXPECT_EQ(after(), expected);
  }

  CommandReport setPrefix(std::int32_t selected, const std::u16string& box, int start, int length, bool includeParent,
                          std::int16_t tree = 2) {
    return SetPrefix(tree, selected, TakePrefixExample(box, start, length), includeParent);
  }

  std::vector<test::StoredStandard> before;
};

// Tree 2: root, two units, standards below them. Tree 3 reuses the node
// numbers at the same depths.
std::vector<StandardRow> twoTrees() {
  return {{2, 1, 0, 1, "Numbers"},
          {3, 1, 1, 1, "Other state"},
          {2, 10, 1, 1, "*1.* Whole numbers"},
          {2, 11, 10, 1, "1.2 Adding fractions"},
          {3, 10, 1, 1, "1. Unit"},
          {3, 11, 10, 1, "3.4 Subtracting"},
          {2, 12, 10, 2, "3.4 Subtracting"},
          {2, 20, 1, 2, "*3.* Operations"},
          {2, 21, 20, 1, "9.1 Dividing: remainders"},
          {3, 21, 10, 2, "7.7 Other tree"},
          {2, 30, 21, 1, "A. Deeper"}};
}

// Set Prefix on tree 2 of twoTrees() as changed by each case: only the titles listed change, and tree 3's
// rows with the same node numbers and depths never do.
TEST_F(PrefixCommandsTest, SetPrefixMarksTheSelectedDepthOfTheCurrentTreeOnly) {
  struct Case {
    const char* what;
    std::function<void(std::vector<StandardRow>&)> change;
    std::int32_t selected;
    std::u16string box;
    bool includeParent;
    std::array<std::int32_t, 5> report;  // written, enciphered, parent enciphered, too long, failed
    std::vector<TitleChange> changed;
    std::u16string message;
  };
  auto encipher = [](std::vector<StandardRow>& rows) {
    rows[3].title = foreignEnciphered("1.2 Adding fractions");  // 2/11, at the selected depth
    rows[7].title = foreignEnciphered("3. Operations");         // 2/20, parent of 2/21
    rows.push_back({2, 22, 20, 2, foreignEnciphered("9.2 Odd: even")});
  };
  const std::u16string enciphered = u"2 titles were left unchanged: they are stored enciphered and cannot be deciphered here.";
  const Case cases[] = {
      {"plain", [](auto&) {}, 11, u"1.2 Adding fractions", false, {3, 0, 0, 0, 0},
       {{2, 11, "*1.2 *Adding fractions"}, {2, 12, "*3.4 *Subtracting"}, {2, 21, "*9.1 *Dividing: remainders"}}, u""},
      // Node 12 also in trees 4 and 5 and twice in tree 2: the parent
      // identifier goes in front once, on the row a seek finds. An unmarked
      // parent title is its own identifier.
      {"repeated node",
       [](auto& rows) {
         rows[7].title = "3. Operations";
         rows.push_back({4, 12, 1, 1, "x"});
         rows.push_back({5, 12, 1, 1, "y"});
         rows.push_back({2, 12, 10, 3, "3.4 Second row"});
       },
       12, u"3.4 Subtracting", true, {3, 0, 0, 0, 0},
       {{2, 11, "*1.1.2 *Adding fractions"}, {2, 12, "*1.3.4 *Subtracting"}, {2, 21, "*3. Operations9.1 *Dividing: remainders"}}, u""},
      {"enciphered", encipher,
       12, u"3.4 Subtracting", false, {2, 2, 0, 0, 0},
       {{2, 12, "*3.4 *Subtracting"}, {2, 21, "*9.1 *Dividing: remainders"}}, enciphered},
      // 2/21's parent title is enciphered; its own is plain.
      {"enciphered parent", encipher,
       12, u"3.4 Subtracting", true, {1, 2, 1, 0, 0},
       {{2, 12, "*1.3.4 *Subtracting"}},
       enciphered + u"\n1 title was left unchanged: the identifier of its parent is stored enciphered and cannot be deciphered here."},
      {"too long", [](auto& rows) { rows[6].title = "3.4 " + std::string(250, 'x'); },  // 254 characters: the field is full
       11, u"1.2 Adding fractions", false, {2, 0, 0, 1, 0},
       {{2, 11, "*1.2 *Adding fractions"}, {2, 21, "*9.1 *Dividing: remainders"}},
       u"1 title was left unchanged: the new title would be too long for the title field."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    folder = dir.file(c.what);
    std::vector<StandardRow> rows = twoTrees();
    c.change(rows);
    useRows(rows);
    // A standard not in the tree, a tree that does not exist, nothing clicked yet.
    EXPECT_EQ(setPrefix(99, c.box, 0, 3, false).written, 0);
    EXPECT_EQ(setPrefix(c.selected, c.box, 0, 3, false, 9).written, 0);
    EXPECT_EQ(setPrefix(0, u"", 0, 0, false).written, 0);
    EXPECT_EQ(after(), before);
    CommandReport r = setPrefix(c.selected, c.box, 0, 3, c.includeParent);
    EXPECT_EQ((std::array{r.written, r.leftEnciphered, r.leftParentEnciphered, r.tooLong, r.failed}), c.report);
    EXPECT_EQ(CommandReportMessage(r), c.message);
    expectOnlyChanged(c.changed);
    // The same example again changes nothing more (with the parent's
    // identifier, a second run puts it in front once more).
    if (c.includeParent) continue;
    EXPECT_EQ(setPrefix(c.selected, c.box, 0, 3, false).written, 0);
    expectOnlyChanged(c.changed);
  }
  EXPECT_EQ(DbHelper().depth(), 0);
}

// Every ": " of the current tree's plain titles becomes ":*"; enciphered
// titles are left as stored, even where their stored form holds ": ".
TEST_F(PrefixCommandsTest, ReplaceTurnsColonBlankIntoColonMarkerInTheCurrentTree) {
  std::vector<StandardRow> rows = twoTrees();
  rows.push_back({2, 40, 1, 3, "1.2: Fractions: parts"});
  rows.push_back({3, 40, 1, 3, "1.2: Other tree"});
  // Enciphered forms holding ": ": each byte pair deciphers to a different pair.
  const std::string plainLooking = foreignEnciphered("Dividing: remainders");
  rows.push_back({2, 50, 1, 4, "\xFA" + std::string("ab: cd")});
  rows.push_back({2, 51, 1, 5, plainLooking});
  useRows(rows);
  CommandReport r = ReplaceColons(2);
  EXPECT_EQ(r.written, 2);
  EXPECT_EQ(r.leftEnciphered, plainLooking.find(": ") == std::string::npos ? 1 : 2);
  const std::vector<TitleChange> changed = {{2, 21, "9.1 Dividing:*remainders"}, {2, 40, "1.2:*Fractions:*parts"}};
  expectOnlyChanged(changed);
  EXPECT_EQ(ReplaceColons(2).written, 0);  // a second run changes nothing
  expectOnlyChanged(changed);
}

TEST_F(PrefixCommandsTest, ParentCyclesEnd) {
  // Tree 2's root is its own parent (common in real databases); 40 -> 41 ->
  // 42 -> 40 is a damaged chain with 43 hanging below it.
  useRows({{2, 1, 1, 1, "Root"},
           {2, 10, 1, 1, "1. Unit"},
           {2, 11, 10, 1, "1.1 Standard"},
           {2, 40, 42, 1, "4.0 Loop"},
           {2, 41, 40, 1, "4.1 Loop"},
           {2, 42, 41, 1, "4.2 Loop"},
           {2, 43, 42, 1, "4.3 Below"}});
  for (auto [node, depth] : {std::pair{1, 0}, {10, 1}, {11, 2}, {40, 2}, {41, 2}, {42, 2}, {43, 3}, {99, -1}})
    EXPECT_EQ(GetPathLength(2, node), depth) << node;
  StandardsTable standards;
  TreeShape depths = TreeShape::read(standards, 2);
  for (std::int32_t node : {1, 10, 11, 40, 41, 42, 43}) EXPECT_EQ(depths.depthOf(node), GetPathLength(2, node)) << node;

  CommandReport r = setPrefix(11, u"1.1 Standard", 0, 3, false);
  EXPECT_EQ(r.written, 4);
  expectOnlyChanged({{2, 11, "*1.1 *Standard"}, {2, 40, "*4.0 *Loop"}, {2, 41, "*4.1 *Loop"}, {2, 42, "*4.2 *Loop"}});
}

// Rows marked deleted wait for a pack another program prevented: no command rewrites or counts them. A
// write that fails is counted and the rest go on.
TEST_F(PrefixCommandsTest, WritesThatFailAreCountedAndRowsMarkedDeletedAreLeft) {
  std::vector<StandardRow> rows = twoTrees();
  rows.push_back({2, 13, 10, 3, "5.6 Deleted: gone"});
  useRows(rows);
  std::unique_ptr<table::Table> other;
  ASSERT_TRUE(table::Table::open(dbf(), true, &other).isOk());
  ASSERT_TRUE(other->go(static_cast<std::uint32_t>(rows.size())).isOk());
  ASSERT_TRUE(other->setDeleted(true).isOk());
  ASSERT_TRUE(other->flush().isOk());
  other.reset();
  before = test::standardsByDbfread(dbf());
  test::ForwardingFileSystem fs;
  fs.refuse->in = [](std::string_view path) { return UpperAscii(fromUtf8(std::string(path))).ends_with(u"STANDARD.DBF"); };
  fs.refuse->write = [](std::string_view bytes) { return bytes.find("*3.4 *Subtracting") != std::string_view::npos; };  // 2/12
  // 2/21, whose record is the ninth; a table with index tags
  fs.refuse->lock = [](std::uint64_t offset) { return offset == table::LockLayout{}.recordOffset(9); };
  CommandReport r = setPrefix(11, u"1.2 Adding fractions", 0, 3, false);
  EXPECT_EQ(r.written, 1);
  EXPECT_EQ(r.failed, 2);
  EXPECT_TRUE(r.anyFailed());
  *fs.refuse = {};
  EXPECT_EQ(ReplaceColons(2).written, 1);
  expectOnlyChanged({{2, 11, "*1.2 *Adding fractions"}, {2, 21, "9.1 Dividing:*remainders"}});
}

} // namespace
} // namespace pu
