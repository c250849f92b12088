#pragma once
// Index keys that sort as FoxPro's machine collation sorts them, byte by byte:
// numbers as 8-byte big-endian doubles with the sign bit set for values >= 0
// and every bit inverted for negatives; integers as 4 big-endian bytes with
// the top bit flipped; dates as the Julian day number in the double form.
#include <cstdint>
#include <string>

namespace pu::table::key {

void appendDouble(double value, std::string* out);
double decodeDouble(const std::uint8_t* bytes);
void appendInt32(std::int32_t value, std::string* out);
// BINTOC(): the low `size` bytes (1, 2 or 4) big-endian, top bit flipped.
void appendBinToC(std::int64_t value, unsigned size, std::string* out);

// Julian day number of a civil date (1995-02-01 is 2449750).
std::int64_t julianDay(int year, int month, int day);
void civilFromJulian(std::int64_t jd, int* year, int* month, int* day);

} // namespace pu::table::key
