#pragma once
// Values as display text (UTF-8), for listings and tools. Memo fields show
// their block number here; the text lives in the memo file.
#include <string>

#include "platform/table/field_value.h"

namespace pu::table {

// Text fields lose their trailing blanks; raw bytes come out as 0x-prefixed hex.
std::string valueText(const Value& value);
std::string hexOf(std::string_view bytes);

} // namespace pu::table
