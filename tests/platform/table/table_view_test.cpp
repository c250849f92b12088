// Records read and written through the shared view of the file: another
// program's write shows in the current record at once, ours reach a plain
// reader at once, and a record being changed stays our own copy.
#include <gtest/gtest.h>

#include "platform/table/table.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

class TableView : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(test::makeTable(dir.file("view.dbf"), {{"NAME", 'C', 8}}, {{"one"}, {"two"}, {"three"}}));
    ASSERT_TRUE(Table::open(dir.file("view.dbf"), true, &t));  // opened on the whole file
    ASSERT_TRUE(FileSystem::instance().openFile(t->path(), true, &other));  // as another program: positioned reads and writes
  }
  std::uint64_t nameOffset(std::uint32_t recno) const { return t->header().headerLength + (recno - 1) * 9u + 1; }
  std::string name() const { return t->value(*t->schema().find("NAME")).bytes; }

  test::TempDir dir;
  std::unique_ptr<Table> t;
  std::unique_ptr<File> other;
};

TEST_F(TableView, AnotherProgramsWriteShowsInTheCurrentRecordAtOnce) {
  ASSERT_TRUE(t->go(2));
  EXPECT_EQ(name(), "two     ");
  ASSERT_TRUE(other->writeAt(nameOffset(2), "TWO", 3));
  EXPECT_EQ(name(), "TWO     ");
}

TEST_F(TableView, OurWriteReachesAPlainReaderAtOnce) {
  ASSERT_TRUE(t->go(3));
  ASSERT_TRUE(t->assignText(*t->schema().find("NAME"), "drei"));
  ASSERT_TRUE(t->flush());
  char bytes[9] = {};
  std::size_t got = 0;
  ASSERT_TRUE(other->readAt(nameOffset(3) - 1, bytes, sizeof bytes, &got));
  EXPECT_EQ(std::string(bytes, got), " drei    ");
}

TEST_F(TableView, ARecordBeingChangedStaysOurOwnCopy) {
  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->assignText(*t->schema().find("NAME"), "mine"));
  ASSERT_TRUE(other->writeAt(nameOffset(1), "THEIRS", 6));
  EXPECT_EQ(name(), "mine    ");
  t->revert();  // back to the file: their bytes
  EXPECT_EQ(name(), "THEIRS  ");
}

} // namespace
} // namespace pu::table
