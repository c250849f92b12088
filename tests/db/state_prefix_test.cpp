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

using sample::StandardRow;
using test::treeOf;

TEST(DisplayTextOfTitleTest, ThreeModesOverTheMarkupLayouts) {
  EXPECT_EQ(DisplayTextOfTitle(u"*1.2.* Fractions", DisplayShort), u"1.2.");
  EXPECT_EQ(DisplayTextOfTitle(u"*1.2.* Fractions", DisplayPlain), u"1.2. Fractions");
  EXPECT_EQ(DisplayTextOfTitle(u"*1.2.* Fractions", DisplayStored), u"*1.2.* Fractions");
  EXPECT_EQ(DisplayTextOfTitle(u"1.2 *Fractions", DisplayShort), u"1.2 ");  // pieces are not trimmed
  EXPECT_EQ(DisplayTextOfTitle(u"Unit *IV* Geometry", DisplayShort), u"IV");
  EXPECT_EQ(DisplayTextOfTitle(u"Fractions", DisplayShort), u"Fractions");
  EXPECT_EQ(DisplayTextOfTitle(u"a*b*c*d", DisplayShort), u"");
  EXPECT_EQ(DisplayTextOfTitle(u"*1.2*", DisplayShort), u"*1.2*");  // one piece: the whole title
  EXPECT_EQ(DisplayTextOfTitle(u"* *  1.2 * *", DisplayShort), u"* *  1.2 * *");
  EXPECT_EQ(DisplayTextOfTitle(u"Fractions", 3), u"");
  EXPECT_EQ(DisplayTextOfTitle(u"Fractions", -1), u"");
}

TEST(DisplayTextOfTitleTest, NoNonBlankPieceGivesAnEmptyShortTitle) {
  for (const char16_t* title : {u"", u"*", u"**", u" * ", u"*  *  *"}) {
    EXPECT_EQ(DisplayTextOfTitle(title, DisplayShort), u"") << toUtf8(title);
    EXPECT_EQ(DisplayTextOfTitle(title, DisplayStored), title);
  }
}

class StatePrefixTest : public test::CourseDbTest {};

TEST_F(StatePrefixTest, StandardDisplayTextReadsTheStoredTitle) {
  useDatabase(treeOf({{2, 10, 1, 1, "*1.2.* Fractions"}, {2, 20, 1, 2, "Unit *IV* Geometry", true}}));
  EXPECT_EQ(StandardDisplayText(2, 10, DisplayShort), u"1.2.");
  EXPECT_EQ(StandardDisplayText(2, 10, DisplayPlain), u"1.2. Fractions");
  EXPECT_EQ(StandardDisplayText(2, 10, DisplayStored), u"*1.2.* Fractions");
  // Stored enciphered with the program's own key: deciphered before use.
  EXPECT_EQ(StandardDisplayText(2, 20, DisplayShort), u"IV");
  EXPECT_EQ(StandardDisplayText(2, 20, DisplayPlain), u"Unit IV Geometry");
}

TEST_F(StatePrefixTest, AMissingStandardHasNoTitle) {
  // Each failed seek leaves a row current: node 15 the next greater key (node
  // 20), node 1 of tree 3 none. Neither title is the missing standard's.
  useDatabase(treeOf({{2, 10, 1, 1, "*1.* Ten"}, {2, 20, 1, 2, "*2.* Twenty"}}));
  ASSERT_EQ(StandardDisplayText(2, 20, DisplayStored), u"*2.* Twenty");
  for (std::int32_t mode : {DisplayPlain, DisplayShort, DisplayStored}) {
    EXPECT_EQ(StandardDisplayText(2, 15, mode), u"");
    EXPECT_EQ(StandardDisplayText(3, 1, mode), u"");
  }
  EXPECT_EQ(DbHelper().depth(), 0);
}

class LevelRulesTest : public test::CourseDbTest {
protected:
  void write(const std::string& section, const std::string& key, const std::string& value) {
    ASSERT_NE(WritePrivateProfileStringA(section, key, value, folder + "/classification.ini"), 0);
  }
};

TEST_F(LevelRulesTest, LevelsRunUntilTheFirstMissingStart) {
  useDatabase(treeOf({}));
  write("State12", "Level1Start", "A");
  write("State12", "Level1End", "Z");
  write("State12", "Level2Start", "1");
  write("State12", "Level4Start", "i");  // after a gap: not a level
  std::vector<LevelRule> rules = ReadLevelRules(u"12");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[0].level, 1);
  EXPECT_EQ(rules[0].start, u"A");
  EXPECT_EQ(rules[0].end, u"Z");
  EXPECT_EQ(rules[0].includeParent, u"0");
  EXPECT_EQ(rules[1].level, 2);
  EXPECT_EQ(rules[1].start, u"1");
  EXPECT_EQ(rules[1].end, u"0");
  EXPECT_EQ(rules[1].includeParent, u"0");
}

TEST_F(LevelRulesTest, MissingFileSectionOrFirstStartGiveNoLevels) {
  useDatabase(treeOf({}));
  EXPECT_TRUE(ReadLevelRules(u"12").empty());  // the sample writes no section for tree 2
  write("State12", "Level1End", "Z");
  EXPECT_TRUE(ReadLevelRules(u"12").empty());
  write("State12", "Level1Start", "0");
  write("State12", "Level2Start", "B");
  EXPECT_TRUE(ReadLevelRules(u"12").empty());
  EXPECT_TRUE(ReadLevelRules(u"13").empty());
  ClassTablePath = fromUtf8(dir.file("nowhere"));
  EXPECT_TRUE(ReadLevelRules(u"12").empty());
}

TEST_F(LevelRulesTest, MoreThanNineLevelsAreAllRead) {
  useDatabase(treeOf({}));
  for (int k = 1; k <= 12; ++k) write("State5", "Level" + std::to_string(k) + "Start", std::to_string(k));
  std::vector<LevelRule> rules = ReadLevelRules(u"5");
  ASSERT_EQ(rules.size(), 12u);
  EXPECT_EQ(rules[11].level, 12);
  EXPECT_EQ(rules[11].start, u"12");
}

} // namespace
} // namespace pu
