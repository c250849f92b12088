#include "util/numbering.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "util/ini_file.h"
#include "util/path_globals.h"

namespace pu {
namespace {

TEST(IniFileTest, ReadsTheFileSetLastAndWritesThroughTheCodePage) {
  // A program that has not called SetIniFile yet, whatever ran before (--gtest_shuffle included).
  IniReady = false;
  IniSection.clear();
  IniFileName.clear();
  test::TempDir dir;
  const Text file = fromUtf8(dir.file("classification.ini"));
  EXPECT_EQ(GetIniString(u"k", u"dflt"), u"");  // before SetIniFile: empty, and writes fail
  EXPECT_EQ(WriteIniString(u"k", u"v"), 0);
  test::writeWholeFile(dir.file("classification.ini"),
                       "[Tree 3]\nLevel1=\nLevel2=1.\nLong=" + std::string(255, 'x') + "\n");
  test::writeWholeFile(dir.file("a.ini"), "[Tree 3]\nLevel2=from a\n");
  SetIniFile(u"Tree 3", fromUtf8(dir.file("a.ini")));
  SetIniFile(u"  Tree 3 ", u" " + file + u"  ");
  EXPECT_EQ(IniSection, u"Tree 3");
  EXPECT_EQ(IniFileName, file);
  EXPECT_EQ(GetIniString(u"Level3", u"0"), u"0");
  EXPECT_EQ(GetIniString(u"Level1", u"0"), u"");
  EXPECT_EQ(GetIniString(u"Level2", u"0"), u"1.");
  EXPECT_EQ(GetIniString(u" Level2", u"0"), u"1.");
  EXPECT_EQ(GetIniString(u"Long", u""), Text(254, u'x'));  // 255 characters come back cut to 254

  SetIniFile(u"Strings", fromUtf8(dir.file("strings.ini")));
  ASSERT_NE(WriteIniString(u"Caption", u"Niveau \u00E9 \u20AC"), 0);
  EXPECT_EQ(GetIniString(u"caption", u"?"), u"Niveau \u00E9 \u20AC");
  EXPECT_EQ(test::readWholeFile(dir.file("strings.ini")), "[Strings]\r\nCaption=Niveau \xE9 \x80\r\n");
}

// Levels without a setting keep their built-in style; options are looked up
// in the database folder before the data folder.
TEST(NumberingTest, SettingsChooseTheStyleOfALevelAndOrdinalsNeverGoBelowZero) {
  test::TempDir dir, other;
  SetDatabaseFolder(fromUtf8(dir.path()));
  const char16_t* builtIn[] = {u"I", u"1", u"A", u"i", u"a", u"1", u"A", u"i", u"a"};
  for (std::int16_t level = 0; level < 9; ++level) EXPECT_EQ(NumberingStyle(level), builtIn[level]) << level;
  EXPECT_EQ(ParseOrdinal(u"", 0), 0);
  EXPECT_EQ(ParseOrdinal(u"AB", 2), 0);
  EXPECT_EQ(ParseOrdinal(u"z", 2), 26);
  EXPECT_EQ(ParseOrdinal(u"IX", 0), 9);
  EXPECT_EQ(ParseOrdinal(u"Q", 0), 0);  // not a numeral
  EXPECT_EQ(FormatOrdinal(0, 1), u"");
  EXPECT_EQ(FormatOrdinal(-3, 1), u"");

  test::writeWholeFile(other.file("options.ini"), "[Strings]\nCaption=from data\nOnlyData=yes\n");
  test::writeWholeFile(dir.file("options.ini"),
                       "[Strings]\nStandardOrdinal1=1\nStandardOrdinal3=-\nCaption=from class\nEmpty=\n");
  DataPath = fromUtf8(other.path());
  EXPECT_EQ(NumberingStyle(0), u"1");
  EXPECT_EQ(NumberingStyle(1), u"1");  // built in
  EXPECT_EQ(FormatOrdinal(7, 2), u"-");
  EXPECT_EQ(FormatOrdinal(12, 0), u"12");
  EXPECT_EQ(GetOptionString(u"Caption", u"d"), u"from class");
  EXPECT_EQ(GetOptionString(u"OnlyData", u"d"), u"yes");
  EXPECT_EQ(GetOptionString(u"Empty", u"d"), u"");
  EXPECT_EQ(GetOptionString(u"Nowhere", u"d"), u"d");
  SetDatabaseFolder(u"");
}

// Letters wrap and read without regard to case; other styles replace the number.
TEST(NumberStyleTest, EachStyleFormatsAndParses) {
  const struct {
    const char16_t* style;
    std::int16_t number;
    const char16_t* text;
  } formats[] = {{u"1", 12, u"(12"}, {u"I", 14, u"(XIV"}, {u"i", 14, u"(xiv"}, {u"A", 26, u"(Z"},
                 {u"A", 27, u"(A"},  {u"A", 52, u"(Z"},   {u"a", 2, u"(b"},    {u"#", 2, u"#"}};
  for (const auto& c : formats) {
    Text before = u"(";
    EXPECT_EQ(FormatNumber(c.style, before, c.number), c.text) << c.number;
  }
  const struct {
    const char16_t *style, *text;
    std::int16_t number;
  } parses[] = {{u"1", u"  42abc", 42}, {u"1", u"2.5", 2}, {u"1", u"3.5", 4},   {u"1", u"-7", -7}, {u"1", u"1e2x", 100},
                {u"1", u"x1", 0},       {u"1", u"99999", 0}, {u"I", u"XIV", 14}, {u"i", u"xiv", 14}, {u"A", u"AB", -1},
                {u"a", u"c", 3},        {u"A", u"a", 1},   {u"a", u"Z", 26},   {u"A", u"@", 0},   {u"A", u"[", 0},
                {u"?", u"3", 0}};
  for (const auto& c : parses) EXPECT_EQ(ParseNumber(c.style, c.text), c.number) << toUtf8(c.text);
}

} // namespace
} // namespace pu
