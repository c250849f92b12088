#include "platform/cipher/cipher.h"

#include <array>
#include <utility>

namespace pu {
namespace {

constexpr std::array<std::pair<int, const char*>, 13> kNumerals = {{
    {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"},
    {50, "L"}, {40, "XL"}, {10, "X"}, {9, "IX"}, {5, "V"}, {4, "IV"}, {1, "I"},
}};

int letterValue(char c) {
  switch (c) {
    case 'I': case 'i': return 1;
    case 'V': case 'v': return 5;
    case 'X': case 'x': return 10;
    case 'L': case 'l': return 50;
    case 'C': case 'c': return 100;
    case 'D': case 'd': return 500;
    case 'M': case 'm': return 1000;
    default: return 0;
  }
}

} // namespace

std::string RomanFromInt(std::int32_t value) {
  if (value < 1 || value > 32767) return {};
  std::string out;
  for (auto [amount, letters] : kNumerals) {
    for (; value >= amount; value -= amount) out += letters;
  }
  return out;
}

// Lenient like hand-written numerals: a letter smaller than the one after it
// is subtracted, everything else added.
std::int32_t IntFromRoman(std::string_view numeral) {
  if (numeral.empty()) return -1;
  std::int32_t total = 0;
  for (std::size_t i = 0; i < numeral.size(); ++i) {
    int v = letterValue(numeral[i]);
    if (v == 0) return -1;
    int next = i + 1 < numeral.size() ? letterValue(numeral[i + 1]) : 0;
    total += v < next ? -v : v;
    if (total > 32767 + 1000) return -1;  // stops growth on absurdly long input
  }
  return total < 1 || total > 32767 ? -1 : total;
}

} // namespace pu
