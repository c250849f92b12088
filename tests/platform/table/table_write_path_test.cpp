// The single write path: index hooks in order, refusals writing nothing, a
// write failing at any point leaving a table that opens; and damaged tables
// and memos giving a corruption status naming the file, never a crash.
#include <gtest/gtest.h>

#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

// Notes each call as "check|apply recno 'old' 'new'"; refuses a change to
// BAD and fails to write one to FAIL.
class FakeIndex : public RecordIndex {
public:
  FakeIndex(std::string path, std::vector<std::string>* calls) : m_path(std::move(path)), m_calls(calls) {}
  const std::string& path() const override { return m_path; }
  Status checkChange(std::uint32_t recno, std::string_view o, std::string_view n) override {
    m_calls->push_back("check " + std::to_string(recno) + " '" + std::string(o) + "' '" + std::string(n) + "'");
    return n.find("BAD") == std::string_view::npos ? Status::ok() : Status::unsupported("refused");
  }
  Status applyChange(std::uint32_t recno, std::string_view o, std::string_view n) override {
    m_calls->push_back("apply " + std::to_string(recno) + " '" + std::string(o) + "' '" + std::string(n) + "'");
    return n.find("FAIL") == std::string_view::npos ? Status::ok() : Status::ioError("index write failed");
  }
  // Packs with a real index are the pack tests'.
  Status writePacked(RecordSource&, const std::string&) override { return Status::unsupported("no pack here"); }
  Status reopen() override { return Status::ok(); }

private:
  std::string m_path;
  std::vector<std::string>* m_calls;
};

// Append, change, delete and recall each ask the index, then tell it, with
// the record's bytes before (none for an append) and after.
TEST(TableWritePath, EveryChangeGoesThroughTheIndexHooksWhichMayRefuseIt) {
  test::TempDir dir;
  const std::string path = dir.file("w.dbf");
  std::vector<std::string> calls;  // outlives the table, whose index writes into it
  auto t = test::makeTable(path, {{"NAME", 'C', 6}});
  ASSERT_TRUE(t);
  t->attachIndex(std::make_unique<FakeIndex>(dir.file("w.cdx"), &calls));
  const FieldDef* name = t->schema().find("NAME");
  ASSERT_TRUE(test::appendRow(*t, {"one"}));
  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->assignText(*name, "two"));
  ASSERT_TRUE(t->flush());
  ASSERT_TRUE(t->setDeleted(true));
  ASSERT_TRUE(t->flush());
  ASSERT_TRUE(t->setDeleted(false));
  ASSERT_TRUE(t->flush());
  EXPECT_EQ(calls, (std::vector<std::string>{"check 1 '' ' one   '", "apply 1 '' ' one   '",
                                             "check 1 ' one   ' ' two   '", "apply 1 ' one   ' ' two   '",
                                             "check 1 ' two   ' '*two   '", "apply 1 ' two   ' '*two   '",
                                             "check 1 '*two   ' ' two   '", "apply 1 '*two   ' ' two   '"}));
  // A refused change writes nothing; a failed index update puts the old bytes back.
  std::string before = test::readWholeFile(path);
  ASSERT_TRUE(t->assignText(*name, "BAD"));
  EXPECT_EQ(t->flush().code(), Status::Code::Unsupported);
  EXPECT_EQ(test::readWholeFile(path), before);
  EXPECT_FALSE(t->appendStart());  // the refused change is still pending
  t->revert();
  EXPECT_EQ(t->value(*name).bytes, "two   ");
  ASSERT_TRUE(t->appendStart());
  ASSERT_TRUE(t->assignText(*name, "BAD"));
  EXPECT_FALSE(t->append());
  EXPECT_EQ(test::readWholeFile(path), before);
  t->revert();
  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->assignText(*name, "FAIL"));
  EXPECT_EQ(t->flush().code(), Status::Code::IoError);
  EXPECT_EQ(test::readWholeFile(path), before);
}

// Runs a change sequence killed at its Nth file change, for every N, and
// checks that the table still opens and that dbfread reads it.
TEST(TableWriteFailure, EveryFailedWriteLeavesATableThatOpens) {
  bool finished = false;
  for (int n = 0; n < 200 && !finished; ++n) {
    test::TempDir dir;
    std::string path = dir.file("f.dbf");
    ASSERT_TRUE(Table::create(path, {{"NAME", 'C', 6}, {"NOTES", 'M'}}, TableFormat::VisualFoxPro));
    bool allDone = false;
    {
      test::DyingFileSystem dying;
      dying.budget = n;
      std::unique_ptr<Table> t;
      if (Table::open(path, true, &t)) {
        allDone = test::appendRow(*t, {"a", "memo a"}) && test::appendRow(*t, {"b"}) && t->go(1) &&
                  t->assignMemo(*t->schema().find("NOTES"), "memo changed") && t->flush() && t->go(2) &&
                  t->setDeleted(true) && t->flush() && t->pack();
      }
    }
    std::unique_ptr<Table> t;
    Status s = Table::open(path, true, &t);
    ASSERT_TRUE(s) << "killed at change " << n << ": " << s.message();
    for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
      ASSERT_TRUE(t->go(r));
      std::string memo;
      EXPECT_TRUE(t->memoText(*t->schema().find("NOTES"), &memo)) << "killed at change " << n;
      EXPECT_TRUE(memo.empty() || memo == "memo a" || memo == "memo changed") << memo;
    }
    std::string dump = test::dbfreadDump(path);
    EXPECT_EQ(dump.find("failed"), std::string::npos) << dump;
    if (allDone) {
      EXPECT_EQ(dump, "1\t0\tNAME=a\tNOTES=memo changed\n");
      finished = true;
    }
  }
  EXPECT_TRUE(finished) << "the sequence never ran to its end";
}

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

TEST_F(TableDamage, DamageIsCorruptionNamingTheFileAndTheFaultAndRecordsTheFileLacksAreNotCounted) {
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
  test::writeWholeFile(dir.file("t.fpt"), fpt);  // the last case left it empty
  std::unique_ptr<Table> t;
  EXPECT_EQ(openDamaged(withByte(0, 0x7F), &t).code(), Status::Code::Unsupported);  // unknown type byte
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
