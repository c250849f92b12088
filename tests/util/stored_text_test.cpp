#include "util/stored_text.h"

#include <gtest/gtest.h>

namespace pu {
namespace {

TEST(StoredTextTest, PlainTextsPassUnchangedAndEncodedTitlesDecodeToThePlainTitleOrAreRefused) {
  EXPECT_EQ(DecodeStoredText(u""), u"");
  EXPECT_EQ(DecodeStoredText(u"*1.2.* Fractions NULL"), u"*1.2.* Fractions NULL");
  EXPECT_EQ(DecodeStoredText(u"x\u00FA"), u"x\u00FA");
  EXPECT_EQ(DecodeStoredText(Text(1, kEncipheredMark)), u"");
  // 'n' ^ 'P', 'u' ^ 'l', 'l' ^ 'u', 'l' ^ 'v'.
  EXPECT_EQ(DecodeStoredText(Text(1, kEncipheredMark) + u"null"), (Text{u'\x3E', u'\x19', u'\x19', u'\x1A'}));
  for (const Text& plain : {Text(u"1.2. Fractions"), Text(u"IV Geometry: Angles"), Text(u"Planck \u00E9t\u00E9")}) {
    std::optional<Text> stored = EncodeStoredText(plain);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ((*stored)[0], kEncipheredMark);
    EXPECT_EQ(DecodeStoredText(*stored), plain);
  }
  // The stored form itself, XOR with "Pluv" worked out by hand: '1' ^ 'P' is 'a', '.' ^ 'l' is 'B', ...
  EXPECT_EQ(EncodeStoredText(u"1.2."), Text(1, kEncipheredMark) + u"aBGX");
  EXPECT_EQ(DecodeStoredText(Text(1, kEncipheredMark) + u"aBGX"), u"1.2.");
  // "Plu" matches the key's first bytes, so it enciphers to three NULs.
  std::optional<Text> stored = EncodeStoredText(u"Plus");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->substr(0, 13), Text(1, kEncipheredMark) + u"NULLNULLNULL");
  EXPECT_EQ(DecodeStoredText(*stored), u"Plus");
  // 'p' XOR 'P' is a blank: a title ending there would lose its last character to trimming.
  EXPECT_FALSE(EncodeStoredText(u"p").has_value());
  EXPECT_FALSE(EncodeStoredText(u"\u4E2D").has_value());  // not in the code page
}

} // namespace
} // namespace pu
