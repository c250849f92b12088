#pragma once
// Index keys that sort as FoxPro's machine collation sorts them, byte by byte:
// numbers as 8-byte big-endian doubles with the sign bit set for values >= 0
// and every bit inverted for negatives; integers as 4 big-endian bytes with
// the top bit flipped; dates as the Julian day number in the double form.
#include <cstdint>
#include <string>

namespace pu::table::key {

void appendDouble(double value, std::string* out);
void appendInt32(std::int32_t value, std::string* out);
// BINTOC(): the low `size` bytes (1, 2 or 4) big-endian, top bit flipped.
void appendBinToC(std::int64_t value, unsigned size, std::string* out);

// Dates go through julianDay and civilFromJulian of field_value.h.

} // namespace pu::table::key
