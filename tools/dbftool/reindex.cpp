// Rebuilds every tag of a table's production index from its records; the
// new index replaces the old one only when it is complete. An index that
// cannot be read is rebuilt from the registry's definitions of a known
// course table. A table that lacks records its header counts is refused: the
// index would be rebuilt over a table missing rows.
#include <iostream>

#include "db/course_index_check.h"
#include "platform/table/table.h"
#include "tools/dbftool/commands.h"

namespace dbftool {

int reindex(const std::string& path, std::ostream& out) {
  std::unique_ptr<pu::table::Table> t;
  pu::Status s = pu::table::Table::open(path, false, &t);
  if (s) s = countMatchesFile(*t);
  const std::string resolved = s ? t->path() : path;
  const std::uint32_t records = s ? t->recordCount() : 0;
  t.reset();
  bool fromRegistry = false;
  if (s) s = pu::RebuildProductionIndex(resolved, &fromRegistry);
  if (!s) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  out << pu::table::indexPathFor(resolved) << ": rebuilt over " << records << " records"
      << (fromRegistry ? " from the course-table registry's tag definitions (the index could not be read)" : "") << "\n";
  return 0;
}

} // namespace dbftool
