// Lists the entries of a table's index tags in tag order, for comparing an
// index with what other tools list. Per tag a header line:
//   TAG name KEY "expression" FOR "expression" FLAGS flag,flag
// then one line per entry: the record number, a tab, and the key, in double
// quotes when every byte is printable ASCII and as 0x-prefixed hex otherwise.
#include <iostream>

#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "platform/table/value_text.h"
#include "tools/dbftool/commands.h"

namespace dbftool {
namespace {

using pu::Status;
using pu::table::CompoundIndex;

std::string flagsOf(const CompoundIndex& index, int tag) {
  pu::table::TagSpec definition = index.tagSpec(tag);
  std::string flags;
  auto add = [&flags](bool on, const char* name) {
    if (!on) return;
    if (!flags.empty()) flags += ',';
    flags += name;
  };
  add(definition.unique, "unique");
  add(definition.candidate, "candidate");
  add(definition.descending, "descending");
  add(definition.nullable, "nullable");
  return flags.empty() ? "-" : flags;
}

std::string keyText(const std::string& key) {
  for (unsigned char c : key)
    if (c < 0x20 || c > 0x7E) return "0x" + pu::table::hexOf(key);
  return "\"" + key + "\"";
}

Status listTag(CompoundIndex& index, int tag, std::ostream& out) {
  pu::table::TagSpec definition = index.tagSpec(tag);
  out << "TAG " << definition.name << " KEY \"" << definition.keyExpr << "\" FOR \"" << definition.forExpr << "\" FLAGS "
      << flagsOf(index, tag) << "\n";
  pu::table::TagCursor cursor;
  Status s = index.first(tag, &cursor);
  std::string key;
  std::uint32_t recno = 0;
  while (s && cursor.valid) {
    s = index.entry(tag, cursor, &key, &recno);
    if (!s) break;
    out << recno << '\t' << keyText(key) << '\n';
    s = index.next(tag, &cursor);
  }
  return s;
}

} // namespace

int keys(const std::string& path, const std::string& tagName, std::ostream& out) {
  std::unique_ptr<pu::table::Table> t;
  Status s = pu::table::Table::open(path, false, &t);
  std::unique_ptr<CompoundIndex> index;
  pu::table::CdxOpenOptions options;
  options.writable = false;
  if (s) s = CompoundIndex::open(pu::table::indexPathFor(t->path()), *t, &index, options);
  if (!s) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  int only = -1;
  if (!tagName.empty() && (only = index->findTag(tagName)) < 0) {
    std::cerr << index->path() << ": no tag " << tagName << "\n";
    return 1;
  }
  int code = 0;
  for (int tag = 0; tag < index->tagCount(); ++tag) {
    if (only >= 0 && tag != only) continue;
    if (s = listTag(*index, tag, out); !s) {
      std::cerr << s.message() << "\n";
      code = 1;
    }
  }
  return code;
}

} // namespace dbftool
