#pragma once
// The subcommands of dbftool. Each returns the process exit code and writes
// a message naming the file to standard error when the table is bad.
#include <cstdint>
#include <ostream>
#include <string>

#include "platform/table/table.h"

namespace dbftool {

// Corruption when the header counts more records than the file holds: the
// missing records are lost, and a tool that reads only those present must
// not call the result a success.
pu::Status countMatchesFile(const pu::table::Table& t);

int info(const std::string& path, std::ostream& out);
int dump(const std::string& path, bool csv, std::ostream& out);
int check(const std::string& path, std::ostream& out);
int reindex(const std::string& path, std::ostream& out);
// tagName empty: every tag.
int keys(const std::string& path, const std::string& tagName, std::ostream& out);
int makeSample(const std::string& folder, std::int32_t extraNodes, std::ostream& out);

} // namespace dbftool
