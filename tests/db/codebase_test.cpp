// The table library calls and the system's wrappers around them.
#include <gtest/gtest.h>

#include "db/codebase_wrappers.h"
#include "db/course_tables.h"
#include "db/message_hook.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/other_program.h"
#include "tests/support/temp_dir.h"

namespace pu {
namespace {

class CodeBase : public ::testing::Test {
protected:
  void SetUp() override {
    InitCodeBase();
    setLibraryHooks({showMessage, endProgram, processPendingEvents, {}});
    ASSERT_TRUE(test::makeTable(path, {{"NAME", 'C', 10}, {"QTY", 'N', 5}, {"ID", 'I'}, {"NOTES", 'M'}}));
  }
  void TearDown() override {
    setLibraryHooks({});
    setMessageHook({});
    setEndHook({});
    setEventHook({});
    for (std::int32_t& t : opened) CloseDbf(t);
  }
  std::int32_t openTable(const std::string& p) {
    std::int32_t t = OpenDbf(fromUtf8(p), 0);
    opened.push_back(t);
    return t;
  }
  void addRow(std::int32_t t, const char* name, int qty) {
    AppendBlank(t);
    AssignFieldStr(d4field(t, "NAME"), fromUtf8(name));
    AssignFieldInt(d4field(t, "QTY"), static_cast<std::int16_t>(qty));
    ASSERT_EQ(d4append(t), 0);
  }

