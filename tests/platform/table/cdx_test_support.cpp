#include "tests/platform/table/cdx_test_support.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace pu::test {

table::FieldDef fieldOf(std::string name, char type, std::uint8_t length, std::uint8_t decimals) {
  table::FieldDef f;
  f.name = std::move(name);
  f.type = type;
  f.length = length;
  f.decimals = decimals;
  return f;
}

table::TableSchema makeSchema(std::vector<table::FieldDef> fields) {
  table::TableSchema schema;
  std::uint32_t offset = 1;
  for (auto& f : fields) {
    f.offset = offset;
    offset += f.length;
  }
  schema.fields = std::move(fields);
  schema.recordLength = std::uint16_t(offset);
  return schema;
}

Status MemoryRecords::readRecord(std::uint32_t recno, std::string* bytes) {
  if (recno == 0 || recno > records.size()) return Status::notFound("no record " + std::to_string(recno));
  *bytes = records[recno - 1];
  return Status::ok();
}

Status MemoryRecords::readMemo(std::uint32_t block, std::string* text) {
  auto it = memos.find(block);
  if (it != memos.end()) {
    *text = it->second;
    return Status::ok();
  }
  if (memoFile.size() < 512) return Status::corruption("no memo block " + std::to_string(block));
  std::size_t blockSize = (static_cast<unsigned char>(memoFile[6]) << 8) | static_cast<unsigned char>(memoFile[7]);
  std::size_t at = std::size_t(block) * blockSize;
  if (blockSize == 0 || at + 8 > memoFile.size()) return Status::corruption("memo block out of range");
  std::size_t length = 0;
  for (int i = 4; i < 8; ++i) length = length << 8 | static_cast<unsigned char>(memoFile[at + std::size_t(i)]);
  if (at + 8 + length > memoFile.size()) return Status::corruption("memo cut short");
  *text = memoFile.substr(at + 8, length);
  return Status::ok();
}

const table::FieldDef& MemoryRecords::field(std::string_view name) const {
  for (const auto& f : m_schema.fields)
    if (f.name == name) return f;
  throw std::logic_error("test uses an unknown field");
}

void MemoryRecords::setChar(std::string& record, std::string_view name, std::string_view value) const {
  const auto& f = field(name);
  std::string v(value.substr(0, f.length));
  v.resize(f.length, ' ');
  record.replace(f.offset, f.length, v);
}

void MemoryRecords::setInt(std::string& record, std::string_view name, std::int32_t value) const {
  const auto& f = field(name);
  auto u = std::uint32_t(value);
  for (int i = 0; i < 4; ++i) record[f.offset + std::size_t(i)] = char(u >> (8 * i));
}

void MemoryRecords::setNumber(std::string& record, std::string_view name, double value) const {
  const auto& f = field(name);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%*.*f", int(f.length), int(f.decimals), value);
  record.replace(f.offset, f.length, std::string(buf).substr(0, f.length));
}

void MemoryRecords::setDate(std::string& record, std::string_view name, int y, int m, int d) const {
  const auto& f = field(name);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
  record.replace(f.offset, 8, buf);
}

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t le(const std::string& s, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + std::size_t(i)]);
  return v;
}

} // namespace

Status readDbfForTest(const std::string& dbfPath, std::unique_ptr<MemoryRecords>* out) {
  std::string d = slurp(dbfPath);
  if (d.size() < 32) return Status::corruption(dbfPath + ": too short");
  std::uint32_t count = le(d, 4, 4), headerLength = le(d, 8, 2), recordLength = le(d, 10, 2);
  table::TableSchema schema;
  schema.recordLength = std::uint16_t(recordLength);
  schema.codePageMark = static_cast<std::uint8_t>(d[29]);
  int bit = 0;
  for (std::size_t at = 32; at + 32 <= d.size() && d[at] != 0x0D; at += 32) {
    table::FieldDef f;
    f.name = std::string(d.data() + at, 11);
    f.name.resize(f.name.find('\0') == std::string::npos ? 11 : f.name.find('\0'));
    for (auto& c : f.name) c = char(std::toupper(static_cast<unsigned char>(c)));
    f.type = d[at + 11];
    f.offset = le(d, at + 12, 4);
    f.length = static_cast<std::uint8_t>(d[at + 16]);
    f.decimals = static_cast<std::uint8_t>(d[at + 17]);
    f.flags = static_cast<std::uint8_t>(d[at + 18]);
    if (f.type == 'V' || f.type == 'Q') f.varLengthBit = bit++;
    if (f.flags & table::kFieldNullable) f.nullBit = bit++;
    schema.fields.push_back(f);
  }
  auto records = std::make_unique<MemoryRecords>(schema);
  for (std::uint32_t r = 0; r < count; ++r) {
    std::size_t at = headerLength + std::size_t(r) * recordLength;
    if (at + recordLength > d.size()) return Status::corruption(dbfPath + ": records cut short");
    records->records.push_back(d.substr(at, recordLength));
  }
  records->memoFile = slurp(dbfPath.substr(0, dbfPath.size() - 4) + ".fpt");
  *out = std::move(records);
  return Status::ok();
}

} // namespace pu::test
