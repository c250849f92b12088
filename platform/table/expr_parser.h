#pragma once
// Parses an xBase key or FOR expression and resolves its field names against
// a table's schema. What we cannot evaluate exactly as FoxPro does (unknown
// functions, fields missing from the table, mixed types) is refused with
// Status::Code::Unsupported rather than approximated.
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "platform/table/expr_ast.h"
#include "platform/table/schema.h"

namespace pu::table::expr {

// Long field names of a database container, upper case, mapped to the
// names stored in the .dbf (upper case).
using FieldNameMap = std::map<std::string, std::string>;

struct ParseOptions {
  const FieldNameMap* longNames = nullptr;
  // Case mapping is known for Windows-1252 only; on other code pages
  // UPPER() and LOWER() are refused.
  bool caseMappingKnown = true;
  // Resolve a name longer than 10 characters by its first 10. A guess, used
  // only to learn a tag's key type where nothing is written.
  bool guessTruncatedNames = false;
};

Status parse(std::string_view text, const TableSchema& schema, const ParseOptions& options,
             std::unique_ptr<Node>* root);

} // namespace pu::table::expr
