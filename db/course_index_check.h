#pragma once
// The production index of a table checked against its records before
// anything is changed, and rebuilt when it is wrong. Plain C++ over the
// table engine; start-up and dbftool share it.
#include <optional>
#include <string>
#include <vector>

#include "platform/status.h"

namespace pu {

struct IndexProblem {
  std::string table;  // the table's file name ("standard.dbf")
  std::string what;   // one line naming the index file, the tag and the fault
  bool unreadable = false;  // the index file itself cannot be read
};

// The course tables whose indexes start-up checks: the standards table, which
// every edit works on. The link and question tables, only read here, would
// add about two thirds to the check's time, beyond its budget on large
// databases; dbftool check covers them.
const std::vector<std::string>& CheckedCourseTables();

// Every tag of the table's production index against every record. Nothing
// is reported for a table without an index, or one that cannot be opened
// at all (opening it for use reports that).
std::optional<IndexProblem> CheckProductionIndex(const std::string& dbfPath);

// Rebuilds every tag from the records, by the index's own tag definitions;
// when the index cannot be read, by the registry's definitions of a known
// course table (*fromRegistry then true). Refused, never forced, while
// another program has the table open. The new index replaces the old one
// only when complete.
Status RebuildProductionIndex(const std::string& dbfPath, bool* fromRegistry);

} // namespace pu
