#include "platform/text/ansi.h"

#include <gtest/gtest.h>

namespace pu {
namespace {

TEST(AnsiTest, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  Text text = fromAnsi(all);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(toAnsi(text), all);
}

TEST(AnsiTest, CodePageCharactersMapToTheirBytes) {
  EXPECT_EQ(fromAnsi("\x80"), u"\u20AC");
  EXPECT_EQ(fromAnsi("\x93\x94"), u"\u201C\u201D");
  EXPECT_EQ(toAnsi(u"caf\u00E9 \u2014 \u0153"), "caf\xE9 \x97 \x9C");
  EXPECT_EQ(fromAnsi("\xFA"), Text(1, char16_t(250)));
}

TEST(AnsiTest, UnmappableCharactersBecomeOneQuestionMarkEachAndKeepTheRest) {
  Text text = u"a\u4E2Db\u0416c";
  std::string ansi = toAnsi(text);
  EXPECT_EQ(ansi, "a?b?c");
  EXPECT_EQ(ansi.size(), text.size());
  // A surrogate pair is two code units and gives two bytes, so positions hold.
  EXPECT_EQ(toAnsi(u"x\U0001F600y"), "x??y");
}

TEST(AnsiTest, EmbeddedNulIsKept) {
  Text text(u"a\0b", 3);
  EXPECT_EQ(toAnsi(text), std::string("a\0b", 3));
}

TEST(AnsiTest, Utf8RoundTripAndInvalidInput) {
  Text text = u"K\u00F6ln \u20AC \U0001F600";
  EXPECT_EQ(fromUtf8(toUtf8(text)), text);
  EXPECT_EQ(fromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(fromUtf8("\xE2\x82"), u"\uFFFD\uFFFD");  // cut short at the end
}

} // namespace
} // namespace pu
