#pragma once
// The .dbf header: a fixed part, one descriptor per field, a terminator and,
// in Visual FoxPro tables, the database-container backlink.
//
//   offset  size  content
//   0       1     type: 0x30 0x31 0x32 Visual FoxPro; 0x03 0xF5 0xFB FoxPro 2.x
//   1       3     date of last update: year mod 100, month, day
//   4       4     record count (little-endian, as every number here)
//   8       2     header length: offset of the first record
//   10      2     record length, deleted flag included
//   28      1     flags: 0x01 structural .cdx, 0x02 memo file, 0x04 database container
//   29      1     code-page mark (0x03 Windows-1252)
//   32      32*n  field descriptors:
//                   0 name (11 bytes, NUL padded)   11 type
//                   12 offset in the record (4)     16 length   17 decimals
//                   18 flags (schema.h FieldFlag)   19 autoincrement next value (4)
//                   23 autoincrement step
//   32+32n  1     0x0D terminator
//   then    263   Visual FoxPro only: backlink, the .dbc path or NUL bytes
//
// Records follow at the header length: a deleted flag (' ' or '*') and the
// fields side by side; after the last record a 0x1A end-of-file byte.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "platform/table/schema.h"

namespace pu::table {

constexpr std::size_t kHeaderPrefixSize = 32;
constexpr std::size_t kDescriptorSize = 32;
constexpr std::size_t kBacklinkSize = 263;
constexpr char kHeaderTerminator = 0x0D;
constexpr char kEndOfFile = 0x1A;
constexpr char kDeletedMark = '*';
constexpr char kLiveMark = ' ';

enum HeaderFlag : std::uint8_t { kHasStructuralIndex = 0x01, kHasMemo = 0x02, kHasDatabase = 0x04 };

struct AutoIncrement {
  std::uint32_t next = 0;
  std::uint8_t step = 0;
};

struct DbfHeader {
  std::uint8_t type = 0x30;
  std::uint8_t year = 0, month = 1, day = 1;  // year mod 100
  std::uint32_t recordCount = 0;
  std::uint16_t headerLength = 0;
  std::uint8_t flags = 0;
  TableSchema schema;
  std::vector<AutoIncrement> autoIncrement;  // one per field
  std::string backlink;                      // empty for FoxPro 2.x tables

  bool isVisualFoxPro() const { return type == 0x30 || type == 0x31 || type == 0x32; }
};

bool isKnownTableType(std::uint8_t type);

// Reads the fixed 32 bytes: type, date, count, header and record length, flags.
Status decodeHeaderPrefix(std::string_view bytes, const std::string& file, DbfHeader* header);

// Reads the whole header (headerLength bytes, prefix included) and checks that
// the fields fit the record: no zero-length field, widths adding up to the
// record length, stored offsets agreeing with the widths.
Status decodeHeader(std::string_view bytes, const std::string& file, DbfHeader* header);

// Bytes 0..headerLength-1 of the header; the header length is recomputed.
std::string encodeHeader(DbfHeader header);

// Bytes 1..7 (date and record count) for updating a header in place.
std::string encodeDateAndCount(const DbfHeader& header);

// Stamps today's date.
void touchDate(DbfHeader* header);

// Windows code page of a code-page mark, 0 when unknown.
int codePageOfMark(std::uint8_t mark);

} // namespace pu::table
