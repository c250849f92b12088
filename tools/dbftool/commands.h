#pragma once
// The subcommands of dbftool. Each returns the process exit code (0 done, 1
// a file unreadable, damaged or not written, 2 wrong arguments) and writes a
// message naming the file to standard error when the table is bad.
#include <cstdint>
#include <ostream>
#include <string>

#include "platform/table/table.h"

namespace dbftool {

// Corruption when the header counts more records than the file holds: the
// missing records are lost, and a tool that reads only those present must
// not call the result a success.
pu::Status countMatchesFile(const pu::table::Table& t);

// What a check of a table found when it passed.
struct TableCheck {
  std::uint32_t records = 0;
  int tags = 0;
};
// The check of `dbftool check`: the file's structure, every record's deleted
// flag and memo pointers, and every tag of its production index.
pu::Status checkTable(const std::string& path, TableCheck* result);

int info(const std::string& path, std::ostream& out);
int dump(const std::string& path, bool csv, std::ostream& out);
int check(const std::string& path, std::ostream& out);
int reindex(const std::string& path, std::ostream& out);
// tagName empty: every tag.
int keys(const std::string& path, const std::string& tagName, std::ostream& out);
int makeSample(const std::string& folder, std::int32_t extraNodes, std::ostream& out);

// The commands on a course database folder: its standards table's numbered
// backups, and the prefix window's two commands.
int backups(const std::string& folder, std::ostream& out);
int restore(const std::string& folder, std::int32_t number, std::ostream& out);
struct PrefixArguments {
  std::int32_t tree = 0, standard = 0;
  std::string identifier;  // the text highlighted in the standard's plain title
  bool includeParent = false, dryRun = false;
};
int prefix(const std::string& folder, const PrefixArguments& arguments, std::ostream& out);
int replaceColons(const std::string& folder, std::int32_t tree, bool dryRun, std::ostream& out);

} // namespace dbftool
