#include "platform/cipher/cipher.h"

namespace pu {
namespace {

std::string xorWithKey(std::string_view text, std::string_view key) {
  std::string out(text);
  if (key.empty()) return out;
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(out[i] ^ key[i % key.size()]);
  return out;
}

const XorCipher g_xor;

} // namespace

std::string XorCipher::decipher(std::string_view source, std::string_view key) const { return xorWithKey(source, key); }

std::string XorCipher::encipher(std::string_view plain, std::string_view key) const { return xorWithKey(plain, key); }

const StoredTextCipher& currentCipher() { return g_xor; }

std::string DxXCrypted(std::string_view source, std::string_view key, std::int32_t mode) {
  return mode == 0 ? currentCipher().decipher(source, key) : currentCipher().encipher(source, key);
}

} // namespace pu
