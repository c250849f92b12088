#include "platform/table/decimal_text.h"

#include <cmath>
#include <cstdint>

namespace pu::table {
namespace {

constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxDigits = 15;  // below 2^53: every such integer is a double

} // namespace

// M / 10^k with M and 10^k both exact doubles is one correctly rounded
// division, the same double strtod gives for the decimal text.
bool parseShortDecimal(std::string_view s, double* value) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\0')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  std::uint64_t mantissa = 0;
  int digits = 0, fraction = 0;
  bool point = false, any = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      any = true;
      if (mantissa == 0 && c == '0') {
        if (point) ++fraction;
        continue;
      }
      if (++digits > kMaxDigits) return false;
      mantissa = mantissa * 10 + std::uint64_t(c - '0');
      if (point) ++fraction;
    } else if (c == '.' && !point) {
      point = true;
    } else if (c == 'e' || c == 'E') {
      return false;
    } else {
      break;
    }
  }
  if (!any) {
    *value = 0;
    return true;
  }
  if (fraction > 22) return false;
  double v = double(mantissa) / kPowers[fraction];
  *value = negative ? -v : v;
  return true;
}

// printf rounds r = round(v * 10^d) / 10^d to d places. While that integer
// stays below 2^52, r lies within half a unit of the last place of it over
// 10^d, so the digits printed are the integer's with the point put in.
bool formatShortDecimal(double value, int decimals, char* out, std::size_t* length) {
  if (decimals < 0 || decimals > 18) return false;
  double scaled = std::round(value * kPowers[decimals]);
  if (!(std::fabs(scaled) < 4503599627370496.0)) return false;
  if (scaled == 0 && std::signbit(scaled)) return false;
  std::uint64_t m = std::uint64_t(std::fabs(scaled));
  char digits[24];
  int n = 0;
  do {
    digits[n++] = char('0' + m % 10);
    m /= 10;
  } while (m);
  while (n <= decimals) digits[n++] = '0';  // a zero before the point
  std::size_t at = 0;
  if (scaled < 0) out[at++] = '-';
  for (int k = n - 1; k >= 0; --k) {
    out[at++] = digits[k];
    if (k == decimals && decimals > 0) out[at++] = '.';
  }
  *length = at;
  return true;
}

} // namespace pu::table
