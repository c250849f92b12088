#pragma once
// Decimal text to number and back without the C library's general
// routines, for the values key expressions meet all the time: digits with
// at most 15 significant figures. Both give exactly what strtod and
// printf("%.*f") give, and decline (false) whatever they cannot do exactly,
// so callers keep the general routine as the other path.
#include <cstddef>
#include <string_view>

namespace pu::table {

// Leading blanks, an optional sign, digits with an optional point and
// fraction, up to the first other byte (an exponent declines).
bool parseShortDecimal(std::string_view text, double* value);

// value rounded half away from zero to `decimals` places (0 to 18), written
// as printf's "%.*f" writes it; declines for |value| * 10^decimals >= 2^52
// and for a result that is zero with a minus sign.
bool formatShortDecimal(double value, int decimals, char* out, std::size_t* length);
constexpr std::size_t kShortDecimalRoom = 40;  // bytes `out` must hold

} // namespace pu::table
