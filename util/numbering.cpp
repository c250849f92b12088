#include "util/numbering.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/cipher/cipher.h"
#include "util/general.h"
#include "util/ini_file.h"
#include "util/path_globals.h"

namespace pu {
namespace {

const Text kMissing = u"!@#$%^&*()";

Text lowerAscii(Text text) {
  for (char16_t& c : text)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
  return text;
}

// The leading number of a text: blanks skipped, then sign, digits, point and
// exponent as far as they continue a number; 0 when there is none.
double leadingNumber(const Text& text) {
  std::size_t i = text.find_first_not_of(u' ');
  if (i == Text::npos) return 0;
  std::string number;
  auto digitsFrom = [&](std::size_t& at) {
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') number.push_back(static_cast<char>(text[at++]));
  };
  if (text[i] == u'+' || text[i] == u'-') number.push_back(static_cast<char>(text[i++]));
  digitsFrom(i);
  if (i < text.size() && text[i] == u'.') {
    number.push_back('.');
    digitsFrom(++i);
  }
  if (i + 1 < text.size() && (text[i] == u'E' || text[i] == u'e') && text[i + 1] >= u'0' && text[i + 1] <= u'9') {
    number.push_back('e');
    digitsFrom(++i);
  }
  return std::strtod(number.c_str(), nullptr);  // 0 when no digit was found
}

// Rounds half to even, as the 16-bit conversion does; out of range gives 0.
std::int16_t toInt16(double value) {
  double rounded = std::nearbyint(value);
  if (!(rounded >= std::numeric_limits<std::int16_t>::min() && rounded <= std::numeric_limits<std::int16_t>::max())) return 0;
  return static_cast<std::int16_t>(rounded);
}

std::int16_t romanToInt16(const Text& text) {
  std::int32_t value = IntFromRoman(toAnsi(text));
  return static_cast<std::int16_t>(value);  // -1 for what is not a numeral
}

} // namespace

Text GetOptionString(const Text& key, const Text& defaultValue) {
  struct Folder {
    const Text& path;
    bool skipWhenEmpty;
  };
  const Folder folders[] = {{ClassTablePath, true}, {SharedDataPath, true}, {UserDataPath, false}, {DataPath, false}};
  for (const Folder& folder : folders) {
    if (folder.skipWhenEmpty && folder.path.empty()) continue;
    Text file = folder.path + u"\\options.ini";
    if (!FileExists(file)) continue;
    SetIniFile(u"Strings", file);
    Text value = GetIniString(key, kMissing);
    if (value != kMissing) return value;
  }
  return defaultValue;
}

Text NumberingStyle(std::int16_t level) {
  Text style = GetOptionString(u"StandardOrdinal" + fromUtf8(std::to_string(level + 1)), u"?");
  if (style != u"?") return style;
  if (level == 0) return u"I";
  static const char16_t* const kByLowBits[] = {u"a", u"1", u"A", u"i"};
  return kByLowBits[level & 3];
}

Text FormatNumber(const Text& style, Text& before, std::int16_t number) {
  if (style == u"1") return before + fromUtf8(std::to_string(number));
  if (style == u"I") return before + fromAnsi(RomanFromInt(number));
  if (style == u"i") return before + lowerAscii(fromAnsi(RomanFromInt(number)));
  if (style == u"A") return before + LetterOf(number);
  if (style == u"a") return before + lowerAscii(LetterOf(number));
  return style;
}

std::int16_t ParseNumber(const Text& style, const Text& text) {
  if (style == u"1") return toInt16(leadingNumber(text));
  if (style == u"I" || style == u"i") return romanToInt16(text);
  if (style == u"A" || style == u"a") return text.size() >= 2 ? std::int16_t(-1) : LetterValue(text);
  return 0;
}

Text FormatOrdinal(std::int16_t ordinal, std::int16_t level) {
  if (ordinal <= 0) return {};
  Text before;
  return FormatNumber(NumberingStyle(level), before, ordinal);
}

std::int16_t ParseOrdinal(const Text& text, std::int16_t level) {
  if (text.empty()) return 0;
  std::int16_t value = ParseNumber(NumberingStyle(level), text);
  return value < 0 ? std::int16_t(0) : value;
}

Text LetterOf(std::int16_t number) {
  int index = ((number - 1) % 26 + 26) % 26;
  return Text(1, static_cast<char16_t>(u'A' + index));
}

std::int16_t LetterValue(const Text& text) {
  if (text.empty()) return 0;
  auto code = static_cast<unsigned char>(toAnsi(text.substr(0, 1))[0]);
  if (code >= 'a' && code <= 'z') code = static_cast<unsigned char>(code - 'a' + 'A');
  int v = code - 'A' + 1;
  return v >= 0 && v <= 26 ? static_cast<std::int16_t>(v) : std::int16_t(0);
}

} // namespace pu
