// The table library calls and the system's wrappers around them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "db/codebase.h"
#include "db/codebase_wrappers.h"
#include "db/course_tables.h"
#include "db/message_hook.h"
#include "db/result_code.h"
#include "platform/fs/file_system.h"
#include "platform/table/table.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/other_program.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_dir.h"

namespace pu {
namespace {

using table::FieldSpec;
using table::Table;
using table::TableFormat;

class CodeBase : public ::testing::Test {
protected:
  void SetUp() override {
    InitCodeBase();
    setLibraryHooks({showMessage, endProgram, processPendingEvents, {}});
    path = dir.file("items.dbf");
    ASSERT_TRUE(Table::create(path, {{"NAME", 'C', 10}, {"QTY", 'N', 5}, {"ID", 'I'}, {"NOTES", 'M'}}, TableFormat::VisualFoxPro));
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
  std::string path;
  std::vector<std::int32_t> opened;
};

TEST_F(CodeBase, FieldStrKeepsTrailingBlanks) {
  std::int32_t t = openTable(path);
  addRow(t, "abc", 1);
  EXPECT_EQ(FieldStr(d4field(t, "name")), fromUtf8("abc       "));
}

TEST_F(CodeBase, EmptyMemoGivesEmptyTextAndAssignedMemoReadsBack) {
  std::int32_t t = openTable(path);
  addRow(t, "abc", 1);
  std::int32_t notes = d4field(t, "NOTES");
  EXPECT_EQ(MemoFieldStr(notes), Text());
  EXPECT_EQ(f4memoAssign(notes, "a longer note"), 0);
  EXPECT_EQ(MemoFieldStr(notes), fromUtf8("a longer note"));
  EXPECT_EQ(test::dbfreadDump(path), "1\t0\tNAME=abc\tQTY=1\tID=0\tNOTES=a longer note\n");
}

TEST_F(CodeBase, AssignmentsAreOnDiskAtOnce) {
  std::int32_t t = openTable(path);
  addRow(t, "abc", 1);
  AssignFieldStr(d4field(t, "NAME"), fromUtf8("changed"));
  EXPECT_EQ(f4assignLong(d4field(t, "ID"), -77), 0);
  EXPECT_EQ(f4long(d4field(t, "ID")), -77);
  EXPECT_EQ(f4int(d4field(t, "QTY")), 1);
  EXPECT_EQ(test::dbfreadDump(path), "1\t0\tNAME=changed\tQTY=1\tID=-77\tNOTES=None\n");
}

TEST_F(CodeBase, LockRecordAtRecordZeroDoesNothing) {
  std::int32_t writer = openTable(path);
  addRow(writer, "a", 1);
  std::int32_t t = openTable(path);
  ASSERT_EQ(d4recNo(t), 0);
  LastResult = 1234;
  EXPECT_NE(LockRecord(t), kResultSuccess);
  EXPECT_EQ(LastResult, 1234);
  EXPECT_EQ(d4lock(writer, 1), kResultSuccess);  // nothing was locked
}

// The table registry keys on the name: a cut name would never match again.
TEST_F(CodeBase, DbfFileNameComesBackWhole) {
  std::string folder = dir.path();
  while (folder.size() < 300) {
    folder += "/" + std::string(60, 'd');
    std::filesystem::create_directory(folder);
  }
  std::string longPath = folder + "/long.dbf";
  ASSERT_TRUE(Table::create(longPath, {{"NAME", 'C', 4}}, TableFormat::VisualFoxPro));
  std::int32_t t = openTable(longPath);
  ASSERT_NE(t, 0);
  EXPECT_EQ(DbfFileName(t), fromUtf8(longPath));
  EXPECT_EQ(CPtrToStr(longPath.c_str()), fromUtf8(longPath.substr(0, 255)));
  EXPECT_EQ(CPtrToStr(nullptr), Text());
}

// Folder names the ANSI code page cannot hold reach the file system as they are.
TEST_F(CodeBase, PathsOutsideTheCodePageOpenTheirTables) {
  std::string folder = dir.file("Kurs \xd0\x9c\xd0\xb8\xd1\x80 \xe8\xaf\xbe\xe7\xa8\x8b");
  std::filesystem::create_directory(folder);
  std::string p = folder + "/items.dbf";
  ASSERT_TRUE(Table::create(p, {{"NAME", 'C', 10}}, TableFormat::VisualFoxPro));
  std::int32_t t = openTable(p);
  ASSERT_NE(t, 0);
  EXPECT_EQ(DbfFileName(t), fromUtf8(p));
  addRow(t, "written", 0);
  EXPECT_EQ(test::dbfreadDump(p), "1\t0\tNAME=written\n");
}

// OpenDbf's message for a table it cannot open, and whether the program ended.
struct OpenFailure {
  Text shown;
  int ended = 0;
};
OpenFailure openFailing(const std::string& p) {
  OpenFailure f;
  setMessageHook([&](const Text& m, std::int32_t, const std::optional<Text>&) {
    f.shown = m;
    return 1;
  });
  setEndHook([&] { ++f.ended; });
  EXPECT_EQ(OpenDbf(fromUtf8(p), 0), 0);
  setMessageHook({});
  setEndHook({});
  return f;
}

TEST_F(CodeBase, TableThatCannotBeOpenedForChangesIsNotOpenedForReading) {
  struct ReadOnlyMedia : test::ForwardingFileSystem {
    Status openFile(std::string_view p, bool writable, std::unique_ptr<File>* file) override {
      if (writable) return Status::ioError("cannot open '" + std::string(p) + "': Read-only file system");
      return m_real.openFile(p, writable, file);
    }
  } readOnly;
  OpenFailure f = openFailing(path);
  EXPECT_EQ(f.ended, 1);
  EXPECT_EQ(f.shown, fromUtf8("Table: " + path + " could not be opened.\r\n\r\ncannot open '" + path +
                              "': Read-only file system"));
}

TEST_F(CodeBase, TableInExclusiveUseByAnotherProgramIsNotOpened) {
  {
    test::OtherProgram other([&] {
      std::unique_ptr<File> f;
      return FileSystem::instance().openFile(path, true, &f) && f->share(File::Share::Exclusive) && (f.release(), true);
    });
    ASSERT_TRUE(other.ready());
    OpenFailure f = openFailing(path);
    EXPECT_EQ(f.ended, 1);
    EXPECT_EQ(f.shown, fromUtf8("Table: " + path + " could not be opened.\r\n\r\ntable '" + path +
                                "' is in exclusive use by another program"));
  }
  EXPECT_NE(openTable(path), 0);
}

TEST_F(CodeBase, LogicalFieldTakesANumberAsTrueOrFalse) {
  std::string flags = dir.file("flags.dbf");
  ASSERT_TRUE(Table::create(flags, {{"DONE", 'L'}}, TableFormat::VisualFoxPro));
  std::int32_t t = openTable(flags);
  AppendBlank(t);
  ASSERT_EQ(d4append(t), 0);
  EXPECT_EQ(AssignFieldInt(d4field(t, "DONE"), -1), kResultSuccess);
  EXPECT_EQ(test::dbfreadDump(flags), "1\t0\tDONE=True\n");
  EXPECT_EQ(f4assignLong(d4field(t, "DONE"), 0), kResultSuccess);
  EXPECT_EQ(test::dbfreadDump(flags), "1\t0\tDONE=False\n");
}

TEST_F(CodeBase, TableThatCannotBeOpenedIsReportedAndEndsTheProgram) {
  Text shown;
  std::int32_t shownOptions = -1;
  bool hadTitle = true;
  int ended = 0;
  setMessageHook([&](const Text& m, std::int32_t o, const std::optional<Text>& title) {
    shown = m;
    shownOptions = o;
    hadTitle = title.has_value();
    return 1;
  });
  setEndHook([&] { ++ended; });
  std::string missing = dir.file("missing.dbf");
  EXPECT_EQ(OpenDbf(fromUtf8(missing), 0), 0);
  EXPECT_EQ(shown, fromUtf8("Table: " + missing + " could not be opened.\r\n\r\ncannot open '" + missing +
                            "': No such file or directory"));
  EXPECT_EQ(shownOptions, 16);
  EXPECT_FALSE(hadTitle);
  EXPECT_EQ(ended, 1);
}

TEST_F(CodeBase, MissingTableHookRunsBeforeTheOpen) {
  std::string missing = dir.file("made.dbf");
  setLibraryHooks({.createMissingTable = [&](const Text& p, std::int16_t) {
    (void)Table::create(toUtf8(p), {{"NAME", 'C', 4}}, TableFormat::VisualFoxPro);
  }});
  std::int32_t t = openTable(missing);
  EXPECT_NE(t, 0);
}

TEST_F(CodeBase, SeekWithoutIndexIsFalseWithCodeInLastResult) {
  std::int32_t t = openTable(path);
  addRow(t, "abc", 1);
  EXPECT_EQ(d4tag(t, "NAME"), 0);
  EXPECT_FALSE(SeekTag(t, 0, fromUtf8("abc")));
  EXPECT_NE(LastResult, 0);
}

TEST_F(CodeBase, MissingTagIsAnErrorOnlyWhenAskedFor) {
  std::int32_t t = openTable(path);
  (void)code4errorCode(CodeBaseHandle, 0);
  EXPECT_EQ(d4tag(t, "NOPE"), 0);
  EXPECT_EQ(code4errorCode(CodeBaseHandle, 0), 0);  // InitCodeBase switched it off
  (void)code4errTagName(CodeBaseHandle, 1);
  (void)code4errOff(CodeBaseHandle, 1);
  EXPECT_EQ(d4tag(t, "NOPE"), 0);
  EXPECT_EQ(code4errorCode(CodeBaseHandle, 0), kResultNoTag);
  (void)code4errTagName(CodeBaseHandle, 0);
  (void)code4errOff(CodeBaseHandle, 0);
}

TEST_F(CodeBase, TopSkipAndGoResults) {
  std::int32_t t = openTable(path);
  addRow(t, "a", 1);
  addRow(t, "b", 2);
  EXPECT_EQ(d4top(t), kResultSuccess);
  EXPECT_EQ(d4recNo(t), 1);
  EXPECT_EQ(d4skip(t, 1), kResultSuccess);
  EXPECT_EQ(d4skip(t, 1), kResultEof);
  EXPECT_EQ(d4recNo(t), 3);
  EXPECT_EQ(d4skip(t, -1), kResultSuccess);
  EXPECT_EQ(FieldStr(d4field(t, "NAME")), fromUtf8("b         "));
  EXPECT_EQ(d4skip(t, -5), kResultBof);
  EXPECT_EQ(d4recNo(t), 1);
  EXPECT_NE(d4go(t, 9), kResultSuccess);
  EXPECT_EQ(d4go(t, 2), kResultSuccess);
  EXPECT_EQ(d4recCountDo(t), 2);
  EXPECT_EQ(d4field(t, "NOPE"), 0);
}

TEST_F(CodeBase, EmptyDbfRemovesEveryRecord) {
  std::int32_t t = openTable(path);
  addRow(t, "a", 1);
  addRow(t, "b", 2);
  addRow(t, "c", 3);
  EmptyDbf(t);
  EXPECT_EQ(d4recCountDo(t), 0);
  EXPECT_EQ(test::dbfreadDump(path), "");
}

TEST_F(CodeBase, DeleteMarksTheRecord) {
  std::int32_t t = openTable(path);
  addRow(t, "a", 1);
  EXPECT_EQ(d4deleted(t), 0);
  d4delete(t);
  EXPECT_NE(d4deleted(t), 0);
  EXPECT_EQ(test::dbfreadDump(path), "1\t1\tNAME=a\tQTY=1\tID=0\tNOTES=None\n");
}

// Writes fail while `failing` is set.
class FailingWrites : public test::ForwardingFileSystem {
public:
  bool failing = false;
  Status openFile(std::string_view p, bool w, std::unique_ptr<File>* f) override {
    Status s = m_real.openFile(p, w, f);
    if (s) *f = std::make_unique<RefusingFile>(std::move(*f), &failing);
    return s;
  }

private:
  class RefusingFile : public test::ForwardingFile {
  public:
    RefusingFile(std::unique_ptr<File> f, bool* failing) : ForwardingFile(std::move(f)), m_failing(failing) {}
    Status writeAt(std::uint64_t o, const void* d, std::size_t n) override {
      return *m_failing ? Status::ioError("write refused") : m_inner->writeAt(o, d, n);
    }

