#pragma once
// The checks dbftool check makes, the repair by reindex, and the independent readers' view.
#include <cstdint>
#include <string>

#include "platform/status.h"

namespace pu::proof {

// Structure as dbftool check sees it: header, record count against the file
// size, deleted flags and memo pointers. *count: the records the table holds.
Status checkStructure(const std::string& dbfPath, std::uint32_t* count);
// Every tag of the production index against the records (CompoundIndex::check).
Status checkTags(const std::string& dbfPath);
Status reindex(const std::string& dbfPath);

// Empty when python dbfread reads as many records (live and deleted) as we do, each with the same stored
// bytes of field; else how they differ.
std::string dbfreadDisagrees(const std::string& dbfPath, const std::string& field);

} // namespace pu::proof
