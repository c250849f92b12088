// Start-up's index check on sample databases damaged as a killed write
// leaves them (a record written, its index change never made) and with
// their index files destroyed.
#include "app/startup_index_check.h"

#include <gtest/gtest.h>
#include <memory>

#include "db/course_index_check.h"
#include "msgbox/msg_box.h"
#include "msgbox/msg_box_state.h"
#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/support/other_program.h"
#include "tests/support/temp_dir.h"
#include "tools/sample/sample_database.h"

namespace pu {
namespace {

class StartupIndexCheck : public ::testing::Test {
protected:
  void SetUp() override {
    clearMsgBoxAnswers();
    MsgText.clear();
    ASSERT_TRUE(sample::makeSampleDatabase(m_folder, {}));
  }
  void TearDown() override { clearMsgBoxAnswers(); }

  std::string file(const std::string& name) const { return m_folder + "/" + name; }

  // The record is written and its index is not told, as when a write is
  // killed between the two.
  void changeOrderBehindTheIndex(std::uint32_t recno, int order) {
    std::unique_ptr<table::Table> t;
    ASSERT_TRUE(table::Table::open(file("standard.dbf"), true, &t));
    ASSERT_TRUE(t->go(recno));
    ASSERT_TRUE(t->assignInteger(*t->schema().find("Order"), order));
    ASSERT_TRUE(t->flush());
  }

  bool run() { return CheckCourseIndexesAtStartUp(fromUtf8(m_folder)); }

  test::TempDir m_dir;
  std::string m_folder = m_dir.file("course");
};

// No ends the program with nothing written; Yes while another program has
// the table open rebuilds nothing and says why; Yes then rebuilds and checks
// again; sound indexes then pass without a word, and a destroyed one is
// rebuilt and said so.
TEST_F(StartupIndexCheck, NoEndsTheProgramYesRebuildsUnlessAnotherProgramHasTheTableAndDestroyedIndexesAreRebuilt) {
  changeOrderBehindTheIndex(5, 777);
  const std::string dbf = test::readWholeFile(file("standard.dbf")), cdx = test::readWholeFile(file("standard.cdx"));
  setMsgBoxNextAnswer(MsgResult::No);
  EXPECT_FALSE(run());
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
  EXPECT_EQ(MsgTitle, u"Damaged Index");
  // One line: the index file, the tag and what is wrong.
  const std::string shown = toUtf8(MsgText);
  EXPECT_NE(shown.find("\r\nstandard.cdx: tag TREEPRNTID "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" record 5"), std::string::npos) << shown;
  EXPECT_EQ(ButtonCaptions[0], u"&Yes");
  EXPECT_EQ(ButtonCaptions[1], u"&No");
  EXPECT_EQ(test::readWholeFile(file("standard.dbf")), dbf);
  EXPECT_EQ(test::readWholeFile(file("standard.cdx")), cdx);

  test::OtherProgram other([&] {
    std::unique_ptr<table::Table> t;
    return table::Table::open(file("standard.dbf"), false, &t) && (t.release(), true);
  });
  ASSERT_TRUE(other.ready());
  setMsgBoxNextAnswer(MsgResult::Yes);
  setMsgBoxNextAnswer(MsgResult::Ok);
  EXPECT_FALSE(run());
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
  const std::string refused = toUtf8(MsgText);
  EXPECT_NE(refused.find("The index of standard.dbf could not be rebuilt"), std::string::npos) << refused;
  EXPECT_NE(refused.find("is open in another program"), std::string::npos) << refused;
  EXPECT_EQ(test::readWholeFile(file("standard.cdx")), cdx);
  other.release();

  setMsgBoxNextAnswer(MsgResult::Yes);
  EXPECT_TRUE(run());
  EXPECT_EQ(pendingMsgBoxAnswers(), 0u);
  EXPECT_FALSE(CheckProductionIndex(file("standard.dbf")).has_value());
  // Perl XBase::Index finds record 5 under its new key ("777" closes it), once.
  std::string listing = test::xbaseTagListing(file("standard.cdx"), "TREEPRNTID");
  std::size_t at = listing.find("373737\t5\n");
  ASSERT_NE(at, std::string::npos) << listing.substr(0, 400);
  EXPECT_EQ(listing.find("\t5\n", at + 9), std::string::npos);

  MsgText.clear();
  EXPECT_TRUE(run());
  EXPECT_TRUE(MsgText.empty());

  // A destroyed index is rebuilt from the program's own tag definitions.
  test::writeWholeFile(file("standard.cdx"), "");
  setMsgBoxNextAnswer(MsgResult::Yes);
  EXPECT_TRUE(run());
  const std::string destroyed = toUtf8(MsgText);
  EXPECT_NE(destroyed.find("\r\nstandard.cdx"), std::string::npos) << destroyed;
  EXPECT_NE(destroyed.find("rebuilt from this program's own tag definitions"), std::string::npos) << destroyed;
  EXPECT_FALSE(CheckProductionIndex(file("standard.dbf")));
  for (const char* tag : {"STANDARDID", "TREEPRNTID", "NODE_ID", "TREE_ID"}) {
    const std::string keys = test::xbaseTagListing(file("standard.cdx"), tag);
    EXPECT_EQ(keys.find("XBase::Index failed"), std::string::npos) << tag << ": " << keys.substr(0, 200);
    EXPECT_NE(keys.find("\t1\n"), std::string::npos) << tag;
  }
}

} // namespace
} // namespace pu
