// Record and header locks against another open and another process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/table/lock_offsets.h"
#include "platform/table/table.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

class TableLock : public ::testing::Test {
protected:
  void SetUp() override {
    path = dir.file("locks.dbf");
    ASSERT_TRUE(Table::create(path, {{"NAME", 'C', 8}}, TableFormat::VisualFoxPro));
    auto t = open();
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(t->appendStart());
      ASSERT_TRUE(t->append());
    }
  }
  std::unique_ptr<Table> open() {
    std::unique_ptr<Table> t;
    Status s = Table::open(path, true, &t);
    EXPECT_TRUE(s) << s.message();
    return t;
  }

  test::TempDir dir;
  std::string path;
};

TEST_F(TableLock, TwoOpensExcludeEachOther) {
  auto a = open(), b = open();
  ASSERT_TRUE(a->lockRecord(2));
  EXPECT_EQ(b->lockRecord(2).code(), Status::Code::Locked);
  EXPECT_TRUE(b->lockRecord(1));
  ASSERT_TRUE(a->unlockAll());
  EXPECT_TRUE(b->lockRecord(2));
}

TEST_F(TableLock, RecordLockSitsAtTheSharedOffset) {
  auto t = open();
  ASSERT_TRUE(t->lockRecord(2));
  std::unique_ptr<File> other;
  ASSERT_TRUE(FileSystem::instance().openFile(path, true, &other));
  EXPECT_EQ(other->lock(0x7FFFFFFEu - 2, 1, true).code(), Status::Code::Locked);
  EXPECT_TRUE(other->lock(0x7FFFFFFEu - 3, 1, true));
}

TEST_F(TableLock, AppendIsRefusedWhileAnotherHoldsTheHeaderLock) {
  std::unique_ptr<File> other;
  ASSERT_TRUE(FileSystem::instance().openFile(path, true, &other));
  ASSERT_TRUE(other->lock(kHeaderLockOffset, 1, true));
  auto t = open();
  ASSERT_TRUE(t->appendStart());
  EXPECT_EQ(t->append().code(), Status::Code::Locked);
  EXPECT_EQ(t->recordCount(), 3u);
  ASSERT_TRUE(other->unlock(kHeaderLockOffset, 1));
  EXPECT_TRUE(t->append());
  EXPECT_EQ(t->recordCount(), 4u);
}

TEST_F(TableLock, LockHeldByAnotherProcess) {
  int toParent[2], toChild[2];
  ASSERT_EQ(::pipe(toParent), 0);
  ASSERT_EQ(::pipe(toChild), 0);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::unique_ptr<Table> t;
    char c = Table::open(path, true, &t) && t->lockRecord(2) ? 'L' : 'E';
    (void)!::write(toParent[1], &c, 1);
    (void)!::read(toChild[0], &c, 1);  // hold the lock until the parent has tried
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(toParent[0], &c, 1), 1);
  ASSERT_EQ(c, 'L');
  auto t = open();
  EXPECT_EQ(t->lockRecord(2).code(), Status::Code::Locked);
  EXPECT_TRUE(t->lockRecord(3));
  ASSERT_EQ(::write(toChild[1], &c, 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(t->lockRecord(2));  // the lock went with the process
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) ::close(fd);
}

TEST_F(TableLock, TwoProcessesAppendingNeverTakeTheSameRecord) {
  constexpr int kEach = 150;
  auto appendMany = [&](const char* who) {
    std::unique_ptr<Table> t;
    if (!Table::open(path, true, &t)) return false;
    for (int i = 0; i < kEach; ++i) {
      Status s;
      do {
        s = t->appendStart();
        if (s) s = t->assignText(*t->schema().find("NAME"), who);
        if (s) s = t->append();
      } while (s.code() == Status::Code::Locked);  // the other one holds the header lock
      if (!s) return false;
    }
    return true;
  };
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) ::_exit(appendMany("child") ? 0 : 1);
  EXPECT_TRUE(appendMany("parent"));
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  auto t = open();
  ASSERT_EQ(t->recordCount(), 3u + 2 * kEach);
  int parent = 0, child = 0;
  for (std::uint32_t r = 4; r <= t->recordCount(); ++r) {
    ASSERT_TRUE(t->go(r));
    std::string name = t->value(*t->schema().find("NAME")).bytes;
    parent += name == "parent  ";
    child += name == "child   ";
  }
  EXPECT_EQ(parent, kEach);
  EXPECT_EQ(child, kEach);
}

} // namespace
} // namespace pu::table
