// Record and header locks, share modes and the shared view of the records
// against another open and another process. The other process stands for
// another FoxPro-compatible program: it takes the locks and marks at the
// places those programs use.
#include <gtest/gtest.h>

#include "platform/table/bytes.h"
#include "platform/table/cdx_index.h"
#include "platform/table/lock_offsets.h"
#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/other_program.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

using test::OtherProgram;

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
TEST_F(TableLock, TheCurrentRecordIsTheFileUnlessBeingChanged) {
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
}

// Other programs lock a record of a table with index tags at 0x7FFFFFFE
// minus its number, and of a table without them at 0x40000000 plus the
// record's offset in the file; the header lock, which an append takes, at
// 0x7FFFFFFE or 0x40000000.
TEST_F(TableLock, LocksSitWhereOtherProgramsLookForThem) {
  auto t = open();
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
  OtherProgram other([&] {  // runs beside our appends below
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
    OtherProgram other([&] {
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

} // namespace
} // namespace pu::table
