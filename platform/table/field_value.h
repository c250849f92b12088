#pragma once
// Decoding and encoding of one field's bytes inside a record.
//
//   type  bytes                         read as
//   C     text, blank padded            Text (bytes as stored)
//   N F   ASCII number, right aligned   Number (blank: Null)
//   I     int32 little-endian           Integer
//   L     'T' 'Y' / 'F' 'N' / ' ' '?'   Logical (blank, '?': Null)
//   D     "YYYYMMDD"                    Date (blank: Null)
//   T     int32 Julian day, int32 ms    DateTime (both 0: Null)
//   Y     int64 / 10000 little-endian   Currency (integer holds the scaled value)
//   B     IEEE double little-endian     Double
//   M G W memo block: 4-byte binary (Visual FoxPro) or 10 ASCII digits (2.x)
//   V Q   bytes; used length in the last byte when the _NullFlags bit says so
// A field whose bytes do not fit its type (wrong width, garbage digits) is
// read as Raw bytes rather than guessed at. NULL comes from _NullFlags.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "platform/table/schema.h"

namespace pu::table {

struct Value {
  enum class Kind { Null, Text, Number, Integer, Logical, Date, DateTime, Currency, Double, Memo, Raw };
  Kind kind = Kind::Null;
  std::string bytes;         // Text, Raw, V/Q contents; Number: the digits as stored, trimmed
  double number = 0;         // Number, Double
  std::int64_t integer = 0;  // Integer, Currency (x10000), Memo (block), Logical (0/1)
  int year = 0, month = 0, day = 0;              // Date, DateTime
  int hour = 0, minute = 0, second = 0, ms = 0;  // DateTime
};

// record is the whole record (deleted flag at 0); its length must be the
// schema's record length.
Value decodeField(const TableSchema& schema, const FieldDef& field, std::string_view record);

// The value of an I field, or of an N or F field holding digits (at most
// 15, right-aligned, an optional minus sign), straight from the bytes:
// the common case of decodeField for callers that want a whole number.
// False for every other field or text; decodeField then decides.
bool plainInteger(const FieldDef& field, std::string_view record, std::int64_t* value);

// True when the field's _NullFlags bit is set.
bool isNull(const TableSchema& schema, const FieldDef& field, std::string_view record);

// Memo block of an M/G/W field; 0 when empty. Corruption for bytes that are no pointer.
Status memoBlock(const FieldDef& field, std::string_view record, std::uint32_t* block);

// Encoders write into record at the field's place, leaving it unchanged on error.
Status encodeText(const FieldDef& field, std::string_view text, std::string* record);   // C: blank padded, cut to width
Status encodeInteger(const FieldDef& field, std::int64_t value, std::string* record);  // N F I Y B
Status encodeNumber(const FieldDef& field, double value, std::string* record);         // N F B
Status encodeLogical(const FieldDef& field, bool value, std::string* record);          // L
Status encodeDate(const FieldDef& field, int year, int month, int day, std::string* record);  // D
Status encodeMemoBlock(const FieldDef& field, std::uint32_t block, std::string* record);       // M G W
// Clears the field's _NullFlags bit: a stored value is no longer NULL.
void clearNull(const TableSchema& schema, const FieldDef& field, std::string* record);
// Blank value of the field's type, as an appended blank record holds it.
void encodeBlank(const FieldDef& field, std::string* record);

// Julian day number of a Gregorian date and back.
std::int64_t julianDay(int year, int month, int day);
void civilFromJulian(std::int64_t jd, int* year, int* month, int* day);

} // namespace pu::table
