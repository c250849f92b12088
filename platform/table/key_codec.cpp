#include "platform/table/key_codec.h"

#include <bit>

namespace pu::table::key {

void appendDouble(double value, std::string* out) {
  if (value == 0) value = 0;  // -0.0 sorts with 0
  std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  bits = (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
  for (int i = 7; i >= 0; --i) out->push_back(char(bits >> (8 * i)));
}

double decodeDouble(const std::uint8_t* p) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = bits << 8 | p[i];
  bits = (bits >> 63) ? bits & ~(std::uint64_t(1) << 63) : ~bits;
  return std::bit_cast<double>(bits);
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

// Fliegel and Van Flandern's integer conversion, valid for the Gregorian calendar.
std::int64_t julianDay(int y, int m, int d) {
  std::int64_t a = (14 - m) / 12;
  std::int64_t yy = y + 4800 - a;
  std::int64_t mm = m + 12 * a - 3;
  return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

void civilFromJulian(std::int64_t jd, int* year, int* month, int* day) {
  std::int64_t a = jd + 32044;
  std::int64_t b = (4 * a + 3) / 146097;
  std::int64_t c = a - 146097 * b / 4;
  std::int64_t d = (4 * c + 3) / 1461;
  std::int64_t e = c - 1461 * d / 4;
  std::int64_t m = (5 * e + 2) / 153;
  *day = int(e - (153 * m + 2) / 5 + 1);
  *month = int(m + 3 - 12 * (m / 10));
  *year = int(100 * b + d - 4800 + m / 10);
}

} // namespace pu::table::key
