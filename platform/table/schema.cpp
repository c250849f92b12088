#include "platform/table/schema.h"

#include <cctype>

namespace pu::table {
namespace {

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (std::toupper(x) != std::toupper(y)) return false;
  }
  return true;
}

} // namespace

int TableSchema::indexOf(std::string_view name) const {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (sameName(fields[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

const FieldDef* TableSchema::find(std::string_view name) const {
  int i = indexOf(name);
  return i < 0 ? nullptr : &fields[static_cast<std::size_t>(i)];
}

} // namespace pu::table
