#include "platform/table/expr_eval.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/table/decimal_text.h"
#include "platform/table/field_value.h"
#include "platform/table/key_codec.h"

namespace pu::table::expr {

unsigned char upperAnsi(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
  }
}

unsigned char lowerAnsi(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
  }
}

int findNullFlagsField(const TableSchema& schema) {
  for (std::size_t i = 0; i < schema.fields.size(); ++i) {
    std::string n = schema.fields[i].name;
    for (auto& c : n) c = char(std::toupper(static_cast<unsigned char>(c)));
    if (n == "_NULLFLAGS") return int(i);
  }
  return -1;
}

namespace {

bool flagBit(const EvalContext& ctx, int bit) {
  if (bit < 0 || ctx.nullFlagsField < 0) return false;
  const FieldDef& nf = ctx.schema->fields[std::size_t(ctx.nullFlagsField)];
  std::size_t byte = nf.offset + std::size_t(bit) / 8;
  if (std::size_t(bit) / 8 >= nf.length || byte >= ctx.record.size()) return false;
  return (static_cast<unsigned char>(ctx.record[byte]) >> (bit % 8)) & 1;
}

double parseNumber(std::string_view s) {
  double quick = 0;
  if (parseShortDecimal(s, &quick)) return quick;
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\0')) ++i;
  std::string t;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) t += s[i++];
  bool digits = false, dot = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      t += c;
      digits = true;
    } else if (c == '.' && !dot) {
      t += c;
      dot = true;
    } else if ((c == 'e' || c == 'E') && digits && i + 1 < s.size() &&
               ((s[i + 1] >= '0' && s[i + 1] <= '9') ||
                ((s[i + 1] == '-' || s[i + 1] == '+') && i + 2 < s.size() && s[i + 2] >= '0' && s[i + 2] <= '9'))) {
      t += c;
      t += s[++i];
      while (i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '9') t += s[++i];
      break;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  return std::strtod(t.c_str(), nullptr);
}

double asNumber(const Value& v) { return v.type == Type::Integer ? double(v.integer) : v.number; }

std::uint32_t readU32(std::string_view rec, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(rec[at + std::size_t(i)]);
  return v;
}

std::string formatStr(double n, int width, int decimals) {
  if (width <= 0) return {};
  width = std::min(width, 255);
  decimals = std::clamp(decimals, 0, 18);
  for (int d = decimals; d >= 0; --d) {
    char buf[400];
    std::size_t quick = 0;
    int len = 0;
    if (formatShortDecimal(n, d, buf, &quick)) {
      len = int(quick);
      buf[quick] = '\0';
    } else {
      double scale = std::pow(10.0, d);
      double r = std::round(n * scale) / scale;  // half away from zero, as FoxPro rounds
      len = std::snprintf(buf, sizeof buf, "%.*f", d, r);
    }
    if (len > 0 && len <= width) return std::string(std::size_t(width - len), ' ') + buf;
    if (len > 0 && d == 0) break;
  }
  return std::string(std::size_t(width), '*');
}