  private:
    bool* m_failing;
  };
};

TEST_F(CodeBase, AFailedDeleteIsNotLeftPendingForTheNextMove) {
  FailingWrites fs;
  std::int32_t t = openTable(path);
  addRow(t, "a", 1);
  addRow(t, "b", 2);
  ASSERT_EQ(d4go(t, 1), 0);
  fs.failing = true;
  TableRec rec;
  rec.table = t;
  EXPECT_FALSE(DeleteRecord(rec));
  EXPECT_EQ(d4deleted(t), 0);
  fs.failing = false;
  ASSERT_EQ(d4go(t, 2), 0);
  EXPECT_EQ(test::dbfreadDump(path), "1\t0\tNAME=a\tQTY=1\tID=0\tNOTES=None\n2\t0\tNAME=b\tQTY=2\tID=0\tNOTES=None\n");
  EXPECT_TRUE(DeleteRecord(rec));
}

TEST_F(CodeBase, CloseDbfClearsTheHandle) {
  std::int32_t t = OpenDbf(fromUtf8(path), 0);
  ASSERT_NE(t, 0);
  CloseDbf(t);
  EXPECT_EQ(t, 0);
}

TEST_F(CodeBase, LockRecordWaitsLettingEventsRunUntilTheLockIsFree) {
  std::int32_t a = openTable(path);
  addRow(a, "a", 1);
  std::int32_t b = openTable(path);
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
}

// The wait is bounded: the user is asked to retry or to give up.
TEST_F(CodeBase, LockRecordAsksAfterALongWaitAndCanGiveUp) {
  struct NoWaiting : test::ForwardingFileSystem {
    void sleepMilliseconds(int) override {}
  } noWaiting;
  std::int32_t a = openTable(path);
  addRow(a, "a", 1);
  std::int32_t b = openTable(path);
  ASSERT_EQ(d4go(b, 1), 0);
  ASSERT_EQ(d4lock(b, 1), kResultSuccess);
  std::vector<std::int32_t> answers = {4, 2};  // Retry, then Cancel
  std::vector<Text> asked;
  std::int32_t askedOptions = 0;
  setMessageHook([&](const Text& m, std::int32_t o, const std::optional<Text>&) {
    asked.push_back(m);
    askedOptions = o;
    std::int32_t answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  });
  int events = 0;
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
}

TEST_F(CodeBase, LockHeldByAnotherProcessGives50ThenZero) {
  std::int32_t t = openTable(path);
  addRow(t, "a", 1);
  addRow(t, "b", 2);
  int toParent[2], toChild[2];
  ASSERT_EQ(::pipe(toParent), 0);
  ASSERT_EQ(::pipe(toChild), 0);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::int32_t mine = d4open(CodeBaseHandle, path.c_str());
    char c = mine != 0 && d4lock(mine, 2) == 0 ? 'L' : 'E';
    (void)!::write(toParent[1], &c, 1);
    (void)!::read(toChild[0], &c, 1);
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(toParent[0], &c, 1), 1);
  ASSERT_EQ(c, 'L');
  EXPECT_EQ(d4lock(t, 2), kResultLocked);
  ASSERT_EQ(::write(toChild[1], &c, 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_EQ(d4lock(t, 2), kResultSuccess);
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) ::close(fd);
}

TEST_F(CodeBase, CopyHelpers) {
  char buf[4];
  EXPECT_EQ(u4ncpy(buf, "abcdef", sizeof buf), 3);
  EXPECT_STREQ(buf, "abc");
  u4memCpy(buf, "12", 2);
  EXPECT_EQ(std::string(buf, 3), "12c");
}

TEST_F(CodeBase, ContextSettingsReturnPreviousValues) {
  std::int32_t ctx = d4init_v();
  EXPECT_EQ(code4errOff(ctx, 1), 0);
  EXPECT_EQ(code4errOff(ctx, 0), 1);
  EXPECT_EQ(code4errorCode(ctx, 0), 0);
  EXPECT_EQ(d4open(ctx, dir.file("nothing.dbf").c_str()), 0);
  EXPECT_NE(code4errorCode(ctx, 0), 0);
  EXPECT_EQ(code4errorCode(ctx, 0), 0);
}

} // namespace
} // namespace pu
