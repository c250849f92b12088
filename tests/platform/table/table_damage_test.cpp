// Damaged tables give a corruption status naming the file, never a crash.
#include <gtest/gtest.h>

#include "platform/table/table.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

class TableDamage : public ::testing::Test {
protected:
  void SetUp() override {
    path = dir.file("t.dbf");
    ASSERT_TRUE(Table::create(path, {{"NAME", 'C', 8}, {"N", 'N', 4}, {"NOTES", 'M'}}, TableFormat::VisualFoxPro));
    std::unique_ptr<Table> t;
    ASSERT_TRUE(Table::open(path, true, &t));
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(t->appendStart());
      ASSERT_TRUE(t->assignText(*t->schema().find("NAME"), "row"));
      ASSERT_TRUE(t->assignMemo(*t->schema().find("NOTES"), "memo text"));
      ASSERT_TRUE(t->append());
    }
    t.reset();
    good = test::readWholeFile(path);
    headerLength = static_cast<unsigned char>(good[8]) | (static_cast<unsigned char>(good[9]) << 8);
  }
  Status openDamaged(const std::string& bytes, std::unique_ptr<Table>* t = nullptr) {
    test::writeWholeFile(path, bytes);
    std::unique_ptr<Table> local;
    return Table::open(path, false, t ? t : &local);
  }
  void expectCorrupt(const std::string& bytes, const std::string& words) {
    Status s = openDamaged(bytes);
    EXPECT_EQ(s.code(), Status::Code::Corruption) << s.message();
    EXPECT_NE(s.message().find(path), std::string::npos) << s.message();
    EXPECT_NE(s.message().find(words), std::string::npos) << s.message();
  }
  std::string withByte(std::size_t at, char value) {
    std::string b = good;
    b[at] = value;
    return b;
  }

  test::TempDir dir;
  std::string path;
  std::string good;
  std::size_t headerLength = 0;
};

TEST_F(TableDamage, TruncatedHeader) { expectCorrupt(good.substr(0, 20), "too short"); }

TEST_F(TableDamage, HeaderCutInsideFieldList) { expectCorrupt(good.substr(0, 70), "past the end"); }

TEST_F(TableDamage, HeaderLengthTooSmall) {
  std::string b = withByte(8, 10);
  b[9] = 0;
  expectCorrupt(b, "header length");
}

TEST_F(TableDamage, HeaderLengthWithoutRoomForBacklink) { expectCorrupt(withByte(8, 10), "backlink"); }

TEST_F(TableDamage, ZeroLengthField) { expectCorrupt(withByte(32 + 16, 0), "length 0"); }

TEST_F(TableDamage, FieldWidthsDoNotAddUp) { expectCorrupt(withByte(10, static_cast<char>(good[10] + 3)), "add up"); }

TEST_F(TableDamage, FieldsOverlap) { expectCorrupt(withByte(32 + 32 + 12, 3), "overlaps"); }

TEST_F(TableDamage, MissingTerminator) {
  std::string b = good;
  b[32 + 3 * 32] = 'X';
  expectCorrupt(b, "");
}

TEST_F(TableDamage, UnknownTypeByteIsUnsupported) {
  Status s = openDamaged(withByte(0, 0x7F));
  EXPECT_EQ(s.code(), Status::Code::Unsupported);
}

TEST_F(TableDamage, RecordCountLargerThanFileOpensWithWhatTheFileHolds) {
  std::string b = withByte(4, 100);
  std::unique_ptr<Table> t;
  ASSERT_TRUE(openDamaged(b, &t));
  EXPECT_EQ(t->recordCount(), 3u);
  EXPECT_EQ(t->headerRecordCount(), 100u);
  EXPECT_TRUE(t->go(3));
  EXPECT_EQ(t->go(4).code(), Status::Code::NotFound);
}

TEST_F(TableDamage, LastRecordCutShortIsNotCounted) {
  std::unique_ptr<Table> t;
  ASSERT_TRUE(openDamaged(good.substr(0, good.size() - 5), &t));
  EXPECT_EQ(t->recordCount(), 2u);
}

TEST_F(TableDamage, MemoPointerPastTheEnd) {
  std::unique_ptr<Table> t;
  std::string b = good;
  std::size_t notes = headerLength + 1 + 8 + 4;  // record 1's NOTES pointer
  b[notes + 2] = 0x10;
  ASSERT_TRUE(openDamaged(b, &t));
  ASSERT_TRUE(t->go(1));
  std::string text;
  Status s = t->memoText(*t->schema().find("NOTES"), &text);
  EXPECT_EQ(s.code(), Status::Code::Corruption);
  EXPECT_NE(s.message().find("t.fpt"), std::string::npos) << s.message();
  EXPECT_NE(s.message().find("past the end"), std::string::npos) << s.message();
}

TEST_F(TableDamage, MemoLengthPastTheEnd) {
  std::string fpt = test::readWholeFile(dir.file("t.fpt"));
  fpt[512 + 4] = 0x7F;  // first block's length
  test::writeWholeFile(dir.file("t.fpt"), fpt);
  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::open(path, false, &t));
  ASSERT_TRUE(t->go(1));
  std::string text;
  EXPECT_EQ(t->memoText(*t->schema().find("NOTES"), &text).code(), Status::Code::Corruption);
}

TEST_F(TableDamage, MissingMemoFile) {
  test::writeWholeFile(dir.file("t.fpt"), "");
  std::unique_ptr<Table> t;
  EXPECT_EQ(Table::open(path, false, &t).code(), Status::Code::Corruption);
}

// Every single-byte change and every cut of the header either opens or
// fails with a status; a full scan of what opens stays in bounds.
TEST_F(TableDamage, EveryHeaderByteFlipAndCutIsHandled) {
  for (std::size_t at = 0; at < headerLength + 10 && at < good.size(); ++at) {
    for (int v : {0x00, 0x01, 0x7F, 0xFF}) {
      std::unique_ptr<Table> t;
      if (!openDamaged(withByte(at, static_cast<char>(v)), &t)) continue;
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
    (void)openDamaged(good.substr(0, at), &t);
  }
}

} // namespace
} // namespace pu::table
