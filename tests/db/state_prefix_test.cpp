#include "db/state_prefix.h"

#include <gtest/gtest.h>

#include "db/course_tables.h"
#include "db/database_helper.h"
#include "db/standards_model.h"
#include "platform/profile/profile.h"
#include "tests/db/course_db_fixture.h"
#include "util/path_globals.h"

namespace pu {
namespace {

using test::treeOf;

TEST(DisplayTextOfTitleTest, EachModeOverTheMarkupLayouts) {
  struct Case {
    const char16_t* title;
    std::int32_t mode;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"*1.2.* Fractions", DisplayPlain, u"1.2. Fractions"},
      {u"1.2 *Fractions", DisplayShort, u"1.2 "},  // pieces are not trimmed
      {u"Fractions", DisplayShort, u"Fractions"},
      {u"a*b*c*d", DisplayShort, u""},
      {u"*1.2*", DisplayShort, u"*1.2*"},  // one piece: the whole title
      {u"* *  1.2 * *", DisplayShort, u"* *  1.2 * *"},
      {u"*  *  *", DisplayShort, u""},  // no non-blank piece
      {u"**", DisplayStored, u"**"},
      {u"", DisplayShort, u""},
      {u"Fractions", 3, u""},
      {u"Fractions", -1, u""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DisplayTextOfTitle(c.title, c.mode), c.expected) << toUtf8(c.title) << " in mode " << c.mode;
}

// The user's highlight in a title: what it gives, and how it grows by the
// character after a letter or digit when there is one.
TEST(TakePrefixExampleTest, TheSelectionGivesTheExample) {
  struct Case {
    const char16_t* text;
    int start, length;
    const char16_t *before, *identifier, *separator;
    int separatorCount, lengthAfter;
  };
  const Case cases[] = {
      {u"1.2 Adding fractions", 0, 3, u"", u"1.2 ", u" ", 0, 4},
      {u"1.2. Topic", 0, 4, u"", u"1.2.", u".", 1, 4},  // ends with a point: no growth
      {u"Unit II. Poetry", 5, 3, u"Unit ", u"II.", u".", 0, 3},
      {u"Topic", 2, 0, u"To", u"", u"", -1, 0},
      {u"Unit 1.2", 5, 3, u"Unit ", u"1.2", u"2", 0, 3},  // nothing to grow into
      {u"1.2 x", 40, 50, u"1.2 x", u"", u"", -1, 0},       // past the end
      {u"1.2 x", -3, 50, u"", u"1.2 x", u"x", 0, 5},
  };
  for (const Case& c : cases) {
    int length = c.length;
    PrefixExample e = TakePrefixExample(c.text, c.start, length);
    SCOPED_TRACE(toUtf8(c.text));
    EXPECT_EQ(e.before, c.before);
    EXPECT_EQ(e.identifier, c.identifier);
    EXPECT_EQ(e.separator, c.separator);
    EXPECT_EQ(e.separatorCount, c.separatorCount);
    EXPECT_EQ(length, c.lengthAfter);
  }
}

// The identifier is found after the text before the example (without regard
// to case; a title without it keeps as many characters as that text, less
// one, as its head) as separatorCount + 1 runs ending in the separator; old
// markers go first.
TEST(MarkIdentifierTest, MarksTheSameRunsInEveryTitle) {
  struct Case {
    const char16_t* title;
    PrefixExample example;
    const char16_t *parent, *expected;
  };
  const PrefixExample blank{u"", u"1.2 ", u" ", 0}, points{u"", u"1.2.", u".", 1}, unit{u"Unit ", u"II.", u".", 0};
  const Case cases[] = {
      {u"3.4 Subtracting", blank, u"", u"*3.4 *Subtracting"},
      {u"3.4 Subtracting", blank, u"3.", u"*3.3.4 *Subtracting"},
      {u"*1.3.4 *Subtracting", blank, u"1.", u"*1.1.3.4 *Subtracting"},  // the parent goes in front once more
      {u"3.10. Other", points, u"", u"*3.10.* Other"},
      {u"*3.10.* Other", points, u"9.", u"*9.3.10.* Other"},
      {u"Unit IV. Drama", unit, u"", u"Unit *IV.* Drama"},
      {u"unit V. Lower case", unit, u"", u"unit *V.* Lower case"},
      {u"Nothing here", unit, u"", u"Noth**ing here"},
      {u"3.4 Subtracting", {u"", u"", u"", -1}, u"", u"**3.4 Subtracting"},
      {u"*3.10.* Other", {u"3.", u"10. ", u" ", 0}, u"", u"3.*10. *Other"},
  };
  for (const Case& c : cases) EXPECT_EQ(MarkIdentifier(c.title, c.example, c.parent), c.expected) << toUtf8(c.title);
}

class StatePrefixTest : public test::CourseDbTest {};

// Stored enciphered with the program's own key, a title is deciphered before
// use. A failed seek leaves a row current (node 15 the next greater key, node
// 1 of tree 3 none); neither title is the missing standard's.
TEST_F(StatePrefixTest, StandardDisplayTextReadsTheStoredTitleOfThatStandardOnly) {
  useDatabase(treeOf({{2, 10, 1, 1, "*1.2.* Fractions"}, {2, 20, 1, 2, "Unit *IV* Geometry", true}}));
  EXPECT_EQ(StandardDisplayText(2, 10, DisplayShort), u"1.2.");
  EXPECT_EQ(StandardDisplayText(2, 10, DisplayStored), u"*1.2.* Fractions");
  EXPECT_EQ(StandardDisplayText(2, 20, DisplayShort), u"IV");
  EXPECT_EQ(StandardDisplayText(2, 20, DisplayPlain), u"Unit IV Geometry");
  for (std::int32_t mode : {DisplayPlain, DisplayShort, DisplayStored}) {
    EXPECT_EQ(StandardDisplayText(2, 15, mode), u"");
    EXPECT_EQ(StandardDisplayText(3, 1, mode), u"");
  }
  EXPECT_EQ(DbHelper().depth(), 0);
}

// Levels run until the first missing or "0" start, however many there are.
TEST_F(StatePrefixTest, LevelsRunUntilTheFirstMissingStart) {
  useDatabase(treeOf({}));
  auto write = [&](const std::string& section, const std::string& key, const std::string& value) {
    ASSERT_NE(WritePrivateProfileStringA(section, key, value, folder + "/classification.ini"), 0);
  };
  EXPECT_TRUE(ReadLevelRules(u"12").empty());  // the sample writes no section for tree 2
  write("State12", "Level1End", "Z");
  EXPECT_TRUE(ReadLevelRules(u"12").empty());
  write("State12", "Level1Start", "0");
  write("State12", "Level2Start", "1");
  EXPECT_TRUE(ReadLevelRules(u"12").empty());
  write("State12", "Level1Start", "A");
  write("State12", "Level4Start", "i");  // after a gap: not a level
  auto text = [](const LevelRule& r) { return std::to_string(r.level) + toUtf8(u" " + r.start + u"," + r.end + u"," + r.includeParent); };
  std::vector<LevelRule> rules = ReadLevelRules(u"12");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(text(rules[0]), "1 A,Z,0");
  EXPECT_EQ(text(rules[1]), "2 1,0,0");
  EXPECT_TRUE(ReadLevelRules(u"13").empty());
  for (int k = 1; k <= 12; ++k) write("State5", "Level" + std::to_string(k) + "Start", std::to_string(k));
  rules = ReadLevelRules(u"5");
  ASSERT_EQ(rules.size(), 12u);
  EXPECT_EQ(text(rules[11]), "12 12,0,0");
  ClassTablePath = fromUtf8(dir.file("nowhere"));
  EXPECT_TRUE(ReadLevelRules(u"12").empty());
}

} // namespace
} // namespace pu
