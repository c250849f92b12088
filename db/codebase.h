#pragma once
// The table library calls the system makes. Handles are 32-bit with 0 for
// none; results are 16-bit codes (db/result_code.h). Texts cross this
// boundary as single-byte ANSI strings, file paths as UTF-8 (so that every
// folder name reaches the file system unchanged); pointers handed out stay
// valid until the next call on the same table or field.
#include <cstdint>

namespace pu {

std::int32_t d4init_v();
std::int16_t code4autoOpen(std::int32_t context, std::int16_t value);   // previous value
std::int16_t code4errTagName(std::int32_t context, std::int16_t value); // previous value
std::int16_t code4errorCode(std::int32_t context, std::int16_t value);  // previous pending code
std::int16_t code4errOff(std::int32_t context, std::int16_t value);     // previous value
// What the last failure in the context was, in words ("" when none).
const char* code4errorText(std::int32_t context);

// Opens for reading and writing, or not at all: a table that cannot be
// changed (read-only, in exclusive use elsewhere) is refused, never opened
// for reading behind the caller's back.
std::int32_t d4open(std::int32_t context, const char* path);
std::int16_t d4close(std::int32_t table);
const char* d4fileNameVB(std::int32_t table);
std::int32_t d4recCountDo(std::int32_t table);
std::int32_t d4recNo(std::int32_t table);

std::int32_t d4tag(std::int32_t table, const char* name);
void d4tagSelect(std::int32_t table, std::int32_t tag);
std::int32_t d4tagSelected(std::int32_t table);
std::int32_t d4field(std::int32_t table, const char* name);

std::int16_t d4seek(std::int32_t table, const char* key);
std::int16_t d4seekNext(std::int32_t table, const char* key);
std::int16_t d4top(std::int32_t table);
std::int16_t d4skip(std::int32_t table, std::int32_t count);
std::int16_t d4go(std::int32_t table, std::int32_t recno);

std::int16_t d4appendStartVB(std::int32_t table, std::int16_t useMemo);
void d4blank(std::int32_t table);
// One try, as d4lock: kResultLocked at once while another program appends
// (AppendRecord waits and asks). The record stays pending until stored or
// the table moves elsewhere.
[[nodiscard]] std::int16_t d4append(std::int32_t table);
void d4delete(std::int32_t table);
std::int32_t d4deleted(std::int32_t table);
std::int16_t d4pack(std::int32_t table);
std::int16_t d4lock(std::int32_t table, std::int32_t recno);
std::int16_t d4unlock(std::int32_t table);

std::int32_t f4long(std::int32_t field);
std::int16_t f4int(std::int32_t field);
std::int32_t f4true(std::int32_t field);
std::int32_t f4len_v(std::int32_t field);
const char* f4ptr(std::int32_t field);
std::int32_t f4memoLenVB(std::int32_t field);
const char* f4memoPtr(std::int32_t field);
std::int16_t f4assignLong(std::int32_t field, std::int32_t value);
std::int16_t f4assignIntVB(std::int32_t field, std::int16_t value);
std::int16_t f4assignNVB(std::int32_t field, const char* text, std::int16_t length);
std::int16_t f4memoAssign(std::int32_t field, const char* text);

std::int32_t u4ncpy(char* destination, const char* source, std::uint32_t size);  // count copied
void u4memCpy(void* destination, const void* source, std::int32_t size);

} // namespace pu
