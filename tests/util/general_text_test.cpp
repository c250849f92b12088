#include <gtest/gtest.h>

#include "util/general.h"

namespace pu {
namespace {

TEST(CharacterClassTest, AsciiLettersAndDigitsOnly) {
  for (const char16_t* c : {u"0", u"9", u"z", u"A"}) EXPECT_TRUE(IsAlphanumericChar(c)) << char(c[0]);
  for (const char16_t* c : {u"\u00E9", u"[", u"@", u"`", u"{", u".", u"/", u":", u""}) EXPECT_FALSE(IsAlphanumericChar(c));
}

TEST(TextTest, TrimCaseRemoveAndReplaceAll) {
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

} // namespace
} // namespace pu
