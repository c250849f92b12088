// Field reads and assignments through field handles. An assignment outside
// an append is written to the table at once, so no change waits in a buffer
// for a later move that may never come.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "db/codebase.h"
#include "db/codebase_state.h"
#include "db/result_code.h"

namespace pu {
namespace {

using codebase::OpenField;
using codebase::OpenTable;
using table::FieldDef;
using table::Value;

struct Bound {
  OpenTable* table = nullptr;
  OpenField* field = nullptr;
  const FieldDef* def = nullptr;
};

Bound bind(std::int32_t handle) {
  Bound b;
  b.field = codebase::field(handle);
  if (!b.field) return b;
  b.table = b.field->owner;
  b.def = codebase::fieldDef(*b.field);
  return b;
}

std::int64_t longOf(const Value& v) {
  switch (v.kind) {
    case Value::Kind::Number:
    case Value::Kind::Double: return static_cast<std::int64_t>(std::trunc(std::fmax(std::fmin(v.number, 9.2e18), -9.2e18)));
    case Value::Kind::Integer:
    case Value::Kind::Logical:
    case Value::Kind::Memo: return v.integer;
    case Value::Kind::Currency: return v.integer / 10000;
    case Value::Kind::Date: return table::julianDay(v.year, v.month, v.day);
    case Value::Kind::Text: return std::strtoll(v.bytes.c_str(), nullptr, 10);
    default: return 0;
  }
}

// Writes the change now unless an appended record is being filled.
std::int16_t commit(Bound& b, Status s) {
  if (s && !b.table->table->appending()) s = b.table->table->flush();
  if (!s) {
    b.table->table->revert();
    return codebase::fail(b.table->context, s);
  }
  return kResultSuccess;
}

Status assignFromText(table::Table& t, const FieldDef& f, std::string_view text) {
  switch (f.type) {
    case 'C': return t.assignText(f, text);
    case 'N': case 'F': case 'B': case 'I': case 'Y': {
      std::string digits(text);
      char* end = nullptr;
      double d = std::strtod(digits.c_str(), &end);
      if (end == digits.c_str() && digits.find_first_not_of(' ') != std::string::npos) {
        return Status::invalidArgument("'" + digits + "' is no number for field '" + f.name + "'");
      }
      return t.assignNumber(f, d);
    }
    case 'L': return t.assignLogical(f, !text.empty() && std::strchr("TtYy", text[0]) != nullptr);
    case 'D': {
      if (text.size() < 8) return Status::invalidArgument("date for field '" + f.name + "' must be YYYYMMDD");
      std::string d(text.substr(0, 8));
      long v = std::strtol(d.c_str(), nullptr, 10);
      return t.assignDate(f, static_cast<int>(v / 10000), static_cast<int>(v / 100 % 100), static_cast<int>(v % 100));
    }
    default: return Status::unsupported("cannot assign text to field '" + f.name + "' of type " + f.type);
  }
}

} // namespace

std::int32_t d4field(std::int32_t table, const char* name) {
  OpenTable* t = codebase::table(table);
  if (!t || !name) return 0;
  int index = t->table->schema().indexOf(name);
  if (index < 0) return 0;
  auto it = t->fieldHandles.find(index);
  if (it != t->fieldHandles.end()) return it->second;
  std::int32_t h = codebase::addField(table, index);
  t->fieldHandles[index] = h;
  return h;
}

std::int32_t f4long(std::int32_t field) {
  Bound b = bind(field);
  if (!b.def) return 0;
  std::int64_t quick = 0;
  if (table::plainInteger(*b.def, b.table->table->current(), &quick)) return static_cast<std::int32_t>(quick);
  return static_cast<std::int32_t>(longOf(b.table->table->value(*b.def)));
}

std::int16_t f4int(std::int32_t field) { return static_cast<std::int16_t>(f4long(field)); }

std::int32_t f4true(std::int32_t field) {
  Bound b = bind(field);
  if (!b.def) return 0;
  Value v = b.table->table->value(*b.def);
  if (v.kind == Value::Kind::Text) return !v.bytes.empty() && std::strchr("TtYy", v.bytes[0]) ? 1 : 0;
  return longOf(v) != 0 ? 1 : 0;
}

std::int32_t f4len_v(std::int32_t field) {
  Bound b = bind(field);
  return b.def ? b.def->length : 0;
}

const char* f4ptr(std::int32_t field) {
  Bound b = bind(field);
  if (!b.def) return nullptr;
  return b.table->table->current().data() + b.def->offset;
}

std::int32_t f4memoLenVB(std::int32_t field) {
  Bound b = bind(field);
  if (!b.def) return 0;
  if (b.def->type != 'M' && b.def->type != 'G' && b.def->type != 'W') return b.def->length;
  Status s = b.table->table->memoText(*b.def, &b.field->memo);
  if (!s) {
    b.field->memo.clear();
    codebase::fail(b.table->context, s);
  }
  return static_cast<std::int32_t>(b.field->memo.size());
}

const char* f4memoPtr(std::int32_t field) {
  Bound b = bind(field);
  if (!b.def) return nullptr;
  if (b.def->type != 'M' && b.def->type != 'G' && b.def->type != 'W') return f4ptr(field);
  f4memoLenVB(field);
  return b.field->memo.c_str();
}

std::int16_t f4assignLong(std::int32_t field, std::int32_t value) {
  Bound b = bind(field);
  if (!b.def) return kResultBadArgument;
  if (b.def->type == 'C') return commit(b, b.table->table->assignText(*b.def, std::to_string(value)));
  if (b.def->type == 'L') return commit(b, b.table->table->assignLogical(*b.def, value != 0));
  return commit(b, b.table->table->assignInteger(*b.def, value));
}

std::int16_t f4assignIntVB(std::int32_t field, std::int16_t value) { return f4assignLong(field, value); }

std::int16_t f4assignNVB(std::int32_t field, const char* text, std::int16_t length) {
  Bound b = bind(field);
  if (!b.def || (!text && length > 0)) return kResultBadArgument;
  std::string_view bytes(text ? text : "", length > 0 ? static_cast<std::size_t>(length) : 0);
  return commit(b, assignFromText(*b.table->table, *b.def, bytes));
}

std::int16_t f4memoAssign(std::int32_t field, const char* text) {
  Bound b = bind(field);
  if (!b.def) return kResultBadArgument;
  if (b.def->type != 'M') return commit(b, assignFromText(*b.table->table, *b.def, text ? text : ""));
  return commit(b, b.table->table->assignMemo(*b.def, text ? text : ""));
}

} // namespace pu
