#include <iostream>

#include "platform/table/table.h"
#include "tools/dbftool/commands.h"

namespace dbftool {

using pu::table::Table;

int info(const std::string& path, std::ostream& out) {
  std::unique_ptr<Table> t;
  pu::Status s = Table::open(path, false, &t);
  if (!s) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  const pu::table::DbfHeader& h = t->header();
  char type[8];
  std::snprintf(type, sizeof type, "0x%02X", h.type);
  out << "file: " << t->path() << "\n"
      << "type: " << type << (h.isVisualFoxPro() ? " (Visual FoxPro)" : " (FoxPro 2.x)") << "\n"
      << "last update: " << int(h.year) << "-" << int(h.month) << "-" << int(h.day) << " (year mod 100)\n"
      << "records: " << t->recordCount();
  if (t->headerRecordCount() != t->recordCount()) out << " (header says " << t->headerRecordCount() << ")";
  out << "\nheader length: " << h.headerLength << "\nrecord length: " << h.schema.recordLength
      << "\nflags: " << int(h.flags) << ((h.flags & 1) ? " structural-index" : "") << ((h.flags & 2) ? " memo" : "")
      << ((h.flags & 4) ? " database" : "") << "\ncode page: " << pu::table::codePageOfMark(h.schema.codePageMark)
      << " (mark " << int(h.schema.codePageMark) << ")\n";
  std::string backlink = h.backlink.substr(0, h.backlink.find('\0'));
  if (!backlink.empty()) out << "database: " << backlink << "\n";
  out << "fields: " << h.schema.fields.size() << "\n";
  for (std::size_t i = 0; i < h.schema.fields.size(); ++i) {
    const pu::table::FieldDef& f = h.schema.fields[i];
    out << "  " << f.name << " " << f.type << "(" << int(f.length);
    if (f.decimals) out << "," << int(f.decimals);
    out << ") offset " << f.offset << " flags " << int(f.flags);
    if (h.autoIncrement[i].step) out << " autoinc next " << h.autoIncrement[i].next << " step " << int(h.autoIncrement[i].step);
    out << "\n";
  }
  return 0;
}

} // namespace dbftool
