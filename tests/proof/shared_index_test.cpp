// Two opens of one table with its production index, taking turns as two
// programs would: each change first catches up with the other's, so both
// indexes stay right, and a change waits while another holds the index's
// update lock.
#include <gtest/gtest.h>

#include <memory>

#include "platform/fs/file_system.h"
#include "platform/table/cdx_index.h"
#include "platform/table/lock_offsets.h"
#include "platform/table/table.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

struct Opened {
  std::unique_ptr<Table> table;
  CompoundIndex* index = nullptr;
};

class SharedIndex : public ::testing::Test {
protected:
  void SetUp() override {
    path = dir.file("t.dbf");
    ASSERT_TRUE(Table::create(path, {{"NAME", 'C', 8}, {"NUM", 'N', 6}}, TableFormat::VisualFoxPro));
    std::unique_ptr<Table> t;
    ASSERT_TRUE(Table::open(path, true, &t));
    for (int i = 1; i <= 40; ++i) ASSERT_TRUE(appendRow(*t, "r" + std::to_string(i), i));
    std::unique_ptr<CompoundIndex> index;
    TagSpec num, name;
    num.name = "NUM";
    num.keyExpr = "STR(NUM,6)";
    name.name = "NAME";
    name.keyExpr = "NAME";
    ASSERT_TRUE(CompoundIndex::create(dir.file("t.cdx"), *t, {num, name}, &index));
    ASSERT_TRUE(t->setStructuralIndex(true));
  }

  static Status appendRow(Table& t, const std::string& name, int num) {
    Status s = t.appendStart();
    if (s) s = t.assignText(*t.schema().find("NAME"), name);
    if (s) s = t.assignInteger(*t.schema().find("NUM"), num);
    return s ? t.append() : s;
  }

  Opened open() {
    Opened o;
    EXPECT_TRUE(Table::open(path, true, &o.table));
    std::unique_ptr<CompoundIndex> index;
    EXPECT_TRUE(CompoundIndex::open(dir.file("t.cdx"), *o.table, &index));
    o.index = index.get();
    o.table->attachIndex(std::move(index));
    return o;
  }

  static Status setNum(Opened& o, std::uint32_t recno, int num) {
    Status s = o.table->lockRecord(recno);
    if (s) s = o.table->go(recno);
    if (s) s = o.table->assignInteger(*o.table->schema().find("NUM"), num);
    if (s) s = o.table->unlockAll();
    return s;
  }

  // The files as a newcomer sees them.
  Status checkFresh() {
    std::unique_ptr<Table> t;
    Status s = Table::open(path, false, &t);
    std::unique_ptr<CompoundIndex> index;
    CdxOpenOptions options;
    options.writable = false;
    if (s) s = CompoundIndex::open(dir.file("t.cdx"), *t, &index, options);
    return s ? index->check() : s;
  }

  // Every key of tag NUM in order, as recnos.
  static std::vector<std::uint32_t> walk(Opened& o) {
    std::vector<std::uint32_t> out;
    int tag = o.index->findTag("NUM");
    TagCursor c;
    EXPECT_TRUE(o.index->first(tag, &c));
    while (c.valid) {
      std::string key;
      std::uint32_t recno = 0;
      EXPECT_TRUE(o.index->entry(tag, c, &key, &recno));
      out.push_back(recno);
      EXPECT_TRUE(o.index->next(tag, &c));
    }
    return out;
  }

  test::TempDir dir;
  std::string path;
};

TEST_F(SharedIndex, TwoOpensTakingTurnsKeepBothIndexesRight) {
  Opened a = open(), b = open();
  // Both read the tag first, so each holds nodes in memory that the other then changes.
  ASSERT_EQ(walk(a).size(), 40u);
  ASSERT_EQ(walk(b).size(), 40u);
  for (int round = 0; round < 60; ++round) {
    Opened& me = round % 2 ? a : b;
    // Keys move across the whole tag, so leaves split and merge under both.
    ASSERT_TRUE(setNum(me, 1 + static_cast<std::uint32_t>((round * 7) % 40), 100000 - round * 997 % 50000));
    if (round % 3 == 0) {
      ASSERT_TRUE(appendRow(*me.table, "n" + std::to_string(round), 500 + round));
    }
  }
  ASSERT_TRUE(a.table->refreshCount());
  ASSERT_TRUE(b.table->refreshCount());
  EXPECT_EQ(a.table->recordCount(), 60u);
  EXPECT_TRUE(checkFresh());
  // Both opens, brought up to date, walk what the file holds.
  EXPECT_TRUE(a.index->refresh());
  EXPECT_TRUE(b.index->refresh());
  EXPECT_EQ(walk(a).size(), 60u);
  EXPECT_EQ(walk(a), walk(b));
}

TEST_F(SharedIndex, AChangeStartsFromTheRecordAnotherOpenWrote) {
  Opened a = open(), b = open();
  ASSERT_TRUE(a.table->go(5));  // b's change below makes this copy stale
  ASSERT_TRUE(b.table->lockRecord(5));
  ASSERT_TRUE(b.table->go(5));
  ASSERT_TRUE(b.table->assignText(*b.table->schema().find("NAME"), "from b"));
  ASSERT_TRUE(b.table->unlockAll());
  ASSERT_TRUE(setNum(a, 5, 777));
  std::unique_ptr<Table> fresh;
  ASSERT_TRUE(Table::open(path, false, &fresh));
  ASSERT_TRUE(fresh->go(5));
  EXPECT_EQ(fresh->value(*fresh->schema().find("NAME")).bytes, "from b  ");
  EXPECT_EQ(fresh->value(*fresh->schema().find("NUM")).number, 777);
  EXPECT_TRUE(checkFresh());
}

// The other program lets the lock go while the change waits for it: the
// first pause of the change's wait releases it, on any machine's timing.
class ReleaseOnFirstWait : public test::ForwardingFileSystem {
public:
  explicit ReleaseOnFirstWait(File& holder) : m_holder(holder) {}
  int waits = 0;
  void sleepMilliseconds(int) override {
    if (waits++ == 0) {
      EXPECT_TRUE(m_holder.unlock(kIndexLockOffset, 1));
    }
  }

private:
  File& m_holder;
};

TEST_F(SharedIndex, AChangeWaitsForTheIndexUpdateLock) {
  Opened a = open();
  std::unique_ptr<File> other;
  ASSERT_TRUE(FileSystem::instance().openFile(dir.file("t.cdx"), true, &other));
  ASSERT_TRUE(other->lock(kIndexLockOffset, 1, true));
  ReleaseOnFirstWait fs(*other);
  Status s = setNum(a, 3, 4242);
  ASSERT_TRUE(s) << s.message();
  EXPECT_EQ(fs.waits, 1);
  // The lock went again after the change: another open takes it at once.
  EXPECT_TRUE(other->lock(kIndexLockOffset, 1, true));
  EXPECT_TRUE(checkFresh());
}

TEST_F(SharedIndex, AnUnchangedRecordTakesNoIndexLockAfterwards) {
  Opened a = open();
  ASSERT_TRUE(setNum(a, 2, 2));  // the value it already holds
  std::unique_ptr<File> other;
  ASSERT_TRUE(FileSystem::instance().openFile(dir.file("t.cdx"), true, &other));
  EXPECT_TRUE(other->lock(kIndexLockOffset, 1, true));
}

} // namespace
} // namespace pu::table
