#pragma once
// The layout of a table's records as its .dbf header describes it. Shared by
// the record codec, the expression engine and the index.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pu::table {

// Field flag bits of the descriptor's byte 18.
enum FieldFlag : std::uint8_t {
  kFieldSystem = 0x01,    // hidden, e.g. _NullFlags
  kFieldNullable = 0x02,
  kFieldBinary = 0x04,    // NOCPTRANS
  kFieldAutoIncrement = 0x0C,
};

struct FieldDef {
  std::string name;            // as stored (upper case, at most 10 bytes)
  char type = 'C';             // C N F I L D T Y B M G W V Q ...
  std::uint32_t offset = 0;    // from the start of the record; byte 0 is the deleted flag
  std::uint8_t length = 0;
  std::uint8_t decimals = 0;
  std::uint8_t flags = 0;
  int nullBit = -1;            // bit in _NullFlags telling the value is NULL, -1 when none
  int varLengthBit = -1;       // V/Q fields: bit telling the last byte holds the used length
};

struct TableSchema {
  std::vector<FieldDef> fields;  // in record order, _NullFlags included
  std::uint16_t recordLength = 1;
  std::uint8_t codePageMark = 0x03;  // header byte 29; 0x03 is Windows-1252

  // Case-insensitive; nullptr when there is no such field.
  const FieldDef* find(std::string_view name) const;
  int indexOf(std::string_view name) const;  // -1 when none
};

} // namespace pu::table
