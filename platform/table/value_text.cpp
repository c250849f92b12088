#include "platform/table/value_text.h"

#include <charconv>
#include <cstdio>

#include "platform/text/ansi.h"

namespace pu::table {

std::string hexOf(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

std::string valueText(const Value& v) {
  char buf[64];
  switch (v.kind) {
    case Value::Kind::Null: return "";
    case Value::Kind::Text: {
      std::string_view b = v.bytes;
      while (!b.empty() && (b.back() == ' ' || b.back() == '\0')) b.remove_suffix(1);
      return toUtf8(fromAnsi(b));
    }
    case Value::Kind::Number: return v.bytes;
    case Value::Kind::Integer: return std::to_string(v.integer);
    case Value::Kind::Logical: return v.integer ? "T" : "F";
    case Value::Kind::Date:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", v.year, v.month, v.day);
      return buf;
    case Value::Kind::DateTime:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", v.year, v.month, v.day, v.hour, v.minute, v.second, v.ms);
      return buf;
    case Value::Kind::Currency: {
      std::int64_t whole = v.integer / 10000, frac = v.integer % 10000;
      std::snprintf(buf, sizeof buf, "%s%lld.%04lld", v.integer < 0 ? "-" : "", static_cast<long long>(whole < 0 ? -whole : whole),
                    static_cast<long long>(frac < 0 ? -frac : frac));
      return buf;
    }
    case Value::Kind::Double: {
      auto r = std::to_chars(buf, buf + sizeof buf, v.number);
      return std::string(buf, r.ptr);
    }
    case Value::Kind::Memo: return "memo@" + std::to_string(v.integer);
    case Value::Kind::Raw: return "0x" + hexOf(v.bytes);
  }
  return "";
}

} // namespace pu::table
