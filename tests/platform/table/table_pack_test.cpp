// Pack killed at every step of its file work: the table reopens with every
// tag right, the memos readable, and either every record (the deleted ones
// still marked) or exactly the live ones in their order.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/other_program.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

// After `budget` changes of files the process is dead: no further write,
// sync, create, rename or removal happens.
class DyingFile : public test::ForwardingFile {
public:
  DyingFile(std::unique_ptr<File> f, int* budget) : ForwardingFile(std::move(f)), m_budget(budget) {}
  Status writeAt(std::uint64_t o, const void* d, std::size_t n) override {
    return spend() ? m_inner->writeAt(o, d, n) : dead();
  }
  Status truncate(std::uint64_t n) override { return spend() ? m_inner->truncate(n) : dead(); }
  Status sync() override { return spend() ? m_inner->sync() : dead(); }

private:
  bool spend() { return (*m_budget)-- > 0; }
  static Status dead() { return Status::ioError("killed"); }
  int* m_budget;
};

class DyingFileSystem : public test::ForwardingFileSystem {
public:
  int budget = 0;
  Status openFile(std::string_view p, bool w, std::unique_ptr<File>* f) override { return wrap(m_real.openFile(p, w, f), f); }
  Status createFile(std::string_view p, std::unique_ptr<File>* f) override {
    return spend() ? wrap(m_real.createFile(p, f), f) : Status::ioError("killed");
  }
  Status rename(std::string_view a, std::string_view b) override {
    return spend() ? m_real.rename(a, b) : Status::ioError("killed");
  }
  Status removeFile(std::string_view p) override { return spend() ? m_real.removeFile(p) : Status::ioError("killed"); }

private:
  bool spend() { return budget-- > 0; }
  Status wrap(Status s, std::unique_ptr<File>* f) {
    if (s) *f = std::make_unique<DyingFile>(std::move(*f), &budget);
    return s;
  }
};

constexpr int kRecords = 40;

std::string nameOf(int i) { return "r" + std::to_string(i); }
bool deletedAtStart(int i) { return i % 3 == 0; }

class TablePack : public ::testing::Test {
protected:
  // A table with a memo field and three tags; every third record deleted.
  void SetUp() override {
    dbf = dir.file("pk.dbf");
    cdx = dir.file("pk.cdx");
    ASSERT_TRUE(Table::create(dbf, {{"NAME", 'C', 8}, {"NUM", 'N', 5}, {"NOTES", 'M'}}, TableFormat::VisualFoxPro));
    std::unique_ptr<Table> t;
    ASSERT_TRUE(Table::open(dbf, true, &t));
    std::unique_ptr<CompoundIndex> index;
    std::vector<TagSpec> tags(3);
    tags[0] = {"NAME", "NAME", "", false, false, false, false};
    tags[1] = {"NUM", "STR(NUM,5)", "", false, false, false, false};
    tags[2] = {"UPNAME", "UPPER(NAME)", "", false, false, true, false};
    ASSERT_TRUE(CompoundIndex::create(cdx, *t, tags, &index));
    t->attachIndex(std::move(index));
    const TableSchema& s = t->schema();
    for (int i = 1; i <= kRecords; ++i) {
      ASSERT_TRUE(t->appendStart());
      ASSERT_TRUE(t->assignText(*s.find("NAME"), nameOf(i)));
      ASSERT_TRUE(t->assignInteger(*s.find("NUM"), kRecords - i));
      ASSERT_TRUE(t->assignMemo(*s.find("NOTES"), "memo " + nameOf(i)));
      ASSERT_TRUE(t->append());
      if (deletedAtStart(i)) {
        ASSERT_TRUE(t->setDeleted(true));
        ASSERT_TRUE(t->flush());
      }
    }
    ASSERT_TRUE(t->close());
  }

  // The table with its index attached, as the program opens it.
  void openWithIndex(std::unique_ptr<Table>* t) {
    ASSERT_TRUE(Table::open(dbf, true, t));
    std::unique_ptr<CompoundIndex> index;
    ASSERT_TRUE(CompoundIndex::open(cdx, **t, &index));
    (*t)->attachIndex(std::move(index));
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
  std::string dbf, cdx;
};

TEST_F(TablePack, AKillAtAnyStepLeavesTheOldOrTheNewTableWithItsIndex) {
  const std::string pristineDbf = test::readWholeFile(dbf), pristineCdx = test::readWholeFile(cdx),
                    pristineFpt = test::readWholeFile(dir.file("pk.fpt"));
  int oldTables = 0, newTables = 0, finishedOnOpen = 0;
  bool completed = false;
  for (int budget = 0; budget < 200 && !completed; ++budget) {
    test::writeWholeFile(dbf, pristineDbf);
    test::writeWholeFile(cdx, pristineCdx);
    test::writeWholeFile(dir.file("pk.fpt"), pristineFpt);
    {
      std::unique_ptr<Table> t;
      ASSERT_NO_FATAL_FAILURE(openWithIndex(&t));
      DyingFileSystem dying;
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
    std::unique_ptr<Table> t;
    ASSERT_NO_FATAL_FAILURE(openWithIndex(&t));
    ASSERT_TRUE(t->pack());
    t.reset();
    expectSound("packed again after kill " + std::to_string(budget), &packed);
    EXPECT_TRUE(packed);
    for (const std::string& leftover : {packedTablePath(dbf), packedIndexPath(cdx), packedIndexPath(cdx) + ".tmp~"})
      EXPECT_FALSE(std::filesystem::exists(leftover)) << leftover << " after kill " << budget;
  }
  EXPECT_TRUE(completed);
  EXPECT_GT(oldTables, 5);
  EXPECT_GT(finishedOnOpen, 0);  // the kill between the two renames was met
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
  std::unique_ptr<Table> t;
  ASSERT_NO_FATAL_FAILURE(openWithIndex(&t));
  OpenAfterTableRename watch(t->path());
  ASSERT_TRUE(t->pack());
  EXPECT_TRUE(watch.refusedInBetween);
  // Afterwards the table is shared again.
  std::unique_ptr<Table> other;
  EXPECT_TRUE(Table::open(dbf, false, &other));
}

TEST_F(TablePack, IndependentReadersReadThePackedTableAndIndex) {
  {
    std::unique_ptr<Table> t;
    ASSERT_NO_FATAL_FAILURE(openWithIndex(&t));
    ASSERT_TRUE(t->pack());
  }
  std::string dump = test::dbfreadDump(dbf);
  std::vector<std::pair<std::string, int>> byName;
  std::string expectedDump;
  int recno = 0;
  for (int i = 1; i <= kRecords; ++i) {
    if (deletedAtStart(i)) continue;
    ++recno;
    byName.emplace_back(nameOf(i), recno);
    expectedDump += std::to_string(recno) + "\t0\tNAME=" + nameOf(i) + "\tNUM=" + std::to_string(kRecords - i) +
                    "\tNOTES=memo " + nameOf(i) + "\n";
  }
  EXPECT_EQ(dump, expectedDump);
  std::sort(byName.begin(), byName.end());
  std::string listing;
  static const char* digits = "0123456789abcdef";
  for (const auto& [name, r] : byName) {
    for (unsigned char c : name) listing += {digits[c >> 4], digits[c & 15]};
    listing += "\t" + std::to_string(r) + "\n";
  }
  EXPECT_EQ(test::xbaseTagListing(cdx, "NAME"), listing);
}

} // namespace
} // namespace pu::table
