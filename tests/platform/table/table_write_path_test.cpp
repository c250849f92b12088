// The single write path: index hooks in order, refusals writing nothing, and
// a write failing at any point leaving a table that opens.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
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
  // Records the packed records it was given and writes them as its file.
  Status writePacked(RecordSource& packed, const std::string& path) override {
    std::string all, rec;
    for (std::uint32_t r = 1; r <= packed.recordCount(); ++r) {
      if (Status s = packed.readRecord(r, &rec); !s) return s;
      all += rec;
    }
    m_calls->push_back({"writePacked", packed.recordCount(), {}, all});
    return replaceFileAtomically(path, all);
  }
  Status reopen() override {
    m_calls->push_back({"reopen", 0, {}, test::readWholeFile(m_path)});
    return Status::ok();
  }

private:
  std::string m_path;
  std::vector<Call>* m_calls;
};

class TableWritePath : public ::testing::Test {
protected:
  void SetUp() override {
    path = dir.file("w.dbf");
    ASSERT_TRUE(Table::create(path, {{"NAME", 'C', 6}}, TableFormat::VisualFoxPro));
    ASSERT_TRUE(Table::open(path, true, &t));
    t->attachIndex(std::make_unique<FakeIndex>(dir.file("w.cdx"), &calls));
    name = t->schema().find("NAME");
  }
  void add(const std::string& value) {
    ASSERT_TRUE(t->appendStart());
    ASSERT_TRUE(t->assignText(*name, value));
    ASSERT_TRUE(t->append());
  }

  test::TempDir dir;
  std::string path;
  std::vector<Call> calls;  // outlives the table, whose index writes into it
  std::unique_ptr<Table> t;
  const FieldDef* name = nullptr;
};

TEST_F(TableWritePath, AppendChecksThenAppliesWithEmptyOldRecord) {
  add("one");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].what, "check");
  EXPECT_EQ(calls[1].what, "apply");
  EXPECT_EQ(calls[1].recno, 1u);
  EXPECT_TRUE(calls[1].oldRecord.empty());
  EXPECT_EQ(calls[1].newRecord, " one   ");
}

TEST_F(TableWritePath, ChangeAndDeleteGoThroughTheSamePath) {
  add("one");
  calls.clear();
  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->assignText(*name, "two"));
  ASSERT_TRUE(t->flush());
  ASSERT_TRUE(t->setDeleted(true));
  ASSERT_TRUE(t->flush());
  ASSERT_TRUE(t->setDeleted(false));
  ASSERT_TRUE(t->flush());
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[5].newRecord, " two   ");  // recalled
  EXPECT_EQ(calls[1].oldRecord, " one   ");
  EXPECT_EQ(calls[1].newRecord, " two   ");
  EXPECT_EQ(calls[3].oldRecord, " two   ");
  EXPECT_EQ(calls[3].newRecord, "*two   ");
}

TEST_F(TableWritePath, RefusedChangeWritesNothing) {
  add("one");
  std::string before = test::readWholeFile(path);
  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->assignText(*name, "BAD"));
  EXPECT_EQ(t->flush().code(), Status::Code::Unsupported);
  EXPECT_EQ(test::readWholeFile(path), before);
  EXPECT_FALSE(t->appendStart());  // the refused change is still pending
  t->revert();
  EXPECT_EQ(t->value(*name).bytes, "one   ");
  ASSERT_TRUE(t->appendStart());
  ASSERT_TRUE(t->assignText(*name, "BAD"));
  EXPECT_FALSE(t->append());
  EXPECT_EQ(test::readWholeFile(path), before);
}

TEST_F(TableWritePath, FailedIndexUpdatePutsTheOldBytesBack) {
  add("one");
  std::string before = test::readWholeFile(path);
  ASSERT_TRUE(t->go(1));
  ASSERT_TRUE(t->assignText(*name, "FAIL"));
  EXPECT_EQ(t->flush().code(), Status::Code::IoError);
  EXPECT_EQ(test::readWholeFile(path), before);
}

TEST_F(TableWritePath, PackBuildsTheIndexFromTheNewFileThenPutsItInPlace) {
  add("one");
  add("two");
  add("three");
  ASSERT_TRUE(t->go(2));
  ASSERT_TRUE(t->setDeleted(true));
  ASSERT_TRUE(t->pack());
  ASSERT_GE(calls.size(), 2u);
  const Call& written = calls[calls.size() - 2];
  EXPECT_EQ(written.what, "writePacked");
  EXPECT_EQ(written.recno, 2u);  // the packed count
  EXPECT_EQ(written.newRecord, " one    three ");
  EXPECT_EQ(calls.back().what, "reopen");
  EXPECT_EQ(calls.back().newRecord, written.newRecord);  // renamed over the index before it was read
  EXPECT_FALSE(std::filesystem::exists(packedIndexPath(dir.file("w.cdx"))));
  EXPECT_FALSE(std::filesystem::exists(packedTablePath(path)));
}

// A file system whose files fail every write (and renames fail) after a
// budget runs out, like a process killed at that write.
class FailingFile : public test::ForwardingFile {
public:
  FailingFile(std::unique_ptr<File> f, int* budget) : ForwardingFile(std::move(f)), m_budget(budget) {}
  Status writeAt(std::uint64_t o, const void* d, std::size_t n) override {
    if ((*m_budget)-- <= 0) return Status::ioError("injected write failure");
    return m_inner->writeAt(o, d, n);
  }

private:
  int* m_budget;
};

class FailingFileSystem : public test::ForwardingFileSystem {
public:
  int budget = 0;
  Status openFile(std::string_view p, bool w, std::unique_ptr<File>* f) override { return wrap(m_real.openFile(p, w, f), f); }
  Status createFile(std::string_view p, std::unique_ptr<File>* f) override { return wrap(m_real.createFile(p, f), f); }
  Status rename(std::string_view a, std::string_view b) override {
    if (budget-- <= 0) return Status::ioError("injected rename failure");
    return m_real.rename(a, b);
  }

private:
  Status wrap(Status s, std::unique_ptr<File>* f) {
    if (s) *f = std::make_unique<FailingFile>(std::move(*f), &budget);
    return s;
  }
};

// Runs a change sequence with the Nth write failing, for every N, and checks
// that the table still opens and that dbfread reads it.
TEST(TableWriteFailure, EveryFailedWriteLeavesATableThatOpens) {
  bool finished = false;
  for (int n = 0; n < 60 && !finished; ++n) {
    test::TempDir dir;
    std::string path = dir.file("f.dbf");
    ASSERT_TRUE(Table::create(path, {{"NAME", 'C', 6}, {"NOTES", 'M'}}, TableFormat::VisualFoxPro));
    bool allDone = false;
    {
      FailingFileSystem failing;
      failing.budget = n;
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
    ASSERT_TRUE(s) << "failing write " << n << ": " << s.message();
    for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
      ASSERT_TRUE(t->go(r));
      std::string memo;
      EXPECT_TRUE(t->memoText(*t->schema().find("NOTES"), &memo)) << "failing write " << n;
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
