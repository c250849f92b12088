#include <gtest/gtest.h>

#include "util/general.h"

namespace pu {
namespace {

TEST(CharacterClassTest, AsciiRangesOnly) {
  for (const char16_t* c : {u"0", u"9"}) EXPECT_TRUE(IsDigitChar(c) && IsAlphanumericChar(c)) << char(c[0]);
  for (const char16_t* c : {u"z", u"A"}) EXPECT_TRUE(IsLetterChar(c) && IsAlphanumericChar(c)) << char(c[0]);
  for (const char16_t* c : {u"a", u"\u00E9", u"[", u".", u""}) EXPECT_FALSE(IsDigitChar(c));
  for (const char16_t* c : {u"\u00E9", u"[", u"@", u"`", u"{", u"."}) EXPECT_FALSE(IsLetterChar(c) || IsAlphanumericChar(c));
  EXPECT_FALSE(IsLetterChar(u"") || IsAlphanumericChar(u""));
}

TEST(TextTest, TrimCaseRemoveReplace) {
  EXPECT_EQ(TrimSpaces(u"  Tree 3 \t "), u"Tree 3 \t");  // spaces only
  EXPECT_EQ(TrimSpaces(u"   "), u"");
  EXPECT_EQ(UpperAscii(u"standard.dbf \u00e9"), u"STANDARD.DBF \u00e9");
  EXPECT_EQ(RemoveAll(u"aabb", u"ab"), u"");  // what a removal brings together goes too
  EXPECT_EQ(RemoveAll(u"*1.2.* Fractions", u"*"), u"1.2. Fractions");
  EXPECT_EQ(RemoveAll(u"abc", u"x"), u"abc");
  EXPECT_EQ(ReplaceAll(u"a: b: c", u": ", u":*"), u"a:*b:*c");
  EXPECT_EQ(ReplaceAll(u"aaa", u"a", u"aa"), u"aaaaaa");  // inserted text is never searched
  EXPECT_EQ(ReplaceAll(u"NULLNULL", u"NULL", Text(1, u'\0')), Text(2, u'\0'));
  EXPECT_EQ(ReplaceAll(u"null", u"NULL", u"x"), u"null");
  EXPECT_EQ(ReplaceAt(u"abcdef", 3, 2, u"XYZ"), u"abXYZef");
  EXPECT_EQ(ReplaceAt(u"abc", 1, 0, u"*"), u"*abc");
  EXPECT_EQ(ReplaceAt(u"abc", 4, 0, u"*"), u"abc*");
  EXPECT_EQ(ReplaceAt(u"abc", 2, 10, u""), u"a");
}

TEST(SplitTextTest, PiecesAreKeptUntrimmedFromIndexOne) {
  const struct {
    const char16_t *text, *delimiter;
    bool skipBlank;
    std::vector<Text> pieces;
  } cases[] = {
      {u"*1.2 *Topic", u"*", true, {u"1.2 ", u"Topic"}},
      {u"a,,b", u",", false, {u"a", u"", u"b"}},
      {u"a::b", u"::", false, {u"a", u"b"}},
      {u"", u",", false, {u""}},
      {u"", u",", true, {}},
      {u"  ,  ", u",", true, {}},
  };
  for (const auto& c : cases) {
    TextList list;
    SplitText(c.text, list, c.delimiter, c.skipBlank);
    EXPECT_EQ(list, TextList(1, c.pieces)) << toUtf8(c.text);
  }
}

TEST(FindTextTest, FirstEqualElementByCharacterCode) {
  TextList list(1, {u"a", u"B", u"b", u"b"});
  EXPECT_EQ(FindText(list, u"b"), 3);
  EXPECT_EQ(FindText(list, u"A"), -1);
  EXPECT_EQ(FindText(TextList(), u"a"), -1);
  EXPECT_EQ(FindText(TextList(0, {u"", u"x"}), u""), 0);
}

TEST(SortTest, SortsLikeTheStandardLibraryMovingTheCompanionAlong) {
  LongList list(1, {5, 3, 9, 3});
  SortLongs(list);
  EXPECT_EQ(list, LongList(1, {3, 3, 5, 9}));
  LongList empty;
  SortLongs(empty);
  EXPECT_TRUE(empty.empty());
  // Within the range only.
  LongList part(0, {9, 4, 7, 1, 8, 0}), partCompanion(0, {90, 40, 70, 10, 80, 0});
  QuickSortLongs(part, 1, 4, partCompanion, true);
  EXPECT_EQ(part, LongList(0, {9, 1, 4, 7, 8, 0}));
  EXPECT_EQ(partCompanion, LongList(0, {90, 10, 40, 70, 80, 0}));
  std::vector<std::int32_t> values;
  std::uint32_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    values.push_back(static_cast<std::int32_t>(seed >> 8) % 500 - 250);
  }
  LongList many(1, values), companion(1, values);
  QuickSortLongs(many, 1, static_cast<std::int16_t>(many.upper()), companion, true);
  std::sort(values.begin(), values.end());
  EXPECT_EQ(many.items(), values);
  EXPECT_EQ(companion.items(), values);  // companions moved with their keys
}

} // namespace
} // namespace pu
