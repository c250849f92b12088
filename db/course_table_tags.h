#pragma once
// The production index tags of the course tables this program reads, as the
// sample database is written with them. A course database made elsewhere may
// define its tags its own way; these serve when a table's index is destroyed
// and its own definitions went with it.
#include <string_view>
#include <vector>

#include "platform/table/cdx_index.h"

namespace pu {

// The tags of a known course table (name without folder or extension, any
// letter case); nullptr for a table the registry has no tags for.
const std::vector<table::TagSpec>* KnownCourseTags(std::string_view tableName);

} // namespace pu
