// Record and header locks, share modes and the shared view of the records
// against another open and another process, which stands for another
// FoxPro-compatible program; and a pack killed at every step of its file work.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "platform/table/bytes.h"
#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/other_program.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

class TableLock : public ::testing::Test {
protected:
  void SetUp() override {
    auto t = test::makeTable(path, {{"NAME", 'C', 8}}, {{"one"}, {"two"}, {"three"}});
    ASSERT_TRUE(t);
    headerLength = t->header().headerLength;
    recordLength = t->schema().recordLength;
    ASSERT_TRUE(FileSystem::instance().openFile(path, true, &otherFile));
  }
  std::unique_ptr<Table> open() { return test::openTable(path); }
  static std::string name(Table& t) { return t.value(*t.schema().find("NAME")).bytes; }
  std::uint64_t recordAt(std::uint32_t recno) const { return headerLength + (recno - 1) * recordLength; }

  test::TempDir dir;
  std::string path = dir.file("locks.dbf");
  std::uint32_t headerLength = 0, recordLength = 0;
  std::unique_ptr<File> otherFile;  // the file as another program opens it, without share marks
};

// Another program's write shows in the current record at once, and a record
// being changed stays our own copy. (Ours reach a plain reader at once: every
// round trip reads with dbfread before closing.)
TEST_F(TableLock, TheCurrentRecordIsTheFileUnlessBeingChangedAndLocksSitWhereOtherProgramsLook) {
  auto t = open();
  ASSERT_TRUE(t->go(2));
  EXPECT_EQ(name(*t), "two     ");
  ASSERT_TRUE(otherFile->writeAt(recordAt(2) + 1, "TWO", 3));
  EXPECT_EQ(name(*t), "TWO     ");

  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->assignText(*t->schema().find("NAME"), "mine"));
  ASSERT_TRUE(otherFile->writeAt(recordAt(1) + 1, "THEIRS", 6));
  EXPECT_EQ(name(*t), "mine    ");
  t->revert();  // back to the file: their bytes
  EXPECT_EQ(name(*t), "THEIRS  ");

  // Other programs lock a record of a table with index tags at 0x7FFFFFFE
  // minus its number, and of a table without them at 0x40000000 plus the
  // record's offset in the file; the header lock, which an append takes, at
  // 0x7FFFFFFE or 0x40000000.
  ASSERT_FALSE(t->hasStructuralIndex());
  for (bool indexed : {false, true}) {
    SCOPED_TRACE(indexed ? "with index tags" : "without index tags");
    auto lockAt = [&](bool tags, std::uint32_t recno) { return tags ? 0x7FFFFFFEu - recno : 0x40000000u + recordAt(recno); };
    ASSERT_TRUE(t->setStructuralIndex(indexed));
    ASSERT_TRUE(t->lockRecord(2));
    EXPECT_EQ(otherFile->lock(lockAt(indexed, 2), 1, true).code(), Status::Code::Locked);
    EXPECT_TRUE(otherFile->lock(lockAt(indexed, 3), 1, true));
    EXPECT_TRUE(otherFile->lock(lockAt(!indexed, 2), 1, true));  // nothing left from the other layout
    ASSERT_TRUE(otherFile->unlock(0, 0));
    ASSERT_TRUE(t->unlockAll());

    const std::uint64_t headerLock = indexed ? 0x7FFFFFFEu : 0x40000000u;
    const std::uint32_t before = t->recordCount();
    ASSERT_TRUE(otherFile->lock(headerLock, 1, true));
    ASSERT_TRUE(t->appendStart());
    EXPECT_EQ(t->append().code(), Status::Code::Locked);
    EXPECT_EQ(t->recordCount(), before);
    ASSERT_TRUE(otherFile->unlock(headerLock, 1));
    EXPECT_TRUE(t->append());
    EXPECT_EQ(t->recordCount(), before + 1);
  }
}

