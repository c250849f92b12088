// An append while another program holds the table's append lock waits with window events running, then asks
// as a record lock does: Retry waits on, Cancel stores nothing. python dbfread reads what the file holds.
#include <gtest/gtest.h>

#include <vector>

#include "db/codebase_wrappers.h"
#include "db/message_hook.h"
#include "platform/table/lock_offsets.h"
#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_dir.h"

namespace pu {
namespace {

class AppendRefused : public ::testing::Test {
protected:
  // The other program's open is in the middle of its own append: it holds the append lock of a table without tags.
  void SetUp() override {
    ASSERT_TRUE(table::Table::create(path, {{"NAME", 'C', 8}}, table::TableFormat::VisualFoxPro));
    noWaiting.onSleep = [](int) {};
    InitCodeBase();
    setLibraryHooks({showMessage, endProgram, processPendingEvents, {}});
    handle = OpenDbf(fromUtf8(path), 0);
    ASSERT_TRUE(FileSystem::instance().openFile(path, true, &other));
    ASSERT_TRUE(other->lock(table::kUnindexedLockBase, 1, true));
    setEventHook([this] { ++events; });
  }
  void TearDown() override {
    setMessageHook({});
    setEventHook({});
    setLibraryHooks({});
    CloseDbf(handle);
  }
  // Answers the questions in turn; the other program finishes its append while the last Retry is asked.
  std::int16_t append(const char* name, std::vector<std::int32_t> answers) {
    setMessageHook([this, answers](const Text& m, std::int32_t o, const std::optional<Text>& t) {
      asked.push_back(m);
      EXPECT_EQ(o, 5 + 48);
      EXPECT_EQ(t, Text(u"Table in Use"));
      std::int32_t answer = answers.at(asked.size() - 1);
      EXPECT_TRUE(answer != 4 || asked.size() < answers.size() || other->unlock(table::kUnindexedLockBase, 1));
      return answer;
    });
    AppendBlank(handle);
    EXPECT_EQ(AssignFieldStr(d4field(handle, "NAME"), fromUtf8(name)), 0);
    return AppendRecord(handle);
  }

  test::ForwardingFileSystem noWaiting;  // its pauses (set in SetUp) cost nothing here
  test::TempDir dir;
  const std::string path = dir.file("items.dbf");
  std::int32_t handle = 0;
  std::unique_ptr<File> other;
  std::vector<Text> asked;
  int events = 0;
};

TEST_F(AppendRefused, CancelStoresNothingAndRetryWaitsUntilTheOtherProgramHasAppended) {
  EXPECT_EQ(append("refused", {4, 2}), kResultLocked);  // Retry, then Cancel
  EXPECT_EQ(LastResult, kResultLocked);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], fromUtf8("A record is being added to \"" + path +
                               "\" by another user.\r\n\r\nRetry to wait for it, or Cancel to leave your new record unsaved."));
  EXPECT_EQ(events, 2 * kLockWaitAttempts - 1);
  EXPECT_EQ(test::dbfreadDump(path), "");
  // The next record starts afresh (the refused one is never stored) and waits on through Retry.
  asked.clear();
  events = 0;
  EXPECT_EQ(append("waited", {4}), kResultSuccess);
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(events, kLockWaitAttempts);
  EXPECT_EQ(test::dbfreadDump(path), "1\t0\tNAME=waited\n");
}

} // namespace
} // namespace pu
