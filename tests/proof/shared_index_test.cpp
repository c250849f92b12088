// Two opens of one table with its production index, taking turns as two programs would: each change first
// catches up with the other's, and waits while another holds the index's update lock.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/fs/file_system.h"
#include "platform/table/cdx_index.h"
#include "platform/table/lock_offsets.h"
#include "platform/table/table.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/proof/proof_support.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

Status setNum(Table& t, std::uint32_t recno, int num) {
  Status s = t.lockRecord(recno);
  if (s) s = t.go(recno);
  if (s) s = t.assignInteger(*t.schema().find("NUM"), num);
  if (s) s = t.unlockAll();
  return s;
}

std::string walk(Table& t) { return test::tagListing(test::indexOf(t), test::indexOf(t).findTag("NUM")); }
std::size_t entries(const std::string& listing) { return std::count(listing.begin(), listing.end(), '\n'); }

TEST(SharedIndex, TwoOpensTakingTurnsKeepTheRecordsAndBothIndexesRight) {
  test::TempDir dir;
  const std::string path = dir.file("t.dbf");
  std::vector<test::Row> rows;
  for (int i = 1; i <= 40; ++i) rows.push_back({"r" + std::to_string(i), std::to_string(i)});
  ASSERT_TRUE(test::makeTable(path, {{"NAME", 'C', 8}, {"NUM", 'N', 6}}, rows,
                              {{"NUM", "STR(NUM,6)", "", false, false, false}, {"NAME", "NAME", "", false, false, false}}));
  std::unique_ptr<Table> a = test::openWithIndex(path), b = test::openWithIndex(path);  // as two programs hold them
  ASSERT_TRUE(a && b);
  // Both read the tag first, so each holds nodes in memory that the other then changes.
  ASSERT_EQ(entries(walk(*a)), 40u);
  ASSERT_EQ(entries(walk(*b)), 40u);
  for (int round = 0; round < 60; ++round) {
    Table& me = round % 2 ? *a : *b;
    // Keys move across the whole tag, so leaves split and merge under both.
    ASSERT_TRUE(setNum(me, 1 + static_cast<std::uint32_t>((round * 7) % 40), 100000 - round * 997 % 50000));
    if (round % 3 == 0) {
      ASSERT_TRUE(test::appendRow(me, {"n" + std::to_string(round), std::to_string(500 + round)}));
    }
  }
  ASSERT_TRUE(a->refreshCount());
  ASSERT_TRUE(b->refreshCount());
  EXPECT_EQ(a->recordCount(), 60u);
  EXPECT_TRUE(test::indexOf(*a).refresh());
  EXPECT_TRUE(test::indexOf(*b).refresh());
  EXPECT_EQ(entries(walk(*a)), 60u);
  EXPECT_EQ(walk(*a), walk(*b));
  // A change starts from the record another open wrote, not from its own stale copy.
  ASSERT_TRUE(a->go(5));
  ASSERT_TRUE(b->lockRecord(5));
  ASSERT_TRUE(b->go(5));
  ASSERT_TRUE(b->assignText(*b->schema().find("NAME"), "from b"));
  ASSERT_TRUE(b->unlockAll());
  ASSERT_TRUE(setNum(*a, 5, 777));
  std::unique_ptr<Table> fresh = test::openTable(path, false);
  ASSERT_TRUE(fresh && fresh->go(5));
  EXPECT_EQ(fresh->value(*fresh->schema().find("NAME")).bytes, "from b  ");
  EXPECT_EQ(fresh->value(*fresh->schema().find("NUM")).number, 777);
  // A change waits while another program holds the index's update lock.
  std::unique_ptr<File> other;
  ASSERT_TRUE(FileSystem::instance().openFile(dir.file("t.cdx"), true, &other));
  ASSERT_TRUE(other->lock(kIndexLockOffset, 1, true));
  // The first pause of the change's wait lets the other program's lock go, on any machine's timing.
  int waits = 0;
  test::ForwardingFileSystem fs;
  fs.onSleep = [&](int) { EXPECT_TRUE(waits++ > 0 || other->unlock(kIndexLockOffset, 1)); };
  ASSERT_TRUE(setNum(*a, 3, 4242));
  EXPECT_EQ(waits, 1);
  // The change lets the lock go again, so does one that left the record as it was.
  EXPECT_TRUE(other->lock(kIndexLockOffset, 1, true));
  ASSERT_TRUE(other->unlock(kIndexLockOffset, 1));
  ASSERT_TRUE(setNum(*a, 5, 777));
  EXPECT_TRUE(other->lock(kIndexLockOffset, 1, true));
  // Whatever the opens did, a newcomer finds every tag right.
  EXPECT_TRUE(proof::checkTags(path));
}

} // namespace
} // namespace pu::table
