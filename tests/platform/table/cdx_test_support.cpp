#include "tests/platform/table/cdx_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
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

std::unique_ptr<MemoryRecords> MemoryRecords::load(const std::string& dbfPath) {
  std::unique_ptr<table::Table> t;
  Status s = table::Table::open(dbfPath, false, &t);
  EXPECT_TRUE(s) << s.message();
  if (!s) return nullptr;
  auto records = std::make_unique<MemoryRecords>(t->schema());
  records->records.resize(t->recordCount());
  for (std::uint32_t r = 1; s && r <= t->recordCount(); ++r) s = t->readRecord(r, &records->records[r - 1]);
  EXPECT_TRUE(s) << s.message();
  records->m_file = std::move(t);
  return records;
}

Status MemoryRecords::readRecord(std::uint32_t recno, std::string* bytes) {
  if (recno == 0 || recno > records.size()) return Status::notFound("no record " + std::to_string(recno));
  *bytes = records[recno - 1];
  return Status::ok();
}

Status MemoryRecords::readMemo(std::uint32_t block, std::string* text) {
  if (!m_file) return Status::notFound("no memo file");
  return m_file->readMemo(block, text);
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

} // namespace pu::test
