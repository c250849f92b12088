// Parses any text as a key or FOR expression and evaluates what parses, over
// a fixed record: statuses only, never a crash or unbounded recursion.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/table/expr_eval.h"
#include "platform/table/expr_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static pu::table::TableSchema schema = [] {
    pu::table::TableSchema s;
    pu::table::FieldDef name, num, day, flag, id;
    name.name = "NAME", name.length = 10, name.offset = 1;
    num.name = "NUM", num.type = 'N', num.length = 8, num.decimals = 2, num.offset = 11;
    day.name = "DAY", day.type = 'D', day.length = 8, day.offset = 19;
    flag.name = "FLAG", flag.type = 'L', flag.length = 1, flag.offset = 27;
    id.name = "ID", id.type = 'I', id.length = 4, id.offset = 28;
    s.fields = {name, num, day, flag, id};
    s.recordLength = 32;
    return s;
  }();
  static const std::string record = std::string(" Smith       123.45") + "20240229" + "T" + std::string("\x07\0\0\0", 4);
  std::string text(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<pu::table::expr::Node> root;
  if (!pu::table::expr::parse(text, schema, {}, &root)) return 0;
  pu::table::expr::EvalContext ctx;
  ctx.schema = &schema;
  ctx.record = record;
  pu::table::expr::Value v;
  (void)pu::table::expr::evaluate(*root, ctx, &v);
  return 0;
}
