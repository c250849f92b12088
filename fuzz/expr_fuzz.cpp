// Parses any text as a key or FOR expression and evaluates what parses over
// a record of every field type, directly and as a tag's key and FOR clause:
// statuses only, never a crash or unbounded recursion, and every key built
// has the tag's fixed length.
// Input: the expression; after a NUL byte, bytes laid over the record from
// its deleted flag on (so damaged field bytes are reached too).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/table/expr_eval.h"
#include "platform/table/expr_parser.h"
#include "platform/table/key_builder.h"

namespace {

using pu::table::FieldDef;
using pu::table::TableSchema;

FieldDef field(const char* name, char type, std::uint8_t length, std::uint8_t decimals, std::uint32_t* offset) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.length = length;
  f.decimals = decimals;
  f.offset = *offset;
  *offset += length;
  return f;
}

TableSchema makeSchema() {
  TableSchema s;
  std::uint32_t at = 1;
  s.fields.push_back(field("NAME", 'C', 10, 0, &at));
  s.fields.push_back(field("NUM", 'N', 8, 2, &at));
  s.fields.push_back(field("DAY", 'D', 8, 0, &at));
  s.fields.push_back(field("FLAG", 'L', 1, 0, &at));
  s.fields.push_back(field("ID", 'I', 4, 0, &at));
  s.fields.push_back(field("STAMP", 'T', 8, 0, &at));
  s.fields.push_back(field("COST", 'Y', 8, 4, &at));
  s.fields.push_back(field("RATE", 'B', 8, 2, &at));
  s.fields.push_back(field("NOTES", 'M', 4, 0, &at));
  FieldDef v = field("V", 'V', 6, 0, &at);
  v.nullBit = 0;
  v.varLengthBit = 1;
  s.fields.push_back(v);
  FieldDef n = field("N2", 'N', 5, 0, &at);
  n.nullBit = 2;
  s.fields.push_back(n);
  s.fields.push_back(field("_NullFlags", '0', 1, 0, &at));
  s.recordLength = static_cast<std::uint16_t>(at);
  return s;
}

std::string makeRecord(const TableSchema& s) {
  std::string r = std::string(" Smith       123.4520240229T") + std::string("\x07\0\0\0", 4);
  std::int32_t stamp[2] = {2460000, 3600000};
  r.append(reinterpret_cast<const char*>(stamp), 8);
  std::int64_t cost = 1234567;
  r.append(reinterpret_cast<const char*>(&cost), 8);
  double rate = -0.5;
  r.append(reinterpret_cast<const char*>(&rate), 8);
  r.append("\x08\0\0\0", 4);
  r.append("abc\0\0\x03", 6);
  r.append("   42");
  r.push_back('\x02');  // V holds 3 bytes; no field is null
  r.resize(s.recordLength, ' ');
  return r;
}

class Memos : public pu::table::RecordSource {
public:
  explicit Memos(const TableSchema& s) : m_schema(s) {}
  const TableSchema& schema() const override { return m_schema; }
  std::uint32_t recordCount() const override { return 1; }
  pu::Status readRecord(std::uint32_t, std::string*) override { return pu::Status::unsupported("no records"); }
  pu::Status readMemo(std::uint32_t block, std::string* text) override {
    if (block != 8) return pu::Status::corruption("no memo at block " + std::to_string(block));
    *text = "a memo, longer than its field";
    return pu::Status::ok();
  }

private:
  const TableSchema& m_schema;
};

void asKey(std::string_view keyExpr, std::string_view forExpr, const std::string& record, Memos& memos,
           bool nullable) {
  const TableSchema& schema = memos.schema();
  pu::table::KeyBuilder builder;
  if (!builder.compile(keyExpr, forExpr, schema, {}, nullable)) return;
  std::string key;
  bool included = false;
  if (builder.build(record, &memos, &key, &included) && key.size() != builder.keyLength())
    __builtin_trap();  // keys of a tag all have its length
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const TableSchema schema = makeSchema();
  static const std::string base = makeRecord(schema);
  static Memos memos(schema);
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view text = input.substr(0, input.find('\0'));
  std::string record = base;
  if (text.size() < input.size()) {
    std::string_view over = input.substr(text.size() + 1);
    over = over.substr(0, record.size());
    record.replace(0, over.size(), over);
  }

  std::unique_ptr<pu::table::expr::Node> root;
  if (!pu::table::expr::parse(text, schema, {}, &root)) return 0;
  pu::table::expr::EvalContext ctx;
  ctx.schema = &schema;
  ctx.record = record;
  ctx.source = &memos;
  ctx.nullFlagsField = pu::table::expr::findNullFlagsField(schema);
  pu::table::expr::Value v;
  (void)pu::table::expr::evaluate(*root, ctx, &v);
  ctx.source = nullptr;
  (void)pu::table::expr::evaluate(*root, ctx, &v);

  asKey(text, "", record, memos, false);
  asKey(text, "", record, memos, true);
  asKey("NAME", text, record, memos, false);
  return 0;
}
