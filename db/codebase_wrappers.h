#pragma once
// The system's wrappers around the table library calls: text conversion,
// the lock retry and the fatal open failure. Most store the last code or
// handle they received in LastResult. Including this header gives the
// library calls too, as the one module that declares both.
#include <cstdint>
#include <functional>
#include <optional>

#include "db/codebase.h"
#include "db/result_code.h"
#include "platform/text/ansi.h"

namespace pu {

extern std::int32_t LastResult;
extern std::int32_t CodeBaseHandle;  // 0 until InitCodeBase

// At most 255 characters come back.
Text CPtrToStr(const char* pointer);
// The whole name, however long: the table registry keys on it.
Text DbfFileName(std::int32_t table);
Text FieldStr(std::int32_t field);
Text MemoFieldStr(std::int32_t field);
// The library's result code.
std::int16_t AssignFieldStr(std::int32_t field, const Text& text);
std::int16_t AssignFieldInt(std::int32_t field, std::int16_t value);
void InitCodeBase();
// Opens a table; a table that cannot be opened is reported, with the
// reason, and ends the program.
std::int32_t OpenDbf(const Text& path, std::int16_t emptyIfCreated);
void CloseDbf(std::int32_t& table);
void EmptyDbf(std::int32_t table);
bool SeekTag(std::int32_t table, std::int32_t tag, const Text& key);
// Starts a new record; the caller fills it and stores it with AppendRecord.
void AppendBlank(std::int32_t table);
// Stores the record AppendBlank started as the table's last. While another
// program appends, waits and asks as LockRecord does ("Table in Use").
// kResultSuccess when stored; kResultLocked when the user gave up waiting;
// another code when the append failed (events run during the wait that
// move the table drop the new record, which then fails too). Unless
// stored, nothing is written, and the table's next move drops the record.
[[nodiscard]] std::int16_t AppendRecord(std::int32_t table);
// Locks the record current at the call. While another program holds it,
// waits with window events running; after kLockWaitAttempts tries of 10 ms
// the user is asked to retry or to give up. The events may move the table:
// it is put back on that record before the call returns. kResultSuccess
// when locked; kResultLocked when the user gave up waiting; another code
// when there is no record (LastResult then keeps its value) or the lock
// failed. Unless locked, the caller must write nothing.
[[nodiscard]] std::int16_t LockRecord(std::int32_t table);
constexpr int kLockWaitAttempts = 200;

// How the library calls reach the user and the rest of the program: the
// course-table registry sets them when it first opens a table. Unset, a
// question is answered 0 (closed), no window events run, the program is not
// ended (the failed call returns its failure) and a missing table stays
// missing.
struct LibraryHooks {
  std::function<std::int32_t(const Text& message, std::int32_t options, const std::optional<Text>& title)> ask = {};
  std::function<void()> endProgram = {};
  std::function<void()> runPendingEvents = {};
  // OpenDbf's first step for a file that does not exist (the .dbf path and the flag).
  std::function<void(const Text& path, std::int16_t emptyIfCreated)> createMissingTable = {};
};
void setLibraryHooks(LibraryHooks hooks);

} // namespace pu
