#include "platform/text/ansi.h"

#include <gtest/gtest.h>

namespace pu {
namespace {

TEST(AnsiTest, EveryByteRoundTripsAndUnmappableCharactersBecomeOneQuestionMarkEach) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  Text text = fromAnsi(all);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(toAnsi(text), all);  // the NUL byte included
  EXPECT_EQ(fromAnsi("\x80\x93\x94\xFA"), u"\u20AC\u201C\u201D\u00FA");
  EXPECT_EQ(toAnsi(u"caf\u00E9 \u2014 \u0153"), "caf\xE9 \x97 \x9C");
  // One question mark per code unit, so positions hold: a surrogate pair gives two.
  EXPECT_EQ(toAnsi(u"a\u4E2Db\u0416c"), "a?b?c");
  EXPECT_EQ(toAnsi(u"x\U0001F600y"), "x??y");
}

TEST(AnsiTest, Utf8RoundTripAndInvalidInput) {
  Text text = u"K\u00F6ln \u20AC \U0001F600";
  EXPECT_EQ(fromUtf8(toUtf8(text)), text);
  EXPECT_EQ(fromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(fromUtf8("\xE2\x82"), u"\uFFFD\uFFFD");  // cut short at the end
}

} // namespace
} // namespace pu
