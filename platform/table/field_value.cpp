#include "platform/table/field_value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/table/bytes.h"

namespace pu::table {
namespace {

std::string_view fieldBytes(const FieldDef& f, std::string_view record) { return record.substr(f.offset, f.length); }

Value raw(std::string_view b) {
  Value v;
  v.kind = Value::Kind::Raw;
  v.bytes.assign(b);
  return v;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) if (c < '0' || c > '9') return false;
  return true;
}

// Digits with an optional sign, point and exponent; anything else (the
// asterisks of an overflowed field, stray letters) is no number.
bool parseDecimal(std::string_view s, double* out) {
  if (s.empty() || s.size() > 64) return false;
  bool sawDigit = false;
  for (char c : s) {
    if (c >= '0' && c <= '9') sawDigit = true;
    else if (c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E') return false;
  }
  if (!sawDigit) return false;
  char buf[72];
  std::memcpy(buf, s.data(), s.size());
  buf[s.size()] = '\0';
  char* end = nullptr;
  *out = std::strtod(buf, &end);
  return end == buf + s.size();
}

Value decodeNumber(std::string_view b) {
  std::string_view t = trim(b);
  Value v;
  if (t.empty()) return v;  // blank: Null
  if (!parseDecimal(t, &v.number)) return raw(b);
  v.kind = Value::Kind::Number;
  v.bytes.assign(t);
  return v;
}

Value decodeLogical(std::string_view b) {
  Value v;
  if (b.size() != 1) return raw(b);
  switch (b[0]) {
    case 'T': case 't': case 'Y': case 'y': v.kind = Value::Kind::Logical; v.integer = 1; return v;
    case 'F': case 'f': case 'N': case 'n': v.kind = Value::Kind::Logical; v.integer = 0; return v;
    case ' ': case '?': case '\0': return v;
    default: return raw(b);
  }
}

Value decodeDate(std::string_view b) {
  Value v;
  if (b.size() != 8) return raw(b);
  if (trim(b).empty()) return v;
  if (!allDigits(b)) return raw(b);
  v.year = (b[0] - '0') * 1000 + (b[1] - '0') * 100 + (b[2] - '0') * 10 + (b[3] - '0');
  v.month = (b[4] - '0') * 10 + (b[5] - '0');
  v.day = (b[6] - '0') * 10 + (b[7] - '0');
  if (v.month < 1 || v.month > 12 || v.day < 1 || v.day > 31) return raw(b);
  v.kind = Value::Kind::Date;
  return v;
}

Value decodeDateTime(std::string_view b) {
  Value v;
  if (b.size() != 8) return raw(b);
  std::int64_t jd = static_cast<std::int32_t>(getLe(b, 0, 4));
  std::uint32_t ms = getLe(b, 4, 4);
  if (jd == 0 && ms == 0) return v;
  if (jd < 0 || ms >= 86400000u) return raw(b);
  v.kind = Value::Kind::DateTime;
  civilFromJulian(jd, &v.year, &v.month, &v.day);
  v.hour = static_cast<int>(ms / 3600000u);
  v.minute = static_cast<int>(ms / 60000u % 60);
  v.second = static_cast<int>(ms / 1000u % 60);
  v.ms = static_cast<int>(ms % 1000u);
  return v;
}

Value decodeBinary(char type, std::string_view b) {
  Value v;
  if (type == 'I') {
    if (b.size() != 4) return raw(b);
    v.kind = Value::Kind::Integer;
    v.integer = static_cast<std::int32_t>(getLe(b, 0, 4));
    return v;
  }
  if (b.size() != 8) return raw(b);
  std::uint64_t bits = (static_cast<std::uint64_t>(getLe(b, 4, 4)) << 32) | getLe(b, 0, 4);
  if (type == 'Y') {
    v.kind = Value::Kind::Currency;
    v.integer = static_cast<std::int64_t>(bits);
    return v;
  }
  v.kind = Value::Kind::Double;
  std::memcpy(&v.number, &bits, sizeof bits);
  return v;
}

Value decodeVariable(const TableSchema& schema, const FieldDef& f, std::string_view record) {
  std::string_view b = fieldBytes(f, record);
  Value v;
  v.kind = f.type == 'V' && !(f.flags & kFieldBinary) ? Value::Kind::Text : Value::Kind::Raw;
  const FieldDef* nf = schema.find("_NullFlags");
  if (f.varLengthBit >= 0 && nf) {
    std::size_t byte = static_cast<std::size_t>(f.varLengthBit / 8);
    if (byte < nf->length && (static_cast<unsigned char>(record[nf->offset + byte]) >> (f.varLengthBit % 8)) & 1) {
      std::size_t used = static_cast<unsigned char>(b.back());
      if (used >= b.size()) return raw(b);
      b = b.substr(0, used);
    }
  }
  v.bytes.assign(b);
  return v;
}

Value decodeMemo(const FieldDef& f, std::string_view record) {
  std::uint32_t block = 0;
  if (!memoBlock(f, record, &block)) return raw(fieldBytes(f, record));
  Value v;
  v.kind = Value::Kind::Memo;
  v.integer = block;
  return v;
}

Status place(const FieldDef& f, std::string_view bytes, std::string* record) {
  if (bytes.size() != f.length || f.offset + f.length > record->size()) {
    return Status::invalidArgument("value does not fit field '" + f.name + "'");
  }
  record->replace(f.offset, f.length, bytes);
  return Status::ok();
}

Status wrongType(const FieldDef& f, const char* what) {
  return Status::invalidArgument(std::string("cannot store ") + what + " in field '" + f.name + "' of type " + f.type);
}

Status encodeDigits(const FieldDef& f, const char* digits, std::string* record) {
  std::size_t n = std::strlen(digits);
  if (n > f.length) return Status::invalidArgument("value too wide for field '" + f.name + "'");
  std::string b(f.length - n, ' ');
  b += digits;
  return place(f, b, record);
}

} // namespace

bool plainInteger(const FieldDef& f, std::string_view record, std::int64_t* value) {
  if (f.nullBit >= 0 || std::size_t(f.offset) + f.length > record.size()) return false;
  const char* p = record.data() + f.offset;
  if (f.type == 'I' && f.length == 4) {
    *value = static_cast<std::int32_t>(getLe(record, f.offset, 4));
    return true;
  }
  if (f.type != 'N' && f.type != 'F') return false;
  std::size_t i = 0, n = f.length;
  while (i < n && p[i] == ' ') ++i;
  const bool negative = i < n && p[i] == '-';
  if (negative) ++i;
  if (i == n || n - i > 15) return false;
  std::int64_t v = 0;
  for (; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return false;
    v = v * 10 + (p[i] - '0');
  }
  *value = negative ? -v : v;
  return true;
}

bool isNull(const TableSchema& schema, const FieldDef& f, std::string_view record) {
  if (f.nullBit < 0) return false;
  const FieldDef* nf = schema.find("_NullFlags");
  if (!nf) return false;
  std::size_t byte = static_cast<std::size_t>(f.nullBit / 8);
  if (byte >= nf->length) return false;
  return (static_cast<unsigned char>(record[nf->offset + byte]) >> (f.nullBit % 8)) & 1;
}

Value decodeField(const TableSchema& schema, const FieldDef& f, std::string_view record) {
  if (isNull(schema, f, record)) return Value{};
  std::string_view b = fieldBytes(f, record);
  switch (f.type) {
    case 'C': {
      Value v;
      v.kind = (f.flags & kFieldBinary) ? Value::Kind::Raw : Value::Kind::Text;
      v.bytes.assign(b);
      return v;
    }
    case 'N': case 'F': return decodeNumber(b);
    case 'L': return decodeLogical(b);
    case 'D': return decodeDate(b);
    case 'T': return decodeDateTime(b);
    case 'I': case 'Y': case 'B': return decodeBinary(f.type, b);
    case 'M': case 'G': case 'W': return decodeMemo(f, record);
    case 'V': case 'Q': return decodeVariable(schema, f, record);
    default: return raw(b);
  }
}

Status memoBlock(const FieldDef& f, std::string_view record, std::uint32_t* block) {
  std::string_view b = fieldBytes(f, record);
  if (f.length == 4) {
    *block = getLe(b, 0, 4);
    return Status::ok();
  }
  if (f.length == 10) {
    std::string_view t = trim(b);
    *block = 0;
    if (t.empty()) return Status::ok();
    if (!allDigits(t)) return Status::corruption("memo pointer of field '" + f.name + "' is not a number");
    std::uint64_t n = 0;
    std::from_chars(t.data(), t.data() + t.size(), n);
    if (n > 0xFFFFFFFFu) return Status::corruption("memo pointer of field '" + f.name + "' out of range");
    *block = static_cast<std::uint32_t>(n);
    return Status::ok();
  }
  return Status::corruption("memo field '" + f.name + "' has width " + std::to_string(f.length));
}

Status encodeText(const FieldDef& f, std::string_view text, std::string* record) {
  if (f.type != 'C') return wrongType(f, "text");
  std::string b(text.substr(0, f.length));
  b.resize(f.length, ' ');
  return place(f, b, record);
}

Status encodeInteger(const FieldDef& f, std::int64_t value, std::string* record) {
  if (f.type == 'I') {
    if (value < INT32_MIN || value > INT32_MAX) return Status::invalidArgument("value too large for field '" + f.name + "'");
    std::string b(4, '\0');
    putLe(b, 0, static_cast<std::uint32_t>(value), 4);
    return place(f, b, record);
  }
  if (f.type == 'Y') {
    if (value > INT64_MAX / 10000 || value < INT64_MIN / 10000) return Status::invalidArgument("value too large for field '" + f.name + "'");
    std::uint64_t bits = static_cast<std::uint64_t>(value * 10000);
    std::string b(8, '\0');
    putLe(b, 0, static_cast<std::uint32_t>(bits), 4);
    putLe(b, 4, static_cast<std::uint32_t>(bits >> 32), 4);
    return place(f, b, record);
  }
  if (f.type == 'N' || f.type == 'F') {
    char digits[48];
    if (f.decimals > 0) std::snprintf(digits, sizeof digits, "%lld.%0*d", static_cast<long long>(value), static_cast<int>(f.decimals), 0);
    else std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
    return encodeDigits(f, digits, record);
  }
  return encodeNumber(f, static_cast<double>(value), record);
}

Status encodeNumber(const FieldDef& f, double value, std::string* record) {
  if (!std::isfinite(value)) return Status::invalidArgument("not a number for field '" + f.name + "'");
  if (f.type == 'B') {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    std::string b(8, '\0');
    putLe(b, 0, static_cast<std::uint32_t>(bits), 4);
    putLe(b, 4, static_cast<std::uint32_t>(bits >> 32), 4);
    return place(f, b, record);
  }
  if (f.type == 'I' || f.type == 'Y') return encodeInteger(f, std::llround(value), record);
  if (f.type != 'N' && f.type != 'F') return wrongType(f, "a number");
  if (std::fabs(value) >= 1e20) return Status::invalidArgument("value too wide for field '" + f.name + "'");
  char digits[64];
  std::snprintf(digits, sizeof digits, "%.*f", static_cast<int>(f.decimals), value);
  return encodeDigits(f, digits, record);
}

Status encodeLogical(const FieldDef& f, bool value, std::string* record) {
  if (f.type != 'L') return wrongType(f, "a logical");
  return place(f, value ? "T" : "F", record);
}

Status encodeDate(const FieldDef& f, int year, int month, int day, std::string* record) {
  if (f.type != 'D') return wrongType(f, "a date");
  if (year < 0 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return Status::invalidArgument("bad date for field '" + f.name + "'");
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04d%02d%02d", year, month, day);
  return place(f, digits, record);
}

Status encodeMemoBlock(const FieldDef& f, std::uint32_t block, std::string* record) {
  if (f.type != 'M' && f.type != 'G' && f.type != 'W') return wrongType(f, "a memo pointer");
  if (f.length == 4) {
    std::string b(4, '\0');
    putLe(b, 0, block, 4);
    return place(f, b, record);
  }
  if (f.length != 10) return Status::corruption("memo field '" + f.name + "' has width " + std::to_string(f.length));
  if (block == 0) return place(f, std::string(10, ' '), record);
  char digits[16];
  std::snprintf(digits, sizeof digits, "%10u", block);
  return place(f, digits, record);
}

void clearNull(const TableSchema& schema, const FieldDef& f, std::string* record) {
  if (f.nullBit < 0) return;
  const FieldDef* nf = schema.find("_NullFlags");
  std::size_t byte = static_cast<std::size_t>(f.nullBit / 8);
  if (!nf || byte >= nf->length || nf->offset + byte >= record->size()) return;
  char& flags = (*record)[nf->offset + byte];
  flags = static_cast<char>(static_cast<unsigned char>(flags) & ~(1u << (f.nullBit % 8)));
}

void encodeBlank(const FieldDef& f, std::string* record) {
  bool binary = f.type == 'I' || f.type == 'T' || f.type == 'Y' || f.type == 'B' || f.type == '0' ||
                ((f.type == 'M' || f.type == 'G' || f.type == 'W') && f.length == 4);
  record->replace(f.offset, f.length, std::string(f.length, binary ? '\0' : ' '));
}

std::int64_t julianDay(int year, int month, int day) {
  std::int64_t a = (14 - month) / 12;
  std::int64_t y = year + 4800 - a;
  std::int64_t m = month + 12 * a - 3;
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

void civilFromJulian(std::int64_t jd, int* year, int* month, int* day) {
  std::int64_t a = jd + 32044;
  std::int64_t b = (4 * a + 3) / 146097;
  std::int64_t c = a - 146097 * b / 4;
  std::int64_t d = (4 * c + 3) / 1461;
  std::int64_t e = c - 1461 * d / 4;
  std::int64_t m = (5 * e + 2) / 153;
  *day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  *month = static_cast<int>(m + 3 - 12 * (m / 10));
  *year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

} // namespace pu::table
