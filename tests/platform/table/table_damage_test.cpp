// Damaged tables and memos give a corruption status naming the file, never a crash.
#include <gtest/gtest.h>

#include "platform/table/table.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

class TableDamage : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(test::makeTable(path, {{"NAME", 'C', 8}, {"N", 'N', 4}, {"NOTES", 'M'}},
                                {{"row", "", "memo text"}, {"row", "", "memo text"}, {"row", "", "memo text"}}));
    good = test::readWholeFile(path);
    headerLength = static_cast<unsigned char>(good[8]) | (static_cast<unsigned char>(good[9]) << 8);
  }
  Status openDamaged(const std::string& bytes, std::unique_ptr<Table>* t) {
    test::writeWholeFile(path, bytes);
    return Table::open(path, false, t);
  }
  std::string withByte(std::size_t at, char value) {
    std::string b = good;
    b[at] = value;
    return b;
  }

  test::TempDir dir;
  std::string path = dir.file("t.dbf");
  std::string good;
  std::size_t headerLength = 0;
};

TEST_F(TableDamage, DamagedTablesAndMemosAreCorruptionNamingTheFileAndTheFault) {
  const std::string fpt = test::readWholeFile(dir.file("t.fpt"));
  std::string shortHeader = withByte(8, 10), pointerPastTheEnd = withByte(headerLength + 1 + 8 + 4 + 2, 0x10), longBlock = fpt;
  shortHeader[9] = 0;
  longBlock[512 + 4] = 0x7F;  // the first block's length
  const struct {
    std::string dbf, fpt, file, words;
  } cases[] = {
      {good.substr(0, 20), fpt, path, "too short"},
      {good.substr(0, 70), fpt, path, "past the end"},                      // cut inside the field list
      {shortHeader, fpt, path, "header length"},                            // too small for one field
      {withByte(8, 10), fpt, path, "backlink"},                             // no room for the backlink
      {withByte(32 + 16, 0), fpt, path, "length 0"},                        // a field of length 0
      {withByte(10, static_cast<char>(good[10] + 3)), fpt, path, "add up"},  // field widths against the record length
      {withByte(32 + 32 + 12, 3), fpt, path, "overlaps"},
      {withByte(32 + 3 * 32, 'X'), fpt, path, ""},                          // no terminator after the fields
      {pointerPastTheEnd, fpt, "t.fpt", "past the end"},                    // record 1's NOTES pointer
      {good, longBlock, "t.fpt", ""},
      {good, "", "t.fpt", ""},  // the table does not open without its memo file
  };
  for (const auto& c : cases) {
    test::writeWholeFile(dir.file("t.fpt"), c.fpt);
    std::unique_ptr<Table> t;
    std::string text;
    Status s = openDamaged(c.dbf, &t);
    if (s) s = t->go(1);
    if (s) s = t->memoText(*t->schema().find("NOTES"), &text);
    EXPECT_EQ(s.code(), Status::Code::Corruption) << c.words << ": " << s.message();
    EXPECT_NE(s.message().find(c.file), std::string::npos) << s.message();
    EXPECT_NE(s.message().find(c.words), std::string::npos) << s.message();
  }
  std::unique_ptr<Table> t;
  EXPECT_EQ(openDamaged(withByte(0, 0x7F), &t).code(), Status::Code::Unsupported);  // unknown type byte
}

TEST_F(TableDamage, RecordsTheFileLacksAreNotCounted) {
  std::unique_ptr<Table> t;
  ASSERT_TRUE(openDamaged(withByte(4, 100), &t));  // the header counts 100
  EXPECT_EQ(t->recordCount(), 3u);
  EXPECT_EQ(t->headerRecordCount(), 100u);
  EXPECT_TRUE(t->go(3));
  EXPECT_EQ(t->go(4).code(), Status::Code::NotFound);
  ASSERT_TRUE(openDamaged(good.substr(0, good.size() - 5), &t));  // the last record cut short
  EXPECT_EQ(t->recordCount(), 2u);
}

// Every single-byte change and every cut of the header either opens or is
// refused as damaged or unknown; a full scan of what opens stays in bounds.
TEST_F(TableDamage, EveryHeaderByteFlipAndCutIsHandled) {
  auto refused = [](const Status& s) { return s.code() == Status::Code::Corruption || s.code() == Status::Code::Unsupported; };
  for (std::size_t at = 0; at < headerLength + 10 && at < good.size(); ++at) {
    for (int v : {0x00, 0x01, 0x7F, 0xFF}) {
      std::unique_ptr<Table> t;
      Status s = openDamaged(withByte(at, static_cast<char>(v)), &t);
      if (!s) {
        EXPECT_TRUE(refused(s)) << "byte " << at << " = " << v << ": " << s.message();
        continue;
      }
      for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
        if (!t->go(r)) break;
        for (const FieldDef& f : t->schema().fields) {
          (void)t->value(f);
          std::string memo;
          if (f.type == 'M') (void)t->memoText(f, &memo);
        }
      }
    }
    std::unique_ptr<Table> t;
    Status s = openDamaged(good.substr(0, at), &t);
    EXPECT_TRUE(s || refused(s)) << "cut at " << at << ": " << s.message();
  }
}

} // namespace
} // namespace pu::table
