#include "platform/cipher/cipher.h"

#include <gtest/gtest.h>

namespace pu {
namespace {

TEST(CipherTest, EncipherThenDecipherGivesThePlainTextAndAByteEqualToItsKeyByteGivesNul) {
  std::string plain = "1.2. Fractions and \xE9quations";
  std::string enciphered = DxXCrypted(plain, "Pluvesk", 1);
  EXPECT_NE(enciphered, plain);
  EXPECT_EQ(DxXCrypted(enciphered, "Pluvesk", 0), plain);
  EXPECT_NE(DxXCrypted(enciphered, "Pluvesq", 0), plain);
  EXPECT_EQ(DxXCrypted("Plu", "Pluvesk", 1), std::string(3, '\0'));
}

TEST(RomanTest, FormatsTheWholePositiveRangeAndGivesDefinedResultsOutsideIt) {
  EXPECT_EQ(RomanFromInt(1), "I");
  EXPECT_EQ(RomanFromInt(4), "IV");
  EXPECT_EQ(RomanFromInt(1994), "MCMXCIV");
  EXPECT_EQ(RomanFromInt(3999), "MMMCMXCIX");
  EXPECT_EQ(RomanFromInt(32767), std::string(32, 'M') + "DCCLXVII");
  for (int v = 1; v <= 32767; ++v) ASSERT_EQ(IntFromRoman(RomanFromInt(v)), v) << v;
  for (int v : {0, -5, 40000}) EXPECT_EQ(RomanFromInt(v), "") << v;
  for (const std::string& s : {std::string(), std::string("IVz"), std::string("1"), std::string(40, 'M'), std::string(100000, 'M')})
    EXPECT_EQ(IntFromRoman(s), -1) << s.substr(0, 5);
  EXPECT_EQ(IntFromRoman("xiv"), 14);
}

} // namespace
} // namespace pu
