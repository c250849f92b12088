#include "util/stored_text.h"

#include "platform/cipher/cipher.h"
#include "util/general.h"

namespace pu {
namespace {

constexpr std::string_view kKey = "Pluvesk";
const Text kNullWord = u"NULL";

} // namespace

Text DecodeStoredText(const Text& stored) {
  if (stored.empty() || stored[0] != kEncipheredMark) return stored;
  Text enciphered = ReplaceAll(stored.substr(1), kNullWord, Text(1, u'\0'));
  return fromAnsi(DxXCrypted(toAnsi(enciphered), kKey, 0));
}

std::optional<Text> EncodeStoredText(const Text& plain) {
  Text enciphered = fromAnsi(DxXCrypted(toAnsi(plain), kKey, 1));
  if (enciphered.find(kNullWord) != Text::npos) return std::nullopt;
  Text stored = Text(1, kEncipheredMark) + ReplaceAll(enciphered, Text(1, u'\0'), kNullWord);
  if (stored.back() == u' ' || DecodeStoredText(stored) != plain) return std::nullopt;
  return stored;
}

} // namespace pu
