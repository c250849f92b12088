#pragma once
// Records in memory for index tests: the tests change them at will and tell
// the index, as the table's write path would.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/table/record_index.h"
#include "platform/table/table.h"

namespace pu::test {

// A field as makeSchema takes it: the offset is filled in there.
table::FieldDef fieldOf(std::string name, char type, std::uint8_t length, std::uint8_t decimals = 0);
// Offsets and the record length filled in from the fields' lengths.
table::TableSchema makeSchema(std::vector<table::FieldDef> fields);

class MemoryRecords : public table::RecordSource {
public:
  explicit MemoryRecords(table::TableSchema schema) : m_schema(std::move(schema)) {}
  // Every record of a table file, read by the engine, which also serves its memos.
  static std::unique_ptr<MemoryRecords> load(const std::string& dbfPath);

  const table::TableSchema& schema() const override { return m_schema; }
  std::uint32_t recordCount() const override { return std::uint32_t(records.size()); }
  Status readRecord(std::uint32_t recno, std::string* bytes) override;
  Status readMemo(std::uint32_t block, std::string* text) override;

  std::string blank() const { return std::string(m_schema.recordLength, ' '); }
  void setChar(std::string& record, std::string_view field, std::string_view value) const;
  void setInt(std::string& record, std::string_view field, std::int32_t value) const;
  void setNumber(std::string& record, std::string_view field, double value) const;  // N: right-aligned text
  void setDate(std::string& record, std::string_view field, int year, int month, int day) const;

  std::vector<std::string> records;  // record n is records[n - 1]

private:
  const table::FieldDef& field(std::string_view name) const;
  table::TableSchema m_schema;
  std::unique_ptr<table::Table> m_file;
};

} // namespace pu::test
