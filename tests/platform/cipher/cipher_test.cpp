#include "platform/cipher/cipher.h"

#include <gtest/gtest.h>

namespace pu {
namespace {

TEST(CipherTest, EncipherThenDecipherGivesThePlainText) {
  std::string plain = "1.2. Fractions and \xE9quations";
  std::string enciphered = DxXCrypted(plain, "Pluvesk", 1);
  EXPECT_NE(enciphered, plain);
  EXPECT_EQ(DxXCrypted(enciphered, "Pluvesk", 0), plain);
  EXPECT_NE(DxXCrypted(enciphered, "Pluvesq", 0), plain);
}

TEST(CipherTest, AByteEqualToItsKeyByteEnciphersToNul) {
  std::string enciphered = DxXCrypted("Plu", "Pluvesk", 1);
  EXPECT_EQ(enciphered, std::string(3, '\0'));
}

TEST(CipherTest, AReplacementCipherIsUsedUntilReset) {
  struct Reverse final : StoredTextCipher {
    std::string decipher(std::string_view s, std::string_view) const override { return {s.rbegin(), s.rend()}; }
    std::string encipher(std::string_view s, std::string_view k) const override { return decipher(s, k); }
  } reverse;
  setCurrentCipher(&reverse);
  EXPECT_EQ(DxXCrypted("abc", "Pluvesk", 0), "cba");
  setCurrentCipher(nullptr);
  EXPECT_EQ(DxXCrypted(DxXCrypted("abc", "Pluvesk", 1), "Pluvesk", 0), "abc");
}

TEST(RomanTest, FormatsTheWholePositiveRange) {
  EXPECT_EQ(RomanFromInt(1), "I");
  EXPECT_EQ(RomanFromInt(4), "IV");
  EXPECT_EQ(RomanFromInt(1994), "MCMXCIV");
  EXPECT_EQ(RomanFromInt(3999), "MMMCMXCIX");
  EXPECT_EQ(RomanFromInt(32767), std::string(32, 'M') + "DCCLXVII");
  for (int v = 1; v <= 32767; ++v) ASSERT_EQ(IntFromRoman(RomanFromInt(v)), v) << v;
}

TEST(RomanTest, OutOfRangeAndInvalidInputHaveDefinedResults) {
  EXPECT_EQ(RomanFromInt(0), "");
  EXPECT_EQ(RomanFromInt(-5), "");
  EXPECT_EQ(RomanFromInt(40000), "");
  EXPECT_EQ(IntFromRoman(""), -1);
  EXPECT_EQ(IntFromRoman("IVz"), -1);
  EXPECT_EQ(IntFromRoman("1"), -1);
  EXPECT_EQ(IntFromRoman(std::string(40, 'M')), -1);
  EXPECT_EQ(IntFromRoman(std::string(100000, 'M')), -1);
  EXPECT_EQ(IntFromRoman("xiv"), 14);
}

} // namespace
} // namespace pu
