#include "db/database_helper.h"

#include <memory>

#include "db/array_list.h"
#include "db/codebase.h"
#include "db/codebase_wrappers.h"
#include "db/result_code.h"
#include "util/general.h"

namespace pu {
namespace {

std::int32_t tagHandle(std::int32_t table, const Text& name) {
  return name.empty() ? 0 : d4tag(table, toAnsi(name).c_str());
}

} // namespace

Text DatabaseHelper::CurrentID() const {
  const Iteration* it = innermost();
  return it ? FieldStr(it->table.identityField) : Text();
}

void DatabaseHelper::EndSeek() {
  if (m_depth == 0) return;
  m_stack[m_depth] = Iteration{};
  --m_depth;
}

void DatabaseHelper::RecordPosition() {
  if (m_depth > 0) m_stack[m_depth].savedRecord = d4recNo(m_stack[m_depth].table.table);
}

void DatabaseHelper::RestorePosition() {
  closePending();
  if (const Iteration* it = innermost()) LastResult = d4go(it->table.table, it->savedRecord);
}

std::int32_t DatabaseHelper::tableFor(const Text& table) const {
  if (!table.empty()) return OpenTable(table).table;
  const Iteration* it = innermost();
  return it ? it->table.table : 0;
}

std::int32_t DatabaseHelper::fieldHandle(const Text& field, const Text& table) const {
  std::int32_t handle = tableFor(table);
  return handle > 0 ? d4field(handle, toAnsi(field).c_str()) : 0;
}

Text DatabaseHelper::FieldValStr(const Text& field, const Text& table) {
  return TrimSpaces(FieldStr(fieldHandle(field, table)));
}

Text DatabaseHelper::FieldValMemoStr(const Text& field, const Text& table) {
  return TrimSpaces(MemoFieldStr(fieldHandle(field, table)));
}

std::int32_t DatabaseHelper::FieldValLng(const Text& field, const Text& table) { return f4long(fieldHandle(field, table)); }

bool DatabaseHelper::FieldValB(const Text& field, const Text& table) { return f4true(fieldHandle(field, table)) != 0; }

// Locks the current record of the table and gives the field to assign; 0
// when there is none or the lock was not had.
std::int32_t DatabaseHelper::writableField(const Text& field, const Text& table) {
  std::int32_t handle = tableFor(table);
  if (handle <= 0 || LockRecord(handle) != kResultSuccess) return 0;
  return d4field(handle, toAnsi(field).c_str());
}

bool DatabaseHelper::SetFieldLng(const Text& field, const Text& table, std::int32_t value) {
  if (FieldValLng(field, table) == value) return true;
  std::int32_t f = writableField(field, table);
  return f != 0 && (LastResult = f4assignLong(f, value)) == kResultSuccess;
}

bool DatabaseHelper::SetFieldStr(const Text& field, const Text& table, const Text& value) {
  if (FieldValStr(field, table) == value) return true;
  std::int32_t f = writableField(field, table);
  return f != 0 && (LastResult = AssignFieldStr(f, value)) == kResultSuccess;
}

bool DatabaseHelper::SetFieldMemoStr(const Text& field, const Text& table, const Text& value) {
  if (FieldValMemoStr(field, table) == value) return true;
  std::int32_t f = writableField(field, table);
  return f != 0 && (LastResult = f4memoAssign(f, toAnsi(value).c_str())) == kResultSuccess;
}

bool DatabaseHelper::SetFieldValB(const Text& field, const Text& table, bool value) {
  if (FieldValB(field, table) == value) return true;
  std::int32_t f = writableField(field, table);
  return f != 0 && (LastResult = AssignFieldInt(f, value ? -1 : 0)) == kResultSuccess;
}

void DatabaseHelper::closePending() {
  if (!m_pending) return;
  m_pending = false;
  EndSeek();
}

bool DatabaseHelper::SeekStep(const TableRec& table, std::int32_t tag, const Text& key) {
  closePending();
  if (table.table == 0) return false;
  const Iteration* it = innermost();
  bool continues = it && it->table.table == table.table && it->tag == tag && it->key == key;
  if (!continues) {
    if (m_depth == kMaxDepth) return false;  // the callers never nest this deep
    m_stack[++m_depth] = Iteration{table, tag, key, false, 0};
  }
  Iteration& entry = m_stack[m_depth];
  bool byKey = !key.empty() && tag != 0;
  std::string ansiKey = toAnsi(key);
  auto next = [&] { return byKey ? d4seekNext(table.table, ansiKey.c_str()) : d4skip(table.table, 1); };
  std::int16_t result;
  if (!entry.started) {
    entry.started = true;
    d4tagSelect(table.table, tag);
    result = byKey ? d4seek(table.table, ansiKey.c_str()) : d4top(table.table);
  } else {
    // An inner walk on the same table may have selected another tag; the
    // next step must follow this walk's own order.
    d4tagSelect(table.table, tag);
    result = next();
  }
  // Records marked deleted wait for a pack that may not have run (another
  // program had the table open): to every walk they are gone already.
  while (result == 0 && d4deleted(table.table) != 0) result = next();
  LastResult = result;
  if (result == 0) return true;
  EndSeek();
  return false;
}

bool DatabaseHelper::SeekNextByTag(const TableRec& table, const Text& tagName, const Text& key) {
  if (table.table == 0) return false;
  std::int32_t tag = tagHandle(table.table, tagName);
  // Without the tag a keyed seek would walk the table from its first record
  // and the caller would take that record for the one it asked for.
  if (tag == 0 && !tagName.empty() && !key.empty()) return false;
  return SeekStep(table, tag, key);
}

bool DatabaseHelper::FindFirst(const TableRec& table, const Text& tagName, const Text& key) {
  closePending();
  if (!SeekNextByTag(table, tagName, key)) return false;
  m_pending = true;
  return true;
}

BoundedArray<std::int32_t> DatabaseHelper::FieldLongList(const TableRec& table, const Text& tagName, const Text& key,
                                                         const Text& fieldName, std::int16_t firstIndex) {
  std::int32_t tag = tagHandle(table.table, tagName);
  std::int32_t field = d4field(table.table, toAnsi(fieldName).c_str());
  ArrayList list;
  if (firstIndex != 0) list.Reset(firstIndex);
  while (SeekStep(table, tag, key)) list.AddItem(f4long(field));
  return list.ToArray();
}

DatabaseHelper& DbHelper() {
  static std::unique_ptr<DatabaseHelper> helper = std::make_unique<DatabaseHelper>();
  return *helper;
}

} // namespace pu
