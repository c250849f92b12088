// Records read and written through the shared view of the file: another
// program's write shows in the current record at once, ours reach a plain
// reader at once, and a record being changed stays our own copy.
#include <gtest/gtest.h>

#include "platform/table/table.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

class TableView : public ::testing::Test {
protected:
  void SetUp() override {
    path = dir.file("view.dbf");
    ASSERT_TRUE(Table::create(path, {{"NAME", 'C', 8}}, TableFormat::VisualFoxPro));
    std::unique_ptr<Table> t;
    ASSERT_TRUE(Table::open(path, true, &t));
    for (const char* name : {"one", "two", "three"}) {
      ASSERT_TRUE(t->appendStart());
      ASSERT_TRUE(t->assignText(field(*t), name));
      ASSERT_TRUE(t->append());
    }
    headerLength = t->header().headerLength;
  }
  static const FieldDef& field(const Table& t) { return *t.schema().find("NAME"); }
  std::uint64_t nameOffset(std::uint32_t recno) const { return headerLength + (recno - 1) * 9u + 1; }
  std::string name(const Table& t) const { return t.value(field(t)).bytes; }

  test::TempDir dir;
  std::string path;
  std::uint32_t headerLength = 0;
};

TEST_F(TableView, AnotherProgramsWriteShowsInTheCurrentRecordAtOnce) {
  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::open(path, true, &t));
  ASSERT_TRUE(t->go(2));
  EXPECT_EQ(name(*t), "two     ");
  std::unique_ptr<File> other;  // as another program writes: one positioned write
  ASSERT_TRUE(FileSystem::instance().openFile(path, true, &other));
  ASSERT_TRUE(other->writeAt(nameOffset(2), "TWO", 3));
  EXPECT_EQ(name(*t), "TWO     ");
}

TEST_F(TableView, OurWriteReachesAPlainReaderAtOnce) {
  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::open(path, true, &t));
  ASSERT_TRUE(t->go(3));
  ASSERT_TRUE(t->assignText(field(*t), "drei"));
  ASSERT_TRUE(t->flush());
  std::unique_ptr<File> other;
  ASSERT_TRUE(FileSystem::instance().openFile(path, false, &other));
  char bytes[9] = {};
  std::size_t got = 0;
  ASSERT_TRUE(other->readAt(nameOffset(3) - 1, bytes, sizeof bytes, &got));
  EXPECT_EQ(std::string(bytes, got), " drei    ");
}

TEST_F(TableView, ARecordBeingChangedStaysOurOwnCopy) {
  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::open(path, true, &t));
  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->assignText(field(*t), "mine"));
  std::unique_ptr<File> other;
  ASSERT_TRUE(FileSystem::instance().openFile(path, true, &other));
  ASSERT_TRUE(other->writeAt(nameOffset(1), "THEIRS", 6));
  EXPECT_EQ(name(*t), "mine    ");
  t->revert();  // back to the file: their bytes
  EXPECT_EQ(name(*t), "THEIRS  ");
}

} // namespace
} // namespace pu::table