// Another program appends to a table without index tags as FoxPro-compatible
// programs do: under the byte at 0x40000000 it reads the count, writes the
// record and the end-of-file byte, then the count. Our appends beside it
// must lose none of its records, nor it any of ours, and dbfread reads them all.
TEST_F(TableLock, AppendsBesideAnotherProgramOnATableWithoutIndexTags) {
  constexpr int kEach = 200;
  test::OtherProgram other([&] {  // runs beside our appends below
    std::unique_ptr<File> f;
    if (!FileSystem::instance().openFile(path, true, &f)) return false;
    std::string record(recordLength, ' ');
    record.replace(1, 5, "other");
    for (int i = 0; i < kEach; ++i) {
      while (!f->lock(0x40000000u, 1, true)) {
      }
      std::string count(4, '\0');
      std::size_t got = 0;
      if (!f->readAt(4, count.data(), 4, &got)) return false;
      std::uint32_t n = getLe(count, 0, 4);
      FileSystem::instance().sleepMilliseconds(1);  // a slower program: our appends meet it here
      std::string out = record + "\x1a";
      putLe(count, 0, n + 1, 4);
      if (!f->writeAt(recordAt(n + 1), out.data(), out.size()) ||
          !f->writeAt(4, count.data(), 4) || !f->unlock(0x40000000u, 1))
        return false;
    }
    return true;
  });
  {
    auto t = open();
    for (int i = 0; i < kEach; ++i) {
      Status s;
      do s = test::appendRow(*t, {"ours"});
      while (s.code() == Status::Code::Locked);
      ASSERT_TRUE(s) << s.message();
      FileSystem::instance().sleepMilliseconds(1);  // spread over the other program's run
    }
  }
  ASSERT_TRUE(other.ready());  // every one of its appends done
  auto t = open();
  ASSERT_EQ(t->recordCount(), 3u + 2 * kEach);
  int ours = 0, theirs = 0;
  std::string dump;  // as dbfread must read the table
  for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
    ASSERT_TRUE(t->go(r));
    // Bound, not copied: gcc 12 at -O2 reads a copy compared with an
    // eight-byte literal as possibly unset bytes.
    const std::string& n = t->value(*t->schema().find("NAME")).bytes;
    ours += n == "ours    ";
    theirs += n == "other   ";
    dump += std::to_string(r) + "\t0\tNAME=" + n.substr(0, n.find(' ')) + "\n";
  }
  EXPECT_EQ(ours, kEach);
  EXPECT_EQ(theirs, kEach);
  EXPECT_EQ(test::dbfreadDump(path), dump);
  // A table open only for reading takes no appends.
  t = test::openTable(path, false);
  EXPECT_FALSE(t->appendStart());
}

// Share modes as other programs on Linux mark them with flock: a pack or a
// reindex waits while another program, even one only reading, has the table
// open. A table in exclusive use elsewhere is refused through the library
// call (codebase_test), with the words the user sees.
TEST_F(TableLock, PackAndReindexWaitUntilNoOtherProgramHasTheTableOpen) {
  {
    auto t = open();
    ASSERT_TRUE(t->go(2));
    ASSERT_TRUE(t->setDeleted(true));
    ASSERT_TRUE(t->flush());
    std::unique_ptr<CompoundIndex> created;
    ASSERT_TRUE(CompoundIndex::create(indexPathFor(path), *t, {{"name", "name", "", false, false, false}}, &created));
  }
  const std::string before = test::readWholeFile(path), indexBefore = test::readWholeFile(indexPathFor(path));
  auto t = test::openWithIndex(path);
  ASSERT_TRUE(t);
  CompoundIndex* index = &test::indexOf(*t);
  auto othersMayTakeItAlone = [&] {
    std::unique_ptr<File> f;
    return FileSystem::instance().openFile(path, false, &f) && f->share(File::Share::Exclusive);
  };
  {
    // Another program has the table open (shared), as we do.
    test::OtherProgram other([&] {
      std::unique_ptr<Table> theirs;
      return Table::open(path, false, &theirs) && (theirs.release(), true);
    });
    ASSERT_TRUE(other.ready());
    Status s = t->pack();
    EXPECT_EQ(s.code(), Status::Code::Locked);
    EXPECT_NE(s.message().find("is open in another program"), std::string::npos) << s.message();
    EXPECT_EQ(index->reindex().code(), Status::Code::Locked);
    EXPECT_EQ(test::readWholeFile(path), before);
    EXPECT_EQ(test::readWholeFile(indexPathFor(path)), indexBefore);
  }
  // The refusals left our shared mark in place.
  EXPECT_FALSE(othersMayTakeItAlone());
  ASSERT_TRUE(t->pack());
  EXPECT_EQ(t->recordCount(), 2u);
  EXPECT_TRUE(index->check());
  // The new file carries our shared mark again.
  EXPECT_FALSE(othersMayTakeItAlone());
  t.reset();
  EXPECT_TRUE(othersMayTakeItAlone());
}

// Pack killed at every step: the table reopens with every tag right, the
// memos readable, and either every record (the deleted ones still marked) or
// exactly the live ones in their order.
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
    SCOPED_TRACE(when);
    auto t = test::openWithIndex(dbf);
    ASSERT_TRUE(t);
    Status s = test::indexOf(*t).check();
    EXPECT_TRUE(s) << s.message();
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
      ASSERT_TRUE(t->memoText(*t->schema().find("NOTES"), &memo));
      EXPECT_EQ(memo, "memo " + name);
      (t->isDeleted() ? deleted.insert(name), void() : live.push_back(name));
    }
    EXPECT_EQ(live, expectedLive);
    EXPECT_EQ(deleted, expectedDeleted);
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
