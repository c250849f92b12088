#include <gtest/gtest.h>

#include "util/general.h"

namespace pu {
namespace {

TEST(CharacterClassTest, AsciiRangesOnly) {
  EXPECT_TRUE(IsDigitChar(u"0"));
  EXPECT_TRUE(IsDigitChar(u"9"));
  EXPECT_FALSE(IsDigitChar(u"a"));
  EXPECT_TRUE(IsLetterChar(u"z"));
  EXPECT_TRUE(IsLetterChar(u"A"));
  EXPECT_FALSE(IsLetterChar(u"\u00E9"));
  EXPECT_FALSE(IsLetterChar(u"["));
  EXPECT_TRUE(IsAlphanumericChar(u"7"));
  EXPECT_FALSE(IsAlphanumericChar(u"."));
  EXPECT_FALSE(IsDigitChar(u""));
  EXPECT_FALSE(IsLetterChar(u""));
  EXPECT_FALSE(IsAlphanumericChar(u""));
}

TEST(TrimAndCaseTest, SpacesOnlyAndAsciiLettersOnly) {
  EXPECT_EQ(TrimSpaces(u"  Tree 3 \t "), u"Tree 3 \t");
  EXPECT_EQ(TrimSpaces(u"   "), u"");
  EXPECT_EQ(UpperAscii(u"standard.dbf \u00e9"), u"STANDARD.DBF \u00e9");
}

TEST(ReplaceTest, RemoveAllRemovesOccurrencesARemovalBringsTogether) {
  EXPECT_EQ(RemoveAll(u"aabb", u"ab"), u"");
  EXPECT_EQ(RemoveAll(u"*1.2.* Fractions", u"*"), u"1.2. Fractions");
  EXPECT_EQ(RemoveAll(u"abc", u"x"), u"abc");
}

TEST(ReplaceTest, ReplaceAllNeverSearchesInsertedText) {
  EXPECT_EQ(ReplaceAll(u"a: b: c", u": ", u":*"), u"a:*b:*c");
  EXPECT_EQ(ReplaceAll(u"aaa", u"a", u"aa"), u"aaaaaa");
  EXPECT_EQ(ReplaceAll(u"NULLNULL", u"NULL", Text(1, u'\0')), Text(2, u'\0'));
  EXPECT_EQ(ReplaceAll(u"null", u"NULL", u"x"), u"null");
}

TEST(ReplaceTest, ReplaceAtSplicesByPosition) {
  EXPECT_EQ(ReplaceAt(u"abcdef", 3, 2, u"XYZ"), u"abXYZef");
  EXPECT_EQ(ReplaceAt(u"abc", 1, 0, u"*"), u"*abc");
  EXPECT_EQ(ReplaceAt(u"abc", 4, 0, u"*"), u"abc*");
  EXPECT_EQ(ReplaceAt(u"abc", 2, 10, u""), u"a");
}

TEST(SplitTextTest, PiecesAreKeptUntrimmedFromIndexOne) {
  TextList list;
  SplitText(u"*1.2 *Topic", list, u"*", true);
  ASSERT_EQ(list.lower(), 1);
  ASSERT_EQ(list.size(), 2);
  EXPECT_EQ(list[1], u"1.2 ");
  EXPECT_EQ(list[2], u"Topic");

  SplitText(u"a,,b", list, u",", false);
  ASSERT_EQ(list.size(), 3);
  EXPECT_EQ(list[2], u"");
  SplitText(u"a::b", list, u"::", false);
  EXPECT_EQ(list.size(), 2);
}

TEST(SplitTextTest, EmptyText) {
  TextList list;
  SplitText(u"", list, u",", false);
  ASSERT_EQ(list.size(), 1);
  EXPECT_EQ(list[1], u"");
  SplitText(u"", list, u",", true);
  EXPECT_TRUE(list.empty());
  SplitText(u"  ,  ", list, u",", true);
  EXPECT_TRUE(list.empty());
}

TEST(FindTextTest, FirstEqualElementByCharacterCode) {
  TextList list(1, {u"a", u"B", u"b", u"b"});
  EXPECT_EQ(FindText(list, u"b"), 3);
  EXPECT_EQ(FindText(list, u"A"), -1);
  EXPECT_EQ(FindText(TextList(), u"a"), -1);
  EXPECT_EQ(FindText(TextList(0, {u"", u"x"}), u""), 0);
}

TEST(SortTest, SortLongsAscending) {
  LongList list(1, {5, 3, 9, 3});
  SortLongs(list);
  EXPECT_EQ(list, LongList(1, {3, 3, 5, 9}));
  LongList empty;
  SortLongs(empty);
  EXPECT_TRUE(empty.empty());
}

TEST(SortTest, QuickSortMovesTheCompanionAlongWithinTheRange) {
  LongList list(0, {9, 4, 7, 1, 8, 0});
  LongList companion(0, {90, 40, 70, 10, 80, 0});
  QuickSortLongs(list, 1, 4, companion, true);
  EXPECT_EQ(list, LongList(0, {9, 1, 4, 7, 8, 0}));
  EXPECT_EQ(companion, LongList(0, {90, 10, 40, 70, 80, 0}));
}

TEST(SortTest, LargeInputsSortLikeTheStandardLibrary) {
  std::vector<std::int32_t> values;
  std::uint32_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    values.push_back(static_cast<std::int32_t>(seed >> 8) % 500 - 250);
  }
  LongList list(1, values);
  LongList companion(1, values);
  QuickSortLongs(list, 1, static_cast<std::int16_t>(list.upper()), companion, true);
  std::sort(values.begin(), values.end());
  EXPECT_EQ(list.items(), values);
  EXPECT_EQ(companion.items(), values);  // companions moved with their keys
}

} // namespace
} // namespace pu