  test::TempDir dir;
  std::string path = dir.file("items.dbf");
  std::vector<std::int32_t> opened;
};

// Field reads keep trailing blanks; every assignment and delete is in the
// file at once. A missing tag is an error only when asked for. A library
// text comes back with at most 255 characters.
TEST_F(CodeBase, FieldsDeletesMissingTagsAndTextsThroughHandles) {
  std::int32_t t = openTable(path);
  addRow(t, "abc", 1);
  EXPECT_EQ(FieldStr(d4field(t, "name")), fromUtf8("abc       "));
  std::int32_t notes = d4field(t, "NOTES");
  EXPECT_EQ(MemoFieldStr(notes), Text());
  EXPECT_EQ(f4memoAssign(notes, "a longer note"), 0);
  EXPECT_EQ(MemoFieldStr(notes), fromUtf8("a longer note"));
  AssignFieldStr(d4field(t, "NAME"), fromUtf8("changed"));
  EXPECT_EQ(f4assignLong(d4field(t, "ID"), -77), 0);
  EXPECT_EQ(f4long(d4field(t, "ID")), -77);
  EXPECT_EQ(f4int(d4field(t, "QTY")), 1);
  EXPECT_EQ(test::dbfreadDump(path), "1\t0\tNAME=changed\tQTY=1\tID=-77\tNOTES=a longer note\n");
  d4delete(t);
  EXPECT_NE(d4deleted(t), 0);
  EXPECT_EQ(test::dbfreadDump(path), "1\t1\tNAME=changed\tQTY=1\tID=-77\tNOTES=a longer note\n");
  addRow(t, "b", 2);
  EmptyDbf(t);
  EXPECT_EQ(d4recCountDo(t), 0);
  EXPECT_EQ(test::dbfreadDump(path), "");

  (void)code4errorCode(CodeBaseHandle, 0);
  EXPECT_EQ(d4tag(t, "NOPE"), 0);
  EXPECT_EQ(code4errorCode(CodeBaseHandle, 0), 0);
  EXPECT_EQ(code4errTagName(CodeBaseHandle, 1), 0);  // the setting InitCodeBase made comes back
  EXPECT_EQ(code4errOff(CodeBaseHandle, 1), 0);
  EXPECT_EQ(d4tag(t, "NOPE"), 0);
  EXPECT_EQ(code4errorCode(CodeBaseHandle, 0), kResultNoTag);
  EXPECT_EQ(code4errTagName(CodeBaseHandle, 0), 1);
  EXPECT_EQ(code4errOff(CodeBaseHandle, 0), 1);

  const std::string longText(300, 'x');
  EXPECT_EQ(CPtrToStr(longText.c_str()), fromAnsi(longText.substr(0, 255)));
  EXPECT_EQ(CPtrToStr(nullptr), Text());
}

// A table that cannot be opened is reported with the reason, with the
// critical icon and no title, and ends the program.
TEST_F(CodeBase, TableThatCannotBeOpenedIsReportedAndEndsTheProgram) {
  struct ReadOnlyMedia : test::ForwardingFileSystem {
    Status openFile(std::string_view p, bool writable, std::unique_ptr<File>* file) override {
      if (writable) return Status::ioError("cannot open '" + std::string(p) + "': Read-only file system");
      return m_real.openFile(p, writable, file);
    }
  };
  auto exclusiveElsewhere = [&] {
    return std::make_unique<test::OtherProgram>([&] {
      std::unique_ptr<File> f;
      return FileSystem::instance().openFile(path, true, &f) && f->share(File::Share::Exclusive) && (f.release(), true);
    });
  };
  const std::string missing = dir.file("missing.dbf");
  for (const auto& [table, reason] : {std::pair{missing, "cannot open '" + missing + "': No such file or directory"},
                                      {path, "cannot open '" + path + "': Read-only file system"},
                                      {path, "table '" + path + "' is in exclusive use by another program"}}) {
    std::unique_ptr<ReadOnlyMedia> readOnly;
    std::unique_ptr<test::OtherProgram> other;
    if (reason.find("Read-only") != std::string::npos) readOnly = std::make_unique<ReadOnlyMedia>();
    if (reason.find("exclusive") != std::string::npos) { ASSERT_TRUE((other = exclusiveElsewhere())->ready()); }
    Text shown;
    std::int32_t options = -1;
    bool titled = true;
    int ended = 0;
    setMessageHook([&](const Text& m, std::int32_t o, const std::optional<Text>& title) {
      shown = m;
      options = o;
      titled = title.has_value();
      return 1;
    });
    setEndHook([&] { ++ended; });
    EXPECT_EQ(OpenDbf(fromUtf8(table), 0), 0);
    EXPECT_EQ(shown, fromUtf8("Table: " + table + " could not be opened.\r\n\r\n" + reason));
    EXPECT_EQ(options, 16);
    EXPECT_FALSE(titled);
    EXPECT_EQ(ended, 1);
  }
  EXPECT_NE(openTable(path), 0);  // the other program is gone
}

TEST_F(CodeBase, AFailedDeleteIsNotLeftPendingForTheNextMove) {
  auto failing = std::make_shared<bool>(false);  // the table outlives this test's body
  test::ForwardingFileSystem fs;
  fs.refuse->in = [](std::string_view) { return true; };
  fs.refuse->write = [failing](std::string_view) { return *failing; };
  std::int32_t t = openTable(path);
  addRow(t, "a", 1);
  addRow(t, "b", 2);
  ASSERT_EQ(d4go(t, 1), 0);
  *failing = true;
  TableRec rec;
  rec.table = t;
  EXPECT_FALSE(DeleteRecord(rec));
  EXPECT_EQ(d4deleted(t), 0);
  *failing = false;
  ASSERT_EQ(d4go(t, 2), 0);
  EXPECT_EQ(test::dbfreadDump(path), "1\t0\tNAME=a\tQTY=1\tID=0\tNOTES=None\n2\t0\tNAME=b\tQTY=2\tID=0\tNOTES=None\n");
  EXPECT_TRUE(DeleteRecord(rec));
}

// At record 0 LockRecord locks nothing. While another open holds the
// record, it waits with window events running; after a long wait it asks
// the user to retry or to give up. A lock another process holds gives 50.
TEST_F(CodeBase, LockRecordWaitsLettingEventsRunAndAsksAfterALongWait) {
  std::int32_t a = openTable(path);
  addRow(a, "a", 1);
  std::int32_t b = openTable(path);
  ASSERT_EQ(d4recNo(b), 0);
  LastResult = 1234;
  EXPECT_NE(LockRecord(b), kResultSuccess);
  EXPECT_EQ(LastResult, 1234);
  EXPECT_EQ(d4lock(a, 1), kResultSuccess);  // nothing was locked
  ASSERT_EQ(d4unlock(a), 0);
  ASSERT_EQ(d4go(b, 1), 0);
  ASSERT_EQ(d4lock(b, 1), kResultSuccess);
  addRow(a, "b", 2);
  // The events move the table (a click in a tree seeks it): the record
  // locked, and current afterwards, is still the one asked for.
  int events = 0;
  setEventHook([&] {
    (void)d4go(a, 2);
    if (++events == 3) d4unlock(b);
  });
  ASSERT_EQ(d4go(a, 1), 0);
  EXPECT_EQ(LockRecord(a), kResultSuccess);
  EXPECT_EQ(events, 3);
  EXPECT_EQ(d4recNo(a), 1);
  EXPECT_EQ(d4lock(b, 1), kResultLocked);
  ASSERT_EQ(d4go(b, 2), kResultSuccess);
  EXPECT_EQ(d4lock(b, 2), kResultSuccess);
  ASSERT_EQ(d4unlock(b), 0);

  test::ForwardingFileSystem noWaiting;
  noWaiting.onSleep = [](int) {};
  ASSERT_EQ(d4unlock(a), 0);
  ASSERT_EQ(d4lock(b, 1), kResultSuccess);
  std::vector<Text> asked;
  std::int32_t askedOptions = 0;
  setMessageHook([&](const Text& m, std::int32_t o, const std::optional<Text>&) {
    asked.push_back(m);
    askedOptions = o;
    return asked.size() == 1 ? 4 : 2;  // Retry, then Cancel
  });
  events = 0;
  setEventHook([&] { ++events; });
  ASSERT_EQ(d4go(a, 1), 0);
  EXPECT_EQ(LockRecord(a), kResultLocked);
  EXPECT_EQ(LastResult, kResultLocked);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], fromUtf8("Record 1 of \"" + path +
                               "\" is being changed by another user.\r\n\r\nRetry to wait for it, or Cancel to leave it unchanged."));
  EXPECT_EQ(askedOptions, 5 + 48);
  EXPECT_EQ(events, 2 * kLockWaitAttempts - 1);
  ASSERT_EQ(d4unlock(b), 0);
  EXPECT_EQ(LockRecord(a), kResultSuccess);
  test::OtherProgram other([&] {
    std::int32_t mine = d4open(CodeBaseHandle, path.c_str());
    return mine != 0 && d4lock(mine, 2) == 0;
  });
  ASSERT_TRUE(other.ready());
  EXPECT_EQ(d4lock(b, 2), kResultLocked);
  other.release();
  EXPECT_EQ(d4lock(b, 2), kResultSuccess);
}

} // namespace
} // namespace pu
