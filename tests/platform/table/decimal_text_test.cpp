// The short decimal routines against the C library they stand in for: the
// same doubles and the same text, bit for bit, wherever they do not decline.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/table/decimal_text.h"

namespace pu::table {
namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(DecimalText, ParsesAsStrtodDoes) {
  std::mt19937 rng(5);
  int taken = 0;
  for (int i = 0; i < 200000; ++i) {
    std::string s(rng() % 3, ' ');
    if (rng() % 4 == 0) s += rng() % 2 ? '-' : '+';
    int digits = int(rng() % 18);
    int point = int(rng() % (digits + 2)) - 1;
    for (int d = 0; d < digits; ++d) {
      if (d == point) s += '.';
      s += char('0' + rng() % 10);
    }
    if (rng() % 3 == 0) s += rng() % 2 ? " " : "#1";  // what follows the number
    double quick = 0;
    if (!parseShortDecimal(s, &quick)) continue;
    ++taken;
    EXPECT_TRUE(sameBits(quick, std::strtod(s.c_str(), nullptr))) << "'" << s << "'";
  }
  EXPECT_GT(taken, 100000);  // most of these are the short numbers it is for
  double v = 1;
  EXPECT_TRUE(parseShortDecimal("   ", &v));
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(parseShortDecimal("1e5", &v));                 // exponents go the long way
  EXPECT_FALSE(parseShortDecimal("1234567890123456", &v));    // 16 figures
  EXPECT_TRUE(parseShortDecimal("-0", &v));
  EXPECT_TRUE(std::signbit(v));
}

TEST(DecimalText, FormatsAsPrintfDoes) {
  std::mt19937_64 rng(9);
  int taken = 0;
  for (int i = 0; i < 200000; ++i) {
    double magnitude = std::pow(10.0, double(rng() % 17) - 3);
    double v = (double(rng() % 2000001) / 1000000.0 - 1.0) * magnitude;
    if (rng() % 4 == 0) v = std::round(v * 100) / 100;  // values with a few decimals, as stored
    int decimals = int(rng() % 7);
    char quick[kShortDecimalRoom];
    std::size_t length = 0;
    if (!formatShortDecimal(v, decimals, quick, &length)) continue;
    ++taken;
    double scale = std::pow(10.0, decimals);
    char slow[400];
    int n = std::snprintf(slow, sizeof slow, "%.*f", decimals, std::round(v * scale) / scale);
    EXPECT_EQ(std::string(quick, length), std::string(slow, std::size_t(n))) << v << " to " << decimals;
  }
  EXPECT_GT(taken, 150000);
  char out[kShortDecimalRoom];
  std::size_t length = 0;
  EXPECT_FALSE(formatShortDecimal(-0.001, 2, out, &length));  // "-0.00" goes the long way
  EXPECT_FALSE(formatShortDecimal(1e17, 0, out, &length));
  ASSERT_TRUE(formatShortDecimal(0.5, 0, out, &length));    // half away from zero
  EXPECT_EQ(std::string(out, length), "1");
}

} // namespace
} // namespace pu::table
