// Structure check: header and fields (Table::open), record count against the
// file size, every record's deleted flag and memo pointers.
#include <iostream>

#include "platform/table/table.h"
#include "tools/dbftool/commands.h"

namespace dbftool {
namespace {

using pu::table::FieldDef;
using pu::table::Table;

pu::Status checkRecords(Table& t) {
  for (std::uint32_t r = 1; r <= t.recordCount(); ++r) {
    std::string_view rec;
    pu::Status s = t.recordView(r, &rec);
    if (!s) return s;
    if (rec[0] != ' ' && rec[0] != '*') {
      return pu::Status::corruption("table '" + t.path() + "': record " + std::to_string(r) + " has deleted flag byte " +
                                    std::to_string(static_cast<unsigned char>(rec[0])));
    }
  }
  for (std::uint32_t r = 1; r <= t.recordCount(); ++r) {
    pu::Status s = t.go(r);
    if (!s) return s;
    for (const FieldDef& f : t.schema().fields) {
      if (f.type != 'M' && f.type != 'G' && f.type != 'W') continue;
      std::string memo;
      s = t.memoText(f, &memo);
      if (!s) return pu::Status::corruption(s.message() + " (record " + std::to_string(r) + ", field " + f.name + ")");
    }
  }
  return pu::Status::ok();
}

} // namespace

int check(const std::string& path, std::ostream& out) {
  std::unique_ptr<Table> t;
  pu::Status s = Table::open(path, false, &t);
  if (s && t->headerRecordCount() > t->recordCount()) {
    s = pu::Status::corruption("table '" + t->path() + "': header counts " + std::to_string(t->headerRecordCount()) +
                               " records but the file holds " + std::to_string(t->recordCount()) + " at offset 4");
  }
  if (s) s = checkRecords(*t);
  if (!s) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  out << t->path() << ": ok, " << t->recordCount() << " records\n";
  return 0;
}

} // namespace dbftool
