#include "platform/table/key_codec.h"

#include <bit>

namespace pu::table::key {

void appendDouble(double value, std::string* out) {
  if (value == 0) value = 0;  // -0.0 sorts with 0
  std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  bits = (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
  for (int i = 7; i >= 0; --i) out->push_back(char(bits >> (8 * i)));
}

void appendInt32(std::int32_t value, std::string* out) {
  std::uint32_t u = std::uint32_t(value) ^ 0x80000000u;
  for (int i = 3; i >= 0; --i) out->push_back(char(u >> (8 * i)));
}

void appendBinToC(std::int64_t value, unsigned size, std::string* out) {
  std::uint32_t u = std::uint32_t(value);
  u ^= 1u << (8 * size - 1);
  for (int i = int(size) - 1; i >= 0; --i) out->push_back(char(u >> (8 * i)));
}

} // namespace pu::table::key
