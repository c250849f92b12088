#pragma once
// Byte layout of a compound index (.cdx) and pure codecs for its pages.
//
// The file is a sequence of 512-byte pages. Numbers in headers and node
// headers are little-endian; keys, and the record numbers and child pointers
// of interior entries, are big-endian.
//
// Index header (1024 bytes: the file header at 0 and every tag header):
//   0  u32 root node offset          4  u32 free list head (0 or -1: none;
//                                        its chaining is not documented)
//   8  u32 change counter            12 u16 key length
//   14 u8  options (0x01 unique, 0x02 NULL-capable, 0x04 candidate,
//          0x08 FOR clause, 0x20 compact, 0x40 compound, 0x80 directory)
//   15 u8  signature (1 machine, 2 collated, 5 bitmap)
//   494..501 collation name (blank, NUL or MACHINE: byte order)
//   502 u16 descending flag   504 u16 FOR offset   506 u16 FOR length
//   508 u16 key offset        510 u16 key length (lengths count the NUL)
//   512..1023 expression pool: key expression, NUL, FOR expression, NUL
//
// Node header: 0 u16 attributes (1 root, 2 leaf), 2 u16 key count,
//   4 u32 left sibling, 8 u32 right sibling (-1 none).
// Interior entries from byte 12: key, u32 record number, u32 child (BE).
// Leaf (compact): 12 u16 free bytes, 14 u32 record-number mask,
//   18 u8 duplicate mask, 19 u8 trailing mask, 20 u8 record-number bits,
//   21 u8 duplicate bits, 22 u8 trailing bits, 23 u8 bytes per entry;
//   entries from byte 24, each a little-endian integer holding record number,
//   duplicate count and trailing count from the low bits up; the key bytes
//   that are neither shared with the previous key nor trailing filler are
//   stored from the end of the page backwards.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace pu::table::cdx {

constexpr std::uint32_t kPageSize = 512;
constexpr std::uint32_t kHeaderSize = 1024;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::uint32_t kMaxKeyLength = 240;
constexpr std::uint32_t kLeafDataStart = 24;
constexpr std::uint32_t kInteriorDataStart = 12;

enum Option : std::uint8_t {
  kOptUnique = 0x01,
  kOptNullable = 0x02,
  kOptCandidate = 0x04,
  kOptFor = 0x08,
  kOptCompact = 0x20,
  kOptCompound = 0x40,
  kOptDirectory = 0x80,
};

enum Attribute : std::uint16_t { kAttrRoot = 1, kAttrLeaf = 2 };

struct IndexHeader {
  std::uint32_t root = 0;
  std::uint32_t freeList = 0;
  std::uint32_t counter = 0;
  std::uint16_t keyLength = 0;
  std::uint8_t options = 0;
  std::uint8_t signature = 1;
  std::string collation;  // trimmed of blanks and NULs
  bool descending = false;
  std::string keyExpr;
  std::string forExpr;
};

Status decodeHeader(std::string_view bytes, IndexHeader* header, const std::string& where);
void encodeHeader(const IndexHeader& header, std::string* bytes);  // 1024 bytes

// A node decoded: keys flat, keyLength bytes each, filler-padded.
struct NodeData {
  std::uint16_t attributes = 0;
  std::uint32_t left = kNone;
  std::uint32_t right = kNone;
  std::vector<std::uint8_t> keys;
  std::vector<std::uint32_t> recnos;
  std::vector<std::uint32_t> children;  // interior nodes only
  bool dirty = false;                    // changed since last written
  // Leaves: bytes the entries and key data take, when known (-1: unknown),
  // with the entry width they were counted at.
  std::int32_t usedBytes = -1;
  std::uint8_t entryBytes = 0;

  bool isLeaf() const { return (attributes & kAttrLeaf) != 0; }
  std::size_t count() const { return recnos.size(); }
};

// keyLength and filler come from the tag; the page is 512 bytes.
Status decodeNode(std::string_view page, std::uint32_t keyLength, std::uint8_t filler, NodeData* node,
                  const std::string& where);

std::uint32_t interiorCapacity(std::uint32_t keyLength);

// Bytes per leaf entry for a page whose largest record number is maxRecno.
unsigned leafEntryBytes(std::uint32_t keyLength, std::uint32_t maxRecno);
// Key bytes a leaf stores for key k after prev (nullptr: first of its page).
unsigned storedKeyBytes(const std::uint8_t* k, const std::uint8_t* prev, std::uint32_t keyLength, std::uint8_t filler);
// Entry and key bytes of a whole leaf, and the entry width used.
std::size_t leafUsedBytes(const std::uint8_t* keys, const std::uint32_t* recnos, std::size_t count,
                          std::uint32_t keyLength, std::uint8_t filler, unsigned* entryBytes);
constexpr std::size_t kLeafRoom = kPageSize - kLeafDataStart;

// Bytes a leaf would need for keys [begin, end) of node (entries + key data).
// Also used to decide splits; false when they do not fit a page.
bool leafFits(const std::uint8_t* keys, const std::uint32_t* recnos, std::size_t count, std::uint32_t keyLength,
              std::uint8_t filler);

// Encodes into a 512-byte page; false (page unusable) when the entries do
// not fit. Interior entries must not exceed interiorCapacity().
bool encodeLeaf(const std::uint8_t* keys, const std::uint32_t* recnos, std::size_t count, std::uint32_t keyLength,
                std::uint8_t filler, std::uint16_t attributes, std::uint32_t left, std::uint32_t right,
                std::uint8_t* page);
void encodeInterior(const std::uint8_t* keys, const std::uint32_t* recnos, const std::uint32_t* children,
                    std::size_t count, std::uint32_t keyLength, std::uint16_t attributes, std::uint32_t left,
                    std::uint32_t right, std::uint8_t* page);

std::uint32_t readLe32(const std::uint8_t* p);
std::uint16_t readLe16(const std::uint8_t* p);
void writeLe32(std::uint8_t* p, std::uint32_t v);
void writeLe16(std::uint8_t* p, std::uint16_t v);
std::uint32_t readBe32(const std::uint8_t* p);
void writeBe32(std::uint8_t* p, std::uint32_t v);

} // namespace pu::table::cdx
