// The single write path: index hooks in order, refusals writing nothing, and
// a write failing at any point leaving a table that opens.
#include <gtest/gtest.h>

#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

struct Call {
  std::string what;
  std::uint32_t recno;
  std::string oldRecord, newRecord;
};

class FakeIndex : public RecordIndex {
public:
  FakeIndex(std::string path, std::vector<Call>* calls) : m_path(std::move(path)), m_calls(calls) {}
  const std::string& path() const override { return m_path; }
  Status checkChange(std::uint32_t recno, std::string_view o, std::string_view n) override {
    m_calls->push_back({"check", recno, std::string(o), std::string(n)});
    if (n.find("BAD") != std::string_view::npos) return Status::unsupported("refused");
    return Status::ok();
  }
  Status applyChange(std::uint32_t recno, std::string_view o, std::string_view n) override {
    m_calls->push_back({"apply", recno, std::string(o), std::string(n)});
    if (n.find("FAIL") != std::string_view::npos) return Status::ioError("index write failed");
    return Status::ok();
  }
  // Packs with a real index are the pack tests'.
  Status writePacked(RecordSource&, const std::string&) override { return Status::unsupported("no pack here"); }
  Status reopen() override { return Status::ok(); }

private:
  std::string m_path;
  std::vector<Call>* m_calls;
};

class TableWritePath : public ::testing::Test {
protected:
  void SetUp() override {
    t = test::makeTable(path, {{"NAME", 'C', 6}});
    ASSERT_TRUE(t);
    t->attachIndex(std::make_unique<FakeIndex>(dir.file("w.cdx"), &calls));
    name = t->schema().find("NAME");
  }

  test::TempDir dir;
  std::string path = dir.file("w.dbf");
  std::vector<Call> calls;  // outlives the table, whose index writes into it
  std::unique_ptr<Table> t;
  const FieldDef* name = nullptr;
};

// Append, change, delete and recall each ask the index, then tell it, with
// the record's bytes before (none for an append) and after.
TEST_F(TableWritePath, EveryChangeGoesThroughTheIndexHooksWhichMayRefuseIt) {
  ASSERT_TRUE(test::appendRow(*t, {"one"}));
  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->assignText(*name, "two"));
  ASSERT_TRUE(t->flush());
  ASSERT_TRUE(t->setDeleted(true));
  ASSERT_TRUE(t->flush());
  ASSERT_TRUE(t->setDeleted(false));
  ASSERT_TRUE(t->flush());
  const std::vector<std::pair<std::string, std::string>> changes = {
      {"", " one   "}, {" one   ", " two   "}, {" two   ", "*two   "}, {"*two   ", " two   "}};
  ASSERT_EQ(calls.size(), 2 * changes.size());
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].what, i % 2 ? "apply" : "check") << i;
    EXPECT_EQ(calls[i].recno, 1u) << i;
    EXPECT_EQ(calls[i].oldRecord, changes[i / 2].first) << i;
    EXPECT_EQ(calls[i].newRecord, changes[i / 2].second) << i;
  }
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
        const FieldDef* name = t->schema().find("NAME");
        const FieldDef* notes = t->schema().find("NOTES");
        allDone = t->appendStart() && t->assignText(*name, "a") && t->assignMemo(*notes, "memo a") && t->append() &&
                  t->appendStart() && t->assignText(*name, "b") && t->append() && t->go(1) &&
                  t->assignMemo(*notes, "memo changed") && t->flush() && t->go(2) && t->setDeleted(true) &&
                  t->flush() && t->pack();
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

} // namespace
} // namespace pu::table
