#include "util/ini_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace pu {
namespace {

// Each test starts as a program that has not called SetIniFile yet, whatever
// ran before it (tests run in any order, --gtest_shuffle included).
class IniFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    IniReady = false;
    IniSection.clear();
    IniFileName.clear();
  }
  test::TempDir dir;
  Text file = fromUtf8(dir.file("classification.ini"));
};

TEST_F(IniFileTest, MissingKeyGivesTheDefaultAndEmptyValueGivesEmpty) {
  EXPECT_EQ(GetIniString(u"k", u"dflt"), u"");  // before SetIniFile: empty, and writes fail
  EXPECT_EQ(WriteIniString(u"k", u"v"), 0);
  test::writeWholeFile(dir.file("classification.ini"), "[Tree 3]\nLevel1=\nLevel2=1.\n");
  SetIniFile(u"  Tree 3 ", u" " + file + u"  ");
  EXPECT_EQ(IniSection, u"Tree 3");
  EXPECT_EQ(IniFileName, file);
  EXPECT_EQ(GetIniString(u"Level3", u"0"), u"0");
  EXPECT_EQ(GetIniString(u"Level1", u"0"), u"");
  EXPECT_EQ(GetIniString(u"Level2", u"0"), u"1.");
  EXPECT_EQ(GetIniString(u" Level2", u"0"), u"1.");
}

// The file set last is the one read.
TEST_F(IniFileTest, ValueOf255CharactersComesBackCutTo254) {
  test::writeWholeFile(dir.file("classification.ini"), "[s]\nk=" + std::string(255, 'x') + "\n");
  test::writeWholeFile(dir.file("a.ini"), "[s]\nk=from a\n");
  SetIniFile(u"s", fromUtf8(dir.file("a.ini")));
  SetIniFile(u"s", file);
  EXPECT_EQ(GetIniString(u"k", u""), Text(254, u'x'));
}

TEST_F(IniFileTest, WrittenValuesReadBackThroughTheCodePage) {
  SetIniFile(u"Strings", file);
  ASSERT_NE(WriteIniString(u"Caption", u"Niveau \u00E9 \u20AC"), 0);
  EXPECT_EQ(GetIniString(u"caption", u"?"), u"Niveau \u00E9 \u20AC");
  EXPECT_EQ(test::readWholeFile(dir.file("classification.ini")), "[Strings]\r\nCaption=Niveau \xE9 \x80\r\n");
}

} // namespace
} // namespace pu
