// Pack killed at every step of its file work: the table reopens with every
// tag right, the memos readable, and either every record (the deleted ones
// still marked) or exactly the live ones in their order.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/other_program.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

constexpr int kRecords = 40;

std::string nameOf(int i) { return "r" + std::to_string(i); }
bool deletedAtStart(int i) { return i % 3 == 0; }  // as SetUp deletes them

class TablePack : public ::testing::Test {
protected:
  // A table with a memo field and three tags; every third record deleted.
  void SetUp() override {
    std::vector<test::Row> rows;
    for (int i = 1; i <= kRecords; ++i) rows.push_back({nameOf(i), std::to_string(kRecords - i), "memo " + nameOf(i)});
    auto t = test::makeTable(dbf, {{"NAME", 'C', 8}, {"NUM", 'N', 5}, {"NOTES", 'M'}}, rows,
                             {{"NAME", "NAME", "", false, false, false, false},
                              {"NUM", "STR(NUM,5)", "", false, false, false, false},
                              {"UPNAME", "UPPER(NAME)", "", false, false, true, false}});
    ASSERT_TRUE(t);
    for (int i = 3; i <= kRecords; i += 3) {
      ASSERT_TRUE(t->go(std::uint32_t(i)));
      ASSERT_TRUE(t->setDeleted(true));
    }
    ASSERT_TRUE(t->close());
  }

  // Opens the table as a program would after the kill and checks it.
  // packed: the table holds the live records alone.
  void expectSound(const std::string& when, bool* packed) {
    std::unique_ptr<Table> t;
    Status s = Table::open(dbf, true, &t);
    ASSERT_TRUE(s) << when << ": " << s.message();
    std::unique_ptr<CompoundIndex> index;
    s = CompoundIndex::open(cdx, *t, &index);
    ASSERT_TRUE(s) << when << ": " << s.message();
    s = index->check();
    EXPECT_TRUE(s) << when << ": " << s.message();
    *packed = t->recordCount() != kRecords;
    std::vector<std::string> live, expectedLive;
    std::set<std::string> deleted, expectedDeleted;
    for (int i = 1; i <= kRecords; ++i) {
      if (!deletedAtStart(i)) expectedLive.push_back(nameOf(i));
      else if (!*packed) expectedDeleted.insert(nameOf(i));
    }
    for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
      ASSERT_TRUE(t->go(r));
      std::string name = t->value(*t->schema().find("NAME")).bytes;
      name.erase(name.find_last_not_of(' ') + 1);
      std::string memo;
      ASSERT_TRUE(t->memoText(*t->schema().find("NOTES"), &memo)) << when;
      EXPECT_EQ(memo, "memo " + name) << when;
      (t->isDeleted() ? deleted.insert(name), void() : live.push_back(name));
    }
    EXPECT_EQ(live, expectedLive) << when;
    EXPECT_EQ(deleted, expectedDeleted) << when;
  }

  test::TempDir dir;
  std::string dbf = dir.file("pk.dbf"), cdx = dir.file("pk.cdx");
};

TEST_F(TablePack, AKillAtAnyStepLeavesTheOldOrTheNewTableWithItsIndex) {
  std::map<std::string, std::string> pristine;  // each file as it was before any pack
  for (const std::string& file : {dbf, cdx, dir.file("pk.fpt")}) pristine[file] = test::readWholeFile(file);
  int oldTables = 0, newTables = 0, finishedOnOpen = 0;
  bool completed = false;
  for (int budget = 0; budget < 200 && !completed; ++budget) {
    for (const auto& [file, bytes] : pristine) test::writeWholeFile(file, bytes);
    {
      auto t = test::openWithIndex(dbf);
      ASSERT_TRUE(t);
      test::DyingFileSystem dying;
      dying.budget = budget;
      completed = t->pack().isOk();
      t.reset();  // still dead: closing writes nothing more
    }
    bool halfway = std::filesystem::exists(packedIndexPath(cdx)) && !std::filesystem::exists(packedTablePath(dbf));
    bool packed = false;
    expectSound("killed after " + std::to_string(budget) + " file changes", &packed);
    if (halfway) {
      ++finishedOnOpen;
      EXPECT_TRUE(packed);
    }
    (packed ? newTables : oldTables)++;
    // A later pack clears what the killed one left and completes.
    auto t = test::openWithIndex(dbf);
    ASSERT_TRUE(t && t->pack());
    t.reset();
    expectSound("packed again after kill " + std::to_string(budget), &packed);
    EXPECT_TRUE(packed);
    for (const std::string& leftover : {packedTablePath(dbf), packedIndexPath(cdx), packedIndexPath(cdx) + ".tmp~"})
      EXPECT_FALSE(std::filesystem::exists(leftover)) << leftover << " after kill " << budget;
  }
  EXPECT_TRUE(completed);
  EXPECT_GT(oldTables, 5);
  EXPECT_GT(finishedOnOpen, 0);  // the kill between the two renames was met
  // The independent readers read the last packed table and its index.
  std::string dump;
  int live = 0;
  for (int i = 1; i <= kRecords; ++i)
    if (!deletedAtStart(i))
      dump += std::to_string(++live) + "\t0\tNAME=" + nameOf(i) + "\tNUM=" + std::to_string(kRecords - i) + "\tNOTES=memo " +
              nameOf(i) + "\n";
  EXPECT_EQ(test::dbfreadDump(dbf), dump);
  auto t = test::openWithIndex(dbf);
  ASSERT_TRUE(t);
  test::expectXBaseListsEveryTag(test::indexOf(*t), cdx);
  const std::string bytes = test::readWholeFile(dbf);  // nothing after the live records but the end mark
  EXPECT_EQ(bytes.size(), t->header().headerLength + std::size_t(live) * t->schema().recordLength + 1);
  EXPECT_EQ(bytes.back(), kEndOfFile);
}

// Right after the new table takes the table's name, and before its index
// does, another program asks to open the table.
class OpenAfterTableRename : public test::ForwardingFileSystem {
public:
  explicit OpenAfterTableRename(std::string dbf) : m_dbf(std::move(dbf)) {}
  Status rename(std::string_view from, std::string_view to) override {
    Status s = m_real.rename(from, to);
    if (s && to == m_dbf) {
      std::unique_ptr<Table> t;
      test::OtherProgram other([&] { return Table::open(m_dbf, false, &t).code() == Status::Code::Locked; });
      refusedInBetween = other.ready();
    }
    return s;
  }
  bool refusedInBetween = false;

private:
  std::string m_dbf;
};

TEST_F(TablePack, NoOtherProgramOpensTheNewTableBeforeItsIndexIsInPlace) {
  auto t = test::openWithIndex(dbf);
  ASSERT_TRUE(t);
  OpenAfterTableRename watch(t->path());
  ASSERT_TRUE(t->pack());
  EXPECT_TRUE(watch.refusedInBetween);
  // Afterwards the table is shared again.
  std::unique_ptr<Table> other;
  EXPECT_TRUE(Table::open(dbf, false, &other));
}

} // namespace
} // namespace pu::table
