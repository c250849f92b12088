#include <filesystem>
#include <gtest/gtest.h>

#include "app/prefix_main.h"
#include "app/table_backup.h"
#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_dir.h"
#include "util/general.h"
#include "util/path_globals.h"

namespace pu {
namespace {

namespace fs = std::filesystem;

class BackupTest : public ::testing::Test {
protected:
  void SetUp() override {
    test::writeWholeFile(m_dir.file("standard.dbf"), std::string("dbf contents\0\x1a", 15));
    test::writeWholeFile(m_dir.file("standard.cdx"), "cdx contents");
    clearMsgBoxAnswers();
  }
  void TearDown() override { clearMsgBoxAnswers(); }

  Text folder() const { return fromUtf8(m_dir.path()); }

  test::TempDir m_dir;
};

// Each file takes its own first free number; a memo file goes with its
// table under one number free for both; a name in another case, or a
// folder, counts as taken; the folder and the tables are found in any
// letter case, and a table that is missing is skipped without a word.
TEST_F(BackupTest, EachCopyTakesTheFirstFreeNumber) {
  struct Case {
    std::vector<const char*> existing;
    std::vector<std::string> tables;
    std::vector<std::string> made;
    const char* backups = "Backups";
  };
  const Case cases[] = {
      {{}, {"standard.dbf", "standard.cdx"}, {"standard1.cdx", "standard1.dbf"}},
      {{"standard1.dbf", "standard2.dbf", "standard1.cdx"}, {"standard.dbf", "standard.cdx"}, {"standard2.cdx", "standard3.dbf"}},
      {{"standard1.dbf", "standard3.dbf"}, {"standard.dbf", "standard.cdx"}, {"standard1.cdx", "standard2.dbf"}},
      {{"standard1.dbf", "standard2.fpt"}, {"standard.dbf", "standard.cdx", "standard.fpt"}, {"standard1.cdx", "standard3.dbf", "standard3.fpt"}},
      {{"STANDARD1.DBF", "standard2.dbf/"}, {"standard.dbf", "standard.cdx"}, {"standard1.cdx", "standard3.dbf"}},
      {{}, {"STANDARD.DBF"}, {"standard1.dbf"}, "backups"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.made.back());
    test::TempDir dir;
    // Each table holds its extension, so a copy shows which file it came from.
    auto extension = [](const std::string& name) { return toUtf8(UpperAscii(fromUtf8(name.substr(name.size() - 3)))); };
    for (const std::string& table : c.tables) test::writeWholeFile(dir.file(table), extension(table));
    const std::string backups = dir.file(c.backups) + "/";
    fs::create_directories(backups);
    for (std::string name : c.existing) {
      if (name.ends_with("/"))
        fs::create_directories(backups + name);
      else
        test::writeWholeFile(backups + name, "old");
    }
    ASSERT_TRUE(PrepareDatabaseFolder(fromUtf8(dir.path())));
    EXPECT_FALSE(fs::exists(dir.file(c.backups == std::string("Backups") ? "backups" : "Backups")));
    for (const std::string& name : c.made) EXPECT_EQ(test::readWholeFile(backups + name), extension(name)) << name;
    for (std::string name : c.existing) {
      if (!name.ends_with("/")) {
        EXPECT_EQ(test::readWholeFile(backups + name), "old");
      }
    }
    EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(backups), fs::directory_iterator())),
              c.existing.size() + c.made.size());
  }
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
}

// No free number, a copy the file system refuses or cannot finish: an
// error, and nothing made, not even half a copy.
TEST_F(BackupTest, ACopyThatCannotBeMadeIsAnErrorLeavesNothingAndTheAnswerDecidesWhetherToGoOn) {
  fs::create_directories(m_dir.file("Backups"));
  DataPath = folder();
  for (int refusal = 0; refusal < 3; ++refusal) {
    test::ForwardingFileSystem fake;
    if (refusal == 0)
      fake.pretendExists = [](std::string_view path) { return path.find("Backups/standard") != std::string_view::npos; };
    else if (refusal == 1)
      fake.createFileFailure = [](std::string_view) { return Status::ioError("permission denied"); };
    else
      fake.failWrites = [](std::string_view path) { return path.find("Backups/") != std::string_view::npos; };
    Text made = u"unchanged";
    EXPECT_FALSE(BackupTableFile(folder() + u"\\standard.dbf", &made).isOk()) << refusal;
    EXPECT_EQ(made, u"unchanged");
    EXPECT_TRUE(fs::is_empty(m_dir.file("Backups")));
  }

  // A backup that could not be made is never silently followed by changes:
  // the question names the file; No (the default) and closing it stop before
  // anything else happens, Yes goes on without the backups.
  fs::remove(m_dir.file("Backups"));
  test::writeWholeFile(m_dir.file("Backups"), "not a folder");
  for (auto [answer, goesOn] : {std::pair{MsgResult::No, false}, {MsgResult::None, false}, {MsgResult::Yes, true}}) {
    clearMsgBoxAnswers();
    setMsgBoxNextAnswer(answer);
    setMsgBoxNextAnswer(answer);
    EXPECT_EQ(PrepareDatabaseFolder(folder()), goesOn) << answer;
    EXPECT_EQ(pendingMsgBoxAnswers(), goesOn ? 0u : 1u) << answer;  // asked once per table file
    EXPECT_NE(MsgText.find(goesOn ? u"standard.cdx" : u"standard.dbf"), Text::npos);
  }
  EXPECT_NE(MsgText.find(u"could not be made"), Text::npos);
  EXPECT_EQ(ButtonCaptions[0], u"&Yes");
  EXPECT_EQ(ButtonCaptions[1], u"&No");
  EXPECT_EQ(DefaultButton, 2);
  EXPECT_EQ(test::readWholeFile(m_dir.file("Backups")), "not a folder");
}

} // namespace
} // namespace pu
