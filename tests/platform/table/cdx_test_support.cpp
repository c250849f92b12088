#include "tests/platform/table/cdx_test_support.h"

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
  if (!s) return nullptr;
  auto records = std::make_unique<MemoryRecords>(t->schema());
  records->records.resize(t->recordCount());
  for (std::uint32_t r = 1; s && r <= t->recordCount(); ++r) s = t->readRecord(r, &records->records[r - 1]);
  if (!s) return nullptr;
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

// The engine's field encoders fill the records; the index is what is under test.
const table::FieldDef& MemoryRecords::field(std::string_view name) const {
  const table::FieldDef* f = m_schema.find(name);
  if (!f) throw std::logic_error("test uses an unknown field");
  return *f;
}

void MemoryRecords::setChar(std::string& record, std::string_view name, std::string_view value) const {
  if (!table::encodeText(field(name), value, &record)) throw std::logic_error("test value does not fit its field");
}

void MemoryRecords::setInt(std::string& record, std::string_view name, std::int32_t value) const {
  if (!table::encodeInteger(field(name), value, &record)) throw std::logic_error("test value does not fit its field");
}

void MemoryRecords::setNumber(std::string& record, std::string_view name, double value) const {
  if (!table::encodeNumber(field(name), value, &record)) throw std::logic_error("test value does not fit its field");
}

void MemoryRecords::setDate(std::string& record, std::string_view name, int y, int m, int d) const {
  if (!table::encodeDate(field(name), y, m, d, &record)) throw std::logic_error("test value does not fit its field");
}

} // namespace pu::test
