// Rebuilds every tag of a table's production index from its records; the
// new index replaces the old one only when it is complete.
#include <iostream>

#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "tools/dbftool/commands.h"

namespace dbftool {

int reindex(const std::string& path, std::ostream& out) {
  std::unique_ptr<pu::table::Table> t;
  pu::Status s = pu::table::Table::open(path, true, &t);
  std::unique_ptr<pu::table::CompoundIndex> index;
  if (s) s = pu::table::CompoundIndex::open(pu::table::indexPathFor(t->path()), *t, &index);
  if (s) s = index->reindex();
  if (!s) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  out << index->path() << ": rebuilt " << index->tagCount() << " tags over " << t->recordCount() << " records\n";
  return 0;
}

} // namespace dbftool
