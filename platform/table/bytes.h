#pragma once
// Little- and big-endian integers in byte strings. Callers check bounds first.
#include <cstdint>
#include <string>
#include <string_view>

namespace pu::table {

inline std::uint32_t getLe(std::string_view b, std::size_t at, int width) {
  std::uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

inline std::uint32_t getBe32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

inline void putLe(std::string& b, std::size_t at, std::uint32_t v, int width) {
  for (int i = 0; i < width; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void putBe32(std::string& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * (3 - i))) & 0xFF);
}

} // namespace pu::table
