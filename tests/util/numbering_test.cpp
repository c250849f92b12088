#include "util/numbering.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "util/path_globals.h"

namespace pu {
namespace {

class NumberingTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetDatabaseFolder(fromUtf8(dir.path()));
  }
  void TearDown() override { SetDatabaseFolder(u""); }
  void writeOptions(const std::string& text) { test::writeWholeFile(dir.file("options.ini"), text); }
  test::TempDir dir;
};

// Levels without a setting keep their built-in style.
TEST_F(NumberingTest, SettingsChooseTheStyleOfALevel) {
  const char16_t* builtIn[] = {u"I", u"1", u"A", u"i", u"a", u"1", u"A", u"i", u"a"};
  for (std::int16_t level = 0; level < 9; ++level) EXPECT_EQ(NumberingStyle(level), builtIn[level]) << level;
  writeOptions("[Strings]\nStandardOrdinal1=1\nStandardOrdinal3=-\n");
  EXPECT_EQ(NumberingStyle(0), u"1");
  EXPECT_EQ(NumberingStyle(1), u"1");  // built in
  EXPECT_EQ(FormatOrdinal(7, 2), u"-");
  EXPECT_EQ(FormatOrdinal(12, 0), u"12");
}

TEST_F(NumberingTest, OptionLookupOrderAndDefault) {
  test::TempDir other;
  test::writeWholeFile(other.file("options.ini"), "[Strings]\nCaption=from data\nOnlyData=yes\n");
  writeOptions("[Strings]\nCaption=from class\nEmpty=\n");
  DataPath = fromUtf8(other.path());
  EXPECT_EQ(GetOptionString(u"Caption", u"d"), u"from class");
  EXPECT_EQ(GetOptionString(u"OnlyData", u"d"), u"yes");
  EXPECT_EQ(GetOptionString(u"Empty", u"d"), u"");
  EXPECT_EQ(GetOptionString(u"Nowhere", u"d"), u"d");
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

TEST_F(NumberingTest, ParseOrdinalNeverGoesBelowZero) {
  EXPECT_EQ(ParseOrdinal(u"", 0), 0);
  EXPECT_EQ(ParseOrdinal(u"AB", 2), 0);
  EXPECT_EQ(ParseOrdinal(u"z", 2), 26);
  EXPECT_EQ(ParseOrdinal(u"IX", 0), 9);
  EXPECT_EQ(ParseOrdinal(u"Q", 0), 0);  // not a numeral
  EXPECT_EQ(FormatOrdinal(0, 1), u"");
  EXPECT_EQ(FormatOrdinal(-3, 1), u"");
}

} // namespace
} // namespace pu
