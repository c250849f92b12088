#pragma once
// Tag names, collations and expression words compare without regard to the
// case of their ASCII letters.
#include <cctype>
#include <string>
#include <string_view>

namespace pu::table {

inline std::string upperAscii(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = char(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

} // namespace pu::table