std::string dateText(double jd) {
  if (jd <= 0) return std::string(8, ' ');
  int y, m, d;
  civilFromJulian(std::int64_t(std::floor(jd)), &y, &m, &d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", std::clamp(y, 0, 9999), m, d);
  return buf;
}

int compareText(const std::string& a, const std::string& b) {
  std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : ' ';
    unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : ' ';
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

Status compare(Op op, const Value& a, const Value& b, Value* out) {
  out->type = Type::Logical;
  if (a.null || b.null) {
    out->null = true;
    return Status::ok();
  }
  int c;
  if (a.type == Type::Char) {
    if (op == Op::Eq || op == Op::Ne) {
      // SET EXACT OFF: the left side need only begin with the right side.
      bool eq = b.text.size() <= a.text.size() ? a.text.compare(0, b.text.size(), b.text) == 0
                                               : compareText(a.text, b.text) == 0;
      out->boolean = (op == Op::Eq) == eq;
      return Status::ok();
    }
    c = op == Op::ExactEq ? (a.text == b.text ? 0 : 1) : compareText(a.text, b.text);
  } else if (a.type == Type::Logical) {
    c = int(a.boolean) - int(b.boolean);
  } else {
    double x = asNumber(a), y = asNumber(b);
    c = x < y ? -1 : x > y ? 1 : 0;
  }
  switch (op) {
    case Op::Eq: case Op::ExactEq: out->boolean = c == 0; break;
    case Op::Ne: out->boolean = c != 0; break;
    case Op::Lt: out->boolean = c < 0; break;
    case Op::Le: out->boolean = c <= 0; break;
    case Op::Gt: out->boolean = c > 0; break;
    default: out->boolean = c >= 0; break;
  }
  return Status::ok();
}

bool isEmpty(const Value& v) {
  if (v.null) return false;
  switch (v.type) {
    case Type::Char: return v.text.find_first_not_of(" \t\r\n") == std::string::npos;
    case Type::Logical: return !v.boolean;
    case Type::Integer: return v.integer == 0;
    default: return v.number == 0;
  }
}

std::size_t constArg(const Node& n) {
  double v = n.number;
  return v < 0 ? 0 : v > 1000 ? 1000 : std::size_t(v);
}

// STR() of a numeric field whose bytes are digits as STR() writes them (an
// optional minus, no leading zero, no decimals asked for) is those bytes
// right-aligned in the width: what parsing and formatting would give, and
// the most common piece of an index key, without either.
bool strOfPlainDigits(const Node& n, const EvalContext& ctx, Value* out) {
  const Node& a = *n.args[0];
  if (a.op != Op::Field || (n.args.size() > 2 && constArg(*n.args[2]) != 0)) return false;
  const FieldDef& f = ctx.schema->fields[std::size_t(a.field)];
  if ((f.type != 'N' && f.type != 'F') || f.nullBit >= 0 || std::size_t(f.offset) + f.length > ctx.record.size())
    return false;
  const std::size_t width = std::min<std::size_t>(n.args.size() > 1 ? constArg(*n.args[1]) : 10, 255);
  std::string_view text = ctx.record.substr(f.offset, f.length);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  std::string_view digits = text.substr(!text.empty() && text.front() == '-' ? 1 : 0);
  if (digits.empty() || digits.size() > 15 || text.size() > width || (digits[0] == '0' && text.size() > 1)) return false;
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  out->text.assign(width - text.size(), ' ');
  out->text.append(text);
  return true;
}

} // namespace

Status fieldValue(const FieldDef& f, const EvalContext& ctx, Value* out) {
  if (std::size_t(f.offset) + f.length > ctx.record.size())
    return Status::corruption("record shorter than field " + f.name);
  std::string_view raw = ctx.record.substr(f.offset, f.length);
  out->null = flagBit(ctx, f.nullBit);
  switch (f.type) {
    case 'C': case 'V': case 'Q': {
      out->type = Type::Char;
      std::size_t len = raw.size();
      if ((f.type == 'V' || f.type == 'Q') && flagBit(ctx, f.varLengthBit) && !raw.empty())
        len = std::min<std::size_t>(static_cast<unsigned char>(raw.back()), raw.size());
      out->text.assign(raw.data(), len);
      return Status::ok();
    }
    case 'M': case 'G': case 'W': {
      out->type = Type::Char;
      out->text.clear();
      std::uint32_t block = raw.size() == 4 ? readU32(raw, 0) : std::uint32_t(parseNumber(raw));
      if (block == 0 || out->null) return Status::ok();
      if (!ctx.source) return Status::unsupported("memo field " + f.name + " without its memo file");
      return ctx.source->readMemo(block, &out->text);
    }
    case 'N': case 'F':
      out->type = Type::Numeric;
      out->number = parseNumber(raw);
      return Status::ok();
    case 'Y': {
      if (raw.size() < 8) return Status::corruption("currency field " + f.name + " shorter than 8 bytes");
      std::uint64_t v = std::uint64_t(readU32(raw, 4)) << 32 | readU32(raw, 0);
      out->type = Type::Numeric;
      out->number = double(std::int64_t(v)) / 10000.0;
      return Status::ok();
    }
    case 'B': {
      if (raw.size() < 8) return Status::corruption("double field " + f.name + " shorter than 8 bytes");
      std::uint64_t v = std::uint64_t(readU32(raw, 4)) << 32 | readU32(raw, 0);
      double d;
      std::memcpy(&d, &v, 8);
      out->type = Type::Numeric;
      out->number = d;
      return Status::ok();
    }
    case 'I':
      if (raw.size() < 4) return Status::corruption("integer field " + f.name + " shorter than 4 bytes");
      out->type = Type::Integer;
      out->integer = std::int32_t(readU32(raw, 0));
      return Status::ok();
    case 'D': {
      out->type = Type::Date;
      out->number = 0;
      if (raw.size() < 8) return Status::ok();
      int parts[3] = {0, 0, 0}, lens[3] = {4, 2, 2};
      std::size_t at = 0;
      for (int i = 0; i < 3; ++i)
        for (int k = 0; k < lens[i]; ++k, ++at) {
          char c = raw[at];
          if (c < '0' || c > '9') return Status::ok();  // blank or unreadable: the empty date
          parts[i] = parts[i] * 10 + (c - '0');
        }
      if (parts[1] >= 1 && parts[1] <= 12 && parts[2] >= 1 && parts[2] <= 31)
        out->number = double(julianDay(parts[0], parts[1], parts[2]));
      return Status::ok();
    }
    case 'T': {
      if (raw.size() < 8) return Status::corruption("datetime field " + f.name + " shorter than 8 bytes");
      std::int32_t day = std::int32_t(readU32(raw, 0));
      std::int32_t ms = std::int32_t(readU32(raw, 4));
      out->type = Type::DateTime;
      out->number = day == 0 ? 0.0 : double(day) + double(ms) / 86400000.0;
      return Status::ok();
    }
    case 'L': {
      out->type = Type::Logical;
      char c = raw.empty() ? ' ' : raw[0];
      out->boolean = c == 'T' || c == 't' || c == 'Y' || c == 'y';
      return Status::ok();
    }
    default:
      return Status::unsupported(std::string("field ") + f.name + " has type " + f.type);
  }
}

Status evaluate(const Node& n, const EvalContext& ctx, Value* out) {
  out->null = false;
  out->type = n.type;
  const auto& a = n.args;
  Value x, y;
  auto arg = [&](std::size_t i, Value* v) { return evaluate(*a[i], ctx, v); };
  switch (n.op) {
    case Op::Field:
      return fieldValue(ctx.schema->fields[std::size_t(n.field)], ctx, out);
    case Op::String: out->text = n.text; return Status::ok();
    case Op::Number: out->number = n.number; return Status::ok();
    case Op::Bool: out->boolean = n.boolean; return Status::ok();
    case Op::Deleted: out->boolean = !ctx.record.empty() && ctx.record[0] == '*'; return Status::ok();
    case Op::Str:
      if (strOfPlainDigits(n, ctx, out)) return Status::ok();
      break;
    case Op::Iif: {
      if (Status s = arg(0, &x); !s) return s;
      bool cond = !x.null && x.boolean;
      if (Status s = arg(cond ? 1 : 2, out); !s) return s;
      if (n.type == Type::Numeric && out->type == Type::Integer) out->number = out->integer;
      out->type = n.type;
      return Status::ok();
    }
    default: break;
  }
  // Every other operation evaluates all its arguments first.
  if (!a.empty())
    if (Status s = arg(0, &x); !s) return s;
  if (a.size() > 1)
    if (Status s = arg(1, &y); !s) return s;
  switch (n.op) {
    case Op::And: out->boolean = !x.null && x.boolean && !y.null && y.boolean; return Status::ok();
    case Op::Or: out->boolean = (!x.null && x.boolean) || (!y.null && y.boolean); return Status::ok();
    case Op::Not: out->null = x.null; out->boolean = !x.boolean; return Status::ok();
    case Op::Empty: out->boolean = isEmpty(x); return Status::ok();
    case Op::Eq: case Op::ExactEq: case Op::Ne: case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge:
      return compare(n.op, x, y, out);
    case Op::Contains:
      out->null = x.null || y.null;
      out->boolean = y.text.find(x.text) != std::string::npos;
      return Status::ok();
    default: break;
  }
  out->null = x.null || y.null;
  switch (n.op) {
    case Op::Add:
    case Op::Sub:
      if (n.type == Type::Char) {
        out->text = std::move(x.text);
        std::size_t blanks = 0;
        if (n.op == Op::Sub)  // trailing blanks of the left part move to the end
          while (blanks < out->text.size() && out->text[out->text.size() - 1 - blanks] == ' ') ++blanks;
        out->text.resize(out->text.size() - blanks);
        out->text += y.text;
        out->text.append(blanks, ' ');
      } else {
        out->number = n.op == Op::Add ? asNumber(x) + asNumber(y) : asNumber(x) - asNumber(y);
      }
      return Status::ok();
    case Op::Mul: out->number = asNumber(x) * asNumber(y); return Status::ok();
    case Op::Div:
      if (asNumber(y) == 0) return Status::invalidArgument("division by zero in an index expression");
      out->number = asNumber(x) / asNumber(y);
      return Status::ok();
    case Op::Neg: out->number = -asNumber(x); return Status::ok();
    case Op::Str: {
      int width = a.size() > 1 ? int(constArg(*a[1])) : 10;
      int dec = a.size() > 2 ? int(constArg(*a[2])) : 0;
      out->text = formatStr(asNumber(x), width, dec);
      return Status::ok();
    }
    case Op::Val: out->number = parseNumber(x.text); return Status::ok();
    case Op::Upper:
    case Op::Lower:
      out->text = std::move(x.text);
      for (auto& c : out->text) {
        auto u = static_cast<unsigned char>(c);
        c = char(n.op == Op::Upper ? upperAnsi(u) : lowerAnsi(u));
      }
      return Status::ok();
    case Op::AllTrim:
    case Op::LTrim:
    case Op::RTrim: {
      std::size_t b = 0, e = x.text.size();
      if (n.op != Op::RTrim)
        while (b < e && x.text[b] == ' ') ++b;
      if (n.op != Op::LTrim)
        while (e > b && x.text[e - 1] == ' ') --e;
      out->text = x.text.substr(b, e - b);
      return Status::ok();
    }
    case Op::Left: out->text = x.text.substr(0, std::min(constArg(*a[1]), x.text.size())); return Status::ok();
    case Op::Right: {
      std::size_t k = std::min(constArg(*a[1]), x.text.size());
      out->text = x.text.substr(x.text.size() - k);
      return Status::ok();
    }
    case Op::Substr: {
      std::size_t start = std::max<std::size_t>(1, constArg(*a[1])) - 1;
      if (start >= x.text.size()) {
        out->text.clear();
        return Status::ok();
      }
      std::size_t len = a.size() > 2 ? constArg(*a[2]) : x.text.size();
      out->text = x.text.substr(start, len);
      return Status::ok();
    }
    case Op::PadL:
    case Op::PadR: {
      std::size_t w = constArg(*a[1]);
      char fill = a.size() > 2 && !a[2]->text.empty() ? a[2]->text[0] : ' ';
      out->text = x.text.substr(0, std::min(w, x.text.size()));
      std::string pad(w - out->text.size(), fill);
      out->text = n.op == Op::PadL ? pad + out->text : out->text + pad;
      return Status::ok();
    }
    case Op::Dtos: out->text = dateText(x.number); return Status::ok();
    case Op::Ttoc: {
      if (x.number <= 0) {
        out->text.assign(14, ' ');
        return Status::ok();
      }
      double day = std::floor(x.number);
      long long secs = std::llround((x.number - day) * 86400.0);
      if (secs >= 86400) {
        secs -= 86400;
        day += 1;
      }
      char buf[16];
      std::snprintf(buf, sizeof buf, "%02d%02d%02d", int(secs / 3600), int(secs / 60 % 60), int(secs % 60));
      out->text = dateText(day) + buf;
      return Status::ok();
    }
    case Op::BinToC: {
      unsigned size = a.size() > 1 ? unsigned(constArg(*a[1])) : 4;
      double v = std::trunc(asNumber(x));
      double lim = std::ldexp(1.0, int(8 * size - 1));
      if (!(v >= -lim && v < lim)) return Status::invalidArgument("BINTOC() value out of range");
      out->text.clear();
      key::appendBinToC(std::int64_t(v), size, &out->text);
      return Status::ok();
    }
    default:
      return Status::unsupported("operation not evaluated");
  }
}

} // namespace pu::table::expr
