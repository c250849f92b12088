#include <iostream>

#include "platform/table/table.h"
#include "platform/table/value_text.h"
#include "platform/text/ansi.h"
#include "tools/dbftool/commands.h"

namespace dbftool {
namespace {

using pu::table::FieldDef;
using pu::table::Table;
using pu::table::Value;

std::string csvQuote(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

// Memo text for text memos, hex for binary ones.
pu::Status fieldText(Table& t, const FieldDef& f, std::string* text) {
  Value v = t.value(f);
  if (v.kind != Value::Kind::Memo) {
    *text = pu::table::valueText(v);
    return pu::Status::ok();
  }
  std::string memo;
  pu::Status s = t.memoText(f, &memo);
  if (!s) return s;
  bool binary = f.type != 'M' || (f.flags & pu::table::kFieldBinary);
  *text = binary ? (memo.empty() ? "" : "0x" + pu::table::hexOf(memo)) : pu::toUtf8(pu::fromAnsi(memo));
  return pu::Status::ok();
}

} // namespace

int dump(const std::string& path, bool csv, std::ostream& out) {
  std::unique_ptr<Table> t;
  pu::Status s = Table::open(path, false, &t);
  if (!s) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  const auto& fields = t->schema().fields;
  if (csv) {
    out << "recno,deleted";
    for (const FieldDef& f : fields) out << "," << csvQuote(f.name);
    out << "\n";
  }
  for (std::uint32_t r = 1; r <= t->recordCount(); ++r) {
    s = t->go(r);
    if (!s) break;
    out << r << (csv ? "," : " ") << (t->isDeleted() ? "*" : (csv ? "" : " "));
    for (const FieldDef& f : fields) {
      std::string text;
      s = fieldText(*t, f, &text);
      if (!s) break;
      if (csv) out << "," << csvQuote(text);
      else out << " " << f.name << "=" << text;
    }
    out << "\n";
    if (!s) break;
  }
  if (s) s = countMatchesFile(*t);  // after the records that are there
  if (!s) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  return 0;
}

} // namespace dbftool
