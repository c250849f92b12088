#pragma once
// Seeks and record-by-record walks over the course tables, several nested at
// once, and field reads and writes by field and table name. A walk is a
// series of SeekStep calls with the same arguments; an inner walk opened
// between two steps of an outer one closes itself when it runs out.
#include <array>
#include <cstdint>

#include "db/course_tables.h"
#include "util/bounded_array.h"

namespace pu {

class DatabaseHelper {
public:
  static constexpr int kMaxDepth = 25;

  Text CurrentID() const;
  void EndSeek();
  void RecordPosition();
  void RestorePosition();

  // table empty: the field of the innermost walk's table.
  Text FieldValStr(const Text& field, const Text& table = {});
  Text FieldValMemoStr(const Text& field, const Text& table = {});
  std::int32_t FieldValLng(const Text& field, const Text& table = {});
  bool FieldValB(const Text& field, const Text& table = {});

  // Lock the record and write, only when the value differs from the stored
  // one. True when the field holds the value afterwards; false when nothing
  // was written (the record lock was given up, the write failed; LastResult
  // holds the code).
  [[nodiscard]] bool SetFieldLng(const Text& field, const Text& table, std::int32_t value);
  [[nodiscard]] bool SetFieldStr(const Text& field, const Text& table, const Text& value);
  [[nodiscard]] bool SetFieldMemoStr(const Text& field, const Text& table, const Text& value);
  [[nodiscard]] bool SetFieldValB(const Text& field, const Text& table, bool value);

  // False when nothing more is found, and when a 26th walk would be opened.
  // Records marked deleted are passed over.
  bool SeekStep(const TableRec& table, std::int32_t tag, const Text& key);
  bool SeekNextByTag(const TableRec& table, const Text& tagName, const Text& key);
  // Leaves the walk open on the first match until the next stepping call.
  bool FindFirst(const TableRec& table, const Text& tagName, const Text& key);
  BoundedArray<std::int32_t> FieldLongList(const TableRec& table, const Text& tagName, const Text& key,
                                           const Text& fieldName, std::int16_t firstIndex);

  std::int16_t depth() const { return m_depth; }

private:
  struct Iteration {
    TableRec table;
    std::int32_t tag = 0;
    Text key;
    bool started = false;
    std::int32_t savedRecord = 0;
  };

  std::int32_t tableFor(const Text& table) const;
  std::int32_t fieldHandle(const Text& field, const Text& table) const;
  std::int32_t writableField(const Text& field, const Text& table);
  void closePending();
  const Iteration* innermost() const { return m_depth > 0 ? &m_stack[m_depth] : nullptr; }

  bool m_pending = false;
  std::array<Iteration, kMaxDepth + 1> m_stack{};  // entries 1..25
  std::int16_t m_depth = 0;
};

// The one helper of the program, created on first use.
DatabaseHelper& DbHelper();

} // namespace pu
