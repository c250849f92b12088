#include "platform/table/dbf_header.h"

#include <ctime>

#include "platform/table/bytes.h"

namespace pu::table {
namespace {

Status bad(const std::string& file, std::size_t offset, const std::string& what) {
  return Status::corruption("table '" + file + "': " + what + " at offset " + std::to_string(offset));
}

std::string fieldName(std::string_view raw) {
  std::size_t end = raw.find('\0');
  return std::string(raw.substr(0, end));
}

// Null and variable-length flags live in _NullFlags, one bit each, given out
// in field order; a V/Q field takes its length bit before its null bit.
void assignNullBits(TableSchema* schema) {
  int bit = 0;
  for (FieldDef& f : schema->fields) {
    if (f.flags & kFieldSystem) continue;
    if (f.type == 'V' || f.type == 'Q') f.varLengthBit = bit++;
    if (f.flags & kFieldNullable) f.nullBit = bit++;
  }
}

Status decodeDescriptor(std::string_view d, std::size_t at, const std::string& file, std::uint32_t offset,
                        FieldDef* f, AutoIncrement* ai) {
  f->name = fieldName(d.substr(0, 11));
  f->type = d[11];
  f->length = static_cast<std::uint8_t>(d[16]);
  f->decimals = static_cast<std::uint8_t>(d[17]);
  f->flags = static_cast<std::uint8_t>(d[18]);
  ai->next = getLe(d, 19, 4);
  ai->step = static_cast<std::uint8_t>(d[23]);
  f->offset = offset;
  if (f->name.empty()) return bad(file, at, "field with an empty name");
  if (f->length == 0) return bad(file, at, "field '" + f->name + "' has length 0");
  std::uint32_t stored = getLe(d, 12, 4);
  if (stored != 0 && stored != offset) {
    return bad(file, at, "field '" + f->name + "' stored at record offset " + std::to_string(stored) +
                             " overlaps or leaves a gap (expected " + std::to_string(offset) + ")");
  }
  return Status::ok();
}

} // namespace

bool isKnownTableType(std::uint8_t type) {
  switch (type) {
    // dBASE types with .dbt memos (0x83, 0x8B) are refused rather than misread.
    case 0x30: case 0x31: case 0x32: case 0x03: case 0xF5: case 0xFB:
      return true;
    default:
      return false;
  }
}

Status decodeHeaderPrefix(std::string_view b, const std::string& file, DbfHeader* h) {
  if (b.size() < kHeaderPrefixSize) return bad(file, b.size(), "file too short for a table header");
  h->type = static_cast<std::uint8_t>(b[0]);
  if (!isKnownTableType(h->type)) {
    return Status::unsupported("table '" + file + "': unknown table type byte " + std::to_string(h->type) + " at offset 0");
  }
  h->year = static_cast<std::uint8_t>(b[1]);
  h->month = static_cast<std::uint8_t>(b[2]);
  h->day = static_cast<std::uint8_t>(b[3]);
  h->recordCount = getLe(b, 4, 4);
  h->headerLength = static_cast<std::uint16_t>(getLe(b, 8, 2));
  h->schema.recordLength = static_cast<std::uint16_t>(getLe(b, 10, 2));
  h->flags = static_cast<std::uint8_t>(b[28]);
  h->schema.codePageMark = static_cast<std::uint8_t>(b[29]);
  if (h->headerLength < kHeaderPrefixSize + kDescriptorSize + 1) {
    return bad(file, 8, "header length " + std::to_string(h->headerLength) + " too small");
  }
  if (h->schema.recordLength < 2) return bad(file, 10, "record length " + std::to_string(h->schema.recordLength) + " too small");
  return Status::ok();
}

Status decodeHeader(std::string_view b, const std::string& file, DbfHeader* h) {
  Status s = decodeHeaderPrefix(b, file, h);
  if (!s) return s;
  if (b.size() < h->headerLength) return bad(file, b.size(), "header cut short (header length " + std::to_string(h->headerLength) + ")");
  h->schema.fields.clear();
  h->autoIncrement.clear();
  std::uint32_t offset = 1;
  std::size_t at = kHeaderPrefixSize;
  while (true) {
    if (at >= h->headerLength) return bad(file, at, "field list without 0x0D terminator");
    if (b[at] == kHeaderTerminator) break;
    if (at + kDescriptorSize > h->headerLength) return bad(file, at, "field descriptor cut by the header length");
    FieldDef f;
    AutoIncrement ai;
    s = decodeDescriptor(b.substr(at, kDescriptorSize), at, file, offset, &f, &ai);
    if (!s) return s;
    offset += f.length;
    if (offset > h->schema.recordLength) {
      return bad(file, at, "field '" + f.name + "' ends past the record length " + std::to_string(h->schema.recordLength));
    }
    h->schema.fields.push_back(std::move(f));
    h->autoIncrement.push_back(ai);
    at += kDescriptorSize;
  }
  if (h->schema.fields.empty()) return bad(file, at, "table without fields");
  if (offset != h->schema.recordLength) {
    return bad(file, 10, "field widths add up to " + std::to_string(offset) + " but the record length is " +
                             std::to_string(h->schema.recordLength));
  }
  std::size_t after = at + 1;
  if (h->isVisualFoxPro() && after + kBacklinkSize > h->headerLength) {
    return bad(file, 8, "header length " + std::to_string(h->headerLength) + " leaves no room for the backlink");
  }
  h->backlink.clear();
  if (h->isVisualFoxPro()) h->backlink.assign(b.substr(after, kBacklinkSize));
  assignNullBits(&h->schema);
  return Status::ok();
}

std::string encodeHeader(DbfHeader h) {
  const std::size_t n = h.schema.fields.size();
  std::size_t length = kHeaderPrefixSize + kDescriptorSize * n + 1 + (h.isVisualFoxPro() ? kBacklinkSize : 0);
  std::string b(length, '\0');
  b[0] = static_cast<char>(h.type);
  h.headerLength = static_cast<std::uint16_t>(length);
  b.replace(1, 7, encodeDateAndCount(h));
  putLe(b, 8, h.headerLength, 2);
  putLe(b, 10, h.schema.recordLength, 2);
  b[28] = static_cast<char>(h.flags);
  b[29] = static_cast<char>(h.schema.codePageMark);
  for (std::size_t i = 0; i < n; ++i) {
    const FieldDef& f = h.schema.fields[i];
    std::size_t at = kHeaderPrefixSize + i * kDescriptorSize;
    b.replace(at, std::min<std::size_t>(f.name.size(), 10), f.name.substr(0, 10));
    b[at + 11] = f.type;
    putLe(b, at + 12, f.offset, 4);
    b[at + 16] = static_cast<char>(f.length);
    b[at + 17] = static_cast<char>(f.decimals);
    b[at + 18] = static_cast<char>(f.flags);
    if (i < h.autoIncrement.size()) {
      putLe(b, at + 19, h.autoIncrement[i].next, 4);
      b[at + 23] = static_cast<char>(h.autoIncrement[i].step);
    }
  }
  b[kHeaderPrefixSize + kDescriptorSize * n] = kHeaderTerminator;
  if (h.isVisualFoxPro()) b.replace(kHeaderPrefixSize + kDescriptorSize * n + 1, std::min(h.backlink.size(), kBacklinkSize), h.backlink.substr(0, kBacklinkSize));
  return b;
}

std::string encodeDateAndCount(const DbfHeader& h) {
  std::string b(7, '\0');
  b[0] = static_cast<char>(h.year);
  b[1] = static_cast<char>(h.month);
  b[2] = static_cast<char>(h.day);
  putLe(b, 3, h.recordCount, 4);
  return b;
}

void touchDate(DbfHeader* h) {
  std::time_t now = std::time(nullptr);
  std::tm tm {};
  localtime_r(&now, &tm);
  h->year = static_cast<std::uint8_t>(tm.tm_year % 100);
  h->month = static_cast<std::uint8_t>(tm.tm_mon + 1);
  h->day = static_cast<std::uint8_t>(tm.tm_mday);
}

int codePageOfMark(std::uint8_t mark) {
  switch (mark) {
    case 0x01: return 437;
    case 0x02: return 850;
    case 0x03: return 1252;
    case 0x64: return 852;
    case 0x65: return 866;
    case 0x66: return 865;
    case 0x67: return 861;
    case 0x7A: return 936;
    case 0x7B: return 949;
    case 0x7C: return 950;
    case 0x7D: return 1255;
    case 0x7E: return 1256;
    case 0x7F: return 1250;
    case 0xC8: return 1250;
    case 0xC9: return 1251;
    case 0xCA: return 1254;
    case 0xCB: return 1253;
    default: return 0;
  }
}

} // namespace pu::table
