#pragma once
// The cipher of stored texts, and the Roman-numeral conversions of the
// utility library the program was built on. Texts are ANSI byte strings.
#include <cstdint>
#include <string>
#include <string_view>

namespace pu {

// A symmetric cipher keyed by a text; one implementation is in force at a time.
class StoredTextCipher {
public:
  virtual ~StoredTextCipher() = default;
  virtual std::string decipher(std::string_view source, std::string_view key) const = 0;
  virtual std::string encipher(std::string_view plain, std::string_view key) const = 0;
};

// Byte-wise XOR with the key repeated. A plain byte equal to its key byte
// enciphers to NUL, which is why stored forms spell NUL as "NULL".
class XorCipher final : public StoredTextCipher {
public:
  std::string decipher(std::string_view source, std::string_view key) const override;
  std::string encipher(std::string_view plain, std::string_view key) const override;
};

const StoredTextCipher& currentCipher();

// Mode 0 deciphers; any other mode enciphers.
std::string DxXCrypted(std::string_view source, std::string_view key, std::int32_t mode);

// Upper-case numeral for 1..32767 (thousands as repeated M); empty outside.
std::string RomanFromInt(std::int32_t value);
// Value of a numeral in either case; -1 for an empty text, a character that is
// not a numeral letter, or a value above 32767.
std::int32_t IntFromRoman(std::string_view numeral);

} // namespace pu
