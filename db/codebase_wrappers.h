#pragma once
// The system's wrappers around the table library calls: text conversion,
// the lock retry and the fatal open failure. Most store the last code or
// handle they received in LastResult. Including this header gives the
// library calls too, as the one module that declares both.
#include <cstdint>
#include <functional>

#include "db/codebase.h"
#include "db/result_code.h"
#include "platform/text/ansi.h"

namespace pu {

struct TableRec;

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
void AppendBlank(std::int32_t table);
// Locks the current record. While another program holds it, waits with
// window events running; after kLockWaitAttempts tries of 10 ms the user is
// asked to retry or to give up. False when no record is locked (none is
// current, the user gave up, or the lock failed otherwise): the caller must
// then write nothing.
bool LockRecord(std::int32_t table);
constexpr int kLockWaitAttempts = 200;
// Marks the current record of a registry table deleted; it stays in the file
// until the table is packed. True when the record is marked.
bool DeleteRecord(const TableRec& table);

// OpenDbf's first step for a file that does not exist: the course-table
// registry copies the blank table into place (given the .dbf path and the
// flag). Without a hook the open simply fails.
using MissingTableHook = std::function<void(const Text& path, std::int16_t emptyIfCreated)>;
void setMissingTableHook(MissingTableHook hook);

} // namespace pu
