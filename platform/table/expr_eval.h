#pragma once
// Evaluates a parsed expression on one record's bytes.
#include <string_view>

#include "platform/status.h"
#include "platform/table/expr_ast.h"
#include "platform/table/record_index.h"
#include "platform/table/schema.h"

namespace pu::table::expr {

struct EvalContext {
  const TableSchema* schema = nullptr;
  std::string_view record;         // deleted flag included
  RecordSource* source = nullptr;  // memo texts; none: memo fields are an error
  int nullFlagsField = -1;         // index of _NullFlags, -1 when the table has none
};

int findNullFlagsField(const TableSchema& schema);

Status evaluate(const Node& node, const EvalContext& ctx, Value* out);

// A field's value from the record bytes (shared by the key fast path).
Status fieldValue(const FieldDef& field, const EvalContext& ctx, Value* out);

// FoxPro's upper and lower case of Windows-1252 bytes.
unsigned char upperAnsi(unsigned char c);
unsigned char lowerAnsi(unsigned char c);

} // namespace pu::table::expr
