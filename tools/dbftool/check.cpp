// Structure check: header and fields (Table::open), record count against the
// file size, every record's deleted flag and memo pointers.
#include <iostream>

#include "platform/fs/file_system.h"
#include "platform/table/cdx_index.h"
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

// Every tag of the production index, when the table has one, against the records.
pu::Status checkTags(Table& t, int* tagCount) {
  *tagCount = 0;
  std::string path = pu::table::indexPathFor(t.path());
  if (!pu::FileSystem::instance().modifiedTime(path)) {
    return t.hasStructuralIndex() ? pu::Status::corruption("table '" + t.path() + "': its production index is missing")
                                  : pu::Status::ok();
  }
  std::unique_ptr<pu::table::CompoundIndex> index;
  pu::table::CdxOpenOptions options;
  options.writable = false;
  pu::Status s = pu::table::CompoundIndex::open(path, t, &index, options);
  if (s) s = index->check();
  if (s) *tagCount = index->tagCount();
  return s;
}

} // namespace

pu::Status countMatchesFile(const Table& t) {
  if (t.headerRecordCount() <= t.recordCount()) return pu::Status::ok();
  return pu::Status::corruption("table '" + t.path() + "': header counts " + std::to_string(t.headerRecordCount()) +
                                " records but the file holds " + std::to_string(t.recordCount()) + " at offset 4");
}

pu::Status checkTable(const std::string& path, TableCheck* result) {
  std::unique_ptr<Table> t;
  pu::Status s = Table::open(path, false, &t);
  if (s) s = countMatchesFile(*t);
  if (s) s = checkRecords(*t);
  if (s) s = checkTags(*t, &result->tags);
  if (s) result->records = t->recordCount();
  return s;
}

int check(const std::string& path, std::ostream& out) {
  TableCheck result;
  pu::Status s = checkTable(path, &result);
  if (!s) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  out << pu::FileSystem::instance().resolve(path) << ": ok, " << result.records << " records, " << result.tags << " tags\n";
  return 0;
}

} // namespace dbftool
