// New empty tables in either format, laid out as FoxPro lays them out.
#include <cctype>

#include "platform/table/table.h"

namespace pu::table {
namespace {

bool isMemoType(char t) { return t == 'M' || t == 'G' || t == 'W'; }

// Fixed widths of the types whose width the format decides; 0 when the caller chooses.
std::uint8_t fixedWidth(char type, TableFormat format) {
  switch (type) {
    case 'L': return 1;
    case 'D': return 8;
    case 'I': return 4;
    case 'T': case 'Y': case 'B': return 8;
    case 'M': case 'G': case 'W': return format == TableFormat::VisualFoxPro ? 4 : 10;
    default: return 0;
  }
}

Status checkField(const FieldSpec& f, TableFormat format, std::string_view path) {
  auto refuse = [&](const std::string& why) {
    return Status::invalidArgument("cannot create '" + std::string(path) + "': field '" + f.name + "' " + why);
  };
  if (f.name.empty() || f.name.size() > 10) return refuse("needs a name of 1 to 10 characters");
  for (char c : f.name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return refuse("has a character not allowed in names");
  }
  const std::string vfpOnly = "ITYBGWVQ";
  if (format == TableFormat::FoxPro2 && vfpOnly.find(f.type) != std::string::npos && f.type != 'G') return refuse("has a type FoxPro 2.x lacks");
  const std::string known = "CNFLDMITYBGWVQ";
  if (known.find(f.type) == std::string::npos) return refuse("has an unknown type");
  if (fixedWidth(f.type, format) == 0 && f.length == 0) return refuse("has length 0");
  if (f.type == 'C' && f.length > 254) return refuse("is wider than 254");
  if (f.type == 'N' || f.type == 'F') {
    if (f.length > 20) return refuse("is wider than 20");
    if (f.decimals > 0 && f.decimals + 2 > f.length) return refuse("has too many decimals for its width");
  }
  return Status::ok();
}

} // namespace

Status Table::create(std::string_view path, const std::vector<FieldSpec>& fields, TableFormat format) {
  if (fields.empty()) return Status::invalidArgument("cannot create '" + std::string(path) + "' without fields");
  DbfHeader h;
  bool memo = false;
  std::uint32_t offset = 1;
  for (const FieldSpec& wanted : fields) {
    Status s = checkField(wanted, format, path);
    if (!s) return s;
    FieldDef f;
    f.name = wanted.name;
    for (char& c : f.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (h.schema.indexOf(f.name) >= 0) return Status::invalidArgument("cannot create '" + std::string(path) + "': field '" + f.name + "' twice");
    f.type = wanted.type;
    std::uint8_t width = fixedWidth(wanted.type, format);
    f.length = width ? width : wanted.length;
    f.decimals = wanted.decimals;
    f.flags = format == TableFormat::VisualFoxPro ? wanted.flags : 0;
    f.offset = offset;
    offset += f.length;
    if (offset > 65500) return Status::invalidArgument("cannot create '" + std::string(path) + "': records too long");
    memo = memo || isMemoType(f.type);
    h.schema.fields.push_back(f);
    h.autoIncrement.push_back({});
  }
  h.schema.recordLength = static_cast<std::uint16_t>(offset);
  if (format == TableFormat::VisualFoxPro) {
    h.type = 0x30;
    h.flags = memo ? kHasMemo : 0;
  } else {
    h.type = memo ? 0xF5 : 0x03;
  }
  touchDate(&h);
  std::string bytes = encodeHeader(h);
  bytes.push_back(kEndOfFile);
  if (memo) {
    Status s = MemoFile::create(memoPathFor(path), 64);
    if (!s) return s;
  }
  return replaceFileAtomically(path, bytes);
}

} // namespace pu::table
