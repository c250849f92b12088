#include "platform/table/cdx_format.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace pu::table::cdx {

std::uint32_t readLe32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t readLe16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
void writeLe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
  p[2] = std::uint8_t(v >> 16);
  p[3] = std::uint8_t(v >> 24);
}
void writeLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}
std::uint32_t readBe32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}
void writeBe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v >> 24);
  p[1] = std::uint8_t(v >> 16);
  p[2] = std::uint8_t(v >> 8);
  p[3] = std::uint8_t(v);
}

namespace {

std::string poolString(const std::uint8_t* pool, std::uint16_t offset, std::uint16_t length) {
  if (length == 0 || offset >= 512) return {};
  std::size_t end = std::min<std::size_t>(512, std::size_t(offset) + length);
  std::string s(reinterpret_cast<const char*>(pool + offset), end - offset);
  auto nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

std::string trimName(const std::uint8_t* p, std::size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  std::size_t b = 0;
  while (b < s.size() && (s[b] == ' ' || s[b] == '\0')) ++b;
  return s.substr(b);
}

// Field widths of a leaf entry: duplicate and trailing counts need to hold
// 0..keyLength; the record number takes the rest of the smallest whole
// number of bytes that holds the largest record number of the page.
struct LeafLayout {
  unsigned recBits, countBits, entryBytes;
};

LeafLayout leafLayout(std::uint32_t keyLength, std::uint32_t maxRecno) {
  unsigned countBits = unsigned(std::bit_width(keyLength));
  unsigned needRec = std::max(1u, unsigned(std::bit_width(maxRecno)));
  unsigned entryBytes = std::max(2u, (needRec + 2 * countBits + 7) / 8);
  unsigned recBits = std::min(32u, entryBytes * 8 - 2 * countBits);
  return {recBits, countBits, entryBytes};
}

// Both counts run for every entry of every leaf written or measured, so
// they compare eight bytes at a time where a load is little-endian.
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

std::uint64_t load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

unsigned trailingCount(const std::uint8_t* key, std::uint32_t keyLength, std::uint8_t filler) {
  unsigned t = 0;
  if constexpr (kLittleEndian) {
    const std::uint64_t fill = 0x0101010101010101ull * filler;
    while (keyLength - t >= 8) {
      // The key's last byte is the word's highest.
      std::uint64_t x = load64(key + keyLength - t - 8) ^ fill;
      if (x) return t + unsigned(std::countl_zero(x)) / 8;
      t += 8;
    }
  }
  while (t < keyLength && key[keyLength - 1 - t] == filler) ++t;
  return t;
}

unsigned sharedCount(const std::uint8_t* a, const std::uint8_t* b, unsigned limit) {
  unsigned d = 0;
  if constexpr (kLittleEndian) {
    while (limit - d >= 8) {
      std::uint64_t x = load64(a + d) ^ load64(b + d);
      if (x) return d + unsigned(std::countr_zero(x)) / 8;
      d += 8;
    }
  }
  while (d < limit && a[d] == b[d]) ++d;
  return d;
}

// The few key bytes of one leaf entry, without a library call: overlapping
// fixed-size copies write exactly [dst, dst + n).
void copySmall(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
  if (n >= 8 && n <= 16) {
    std::memcpy(dst, src, 8);
    std::memcpy(dst + n - 8, src + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(dst, src, 4);
    std::memcpy(dst + n - 4, src + n - 4, 4);
  } else if (n < 4) {
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
  } else {
    std::memcpy(dst, src, n);
  }
}

// The low n bytes of v, least significant first (a leaf entry).
void storeLe(std::uint8_t* p, std::uint64_t v, unsigned n) {
  if constexpr (kLittleEndian) {
    switch (n) {
      case 2: std::memcpy(p, &v, 2); return;
      case 3: std::memcpy(p, &v, 3); return;
      case 4: std::memcpy(p, &v, 4); return;
      case 5: std::memcpy(p, &v, 5); return;
      case 6: std::memcpy(p, &v, 6); return;
      default: break;
    }
  }
  for (unsigned b = 0; b < n; ++b) p[b] = std::uint8_t(v >> (8 * b));
}

} // namespace

Status decodeHeader(std::string_view bytes, IndexHeader* h, const std::string& where) {
  if (bytes.size() < kHeaderSize) return Status::corruption(where + ": index header cut short");
  auto p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  h->root = readLe32(p);
  h->freeList = readLe32(p + 4);
  h->counter = readLe32(p + 8);
  h->keyLength = readLe16(p + 12);
  h->options = p[14];
  h->signature = p[15];
  h->collation = trimName(p + 494, 8);
  h->descending = readLe16(p + 502) != 0;
  h->forExpr = poolString(p + 512, readLe16(p + 504), readLe16(p + 506));
  h->keyExpr = poolString(p + 512, readLe16(p + 508), readLe16(p + 510));
  if (h->keyLength == 0 || h->keyLength > kMaxKeyLength)
    return Status::corruption(where + ": key length " + std::to_string(h->keyLength) + " out of range");
  if (h->root == 0 || h->root % kPageSize != 0)
    return Status::corruption(where + ": root pointer " + std::to_string(h->root) + " is not a page");
  return Status::ok();
}

void encodeHeader(const IndexHeader& h, std::string* bytes) {
  bytes->assign(kHeaderSize, '\0');
  auto p = reinterpret_cast<std::uint8_t*>(bytes->data());
  writeLe32(p, h.root);
  writeLe32(p + 4, h.freeList);
  writeLe32(p + 8, h.counter);
  writeLe16(p + 12, h.keyLength);
  p[14] = h.options;
  p[15] = h.signature;
  std::memcpy(p + 494, h.collation.data(), std::min<std::size_t>(8, h.collation.size()));
  writeLe16(p + 502, h.descending ? 1 : 0);
  std::size_t keyLen = std::min<std::size_t>(h.keyExpr.size(), 254);
  std::size_t forLen = std::min<std::size_t>(h.forExpr.size(), 254);
  std::memcpy(p + 512, h.keyExpr.data(), keyLen);
  std::memcpy(p + 512 + keyLen + 1, h.forExpr.data(), forLen);
  writeLe16(p + 508, 0);
  writeLe16(p + 510, std::uint16_t(keyLen + 1));
  writeLe16(p + 504, std::uint16_t(keyLen + 1));
  writeLe16(p + 506, std::uint16_t(forLen + 1));
}

std::uint32_t interiorCapacity(std::uint32_t keyLength) { return (kPageSize - kInteriorDataStart) / (keyLength + 8); }

Status decodeNode(std::string_view page, std::uint32_t keyLength, std::uint8_t filler, NodeData* node,
                  const std::string& where) {
  if (page.size() < kPageSize) return Status::corruption(where + ": node cut short");
  auto p = reinterpret_cast<const std::uint8_t*>(page.data());
  node->attributes = readLe16(p);
  std::uint32_t count = readLe16(p + 2);
  node->left = readLe32(p + 4);
  node->right = readLe32(p + 8);
  node->keys.resize(std::size_t(count) * keyLength);
  node->recnos.resize(count);
  node->children.clear();
  if (node->attributes > 7) return Status::corruption(where + ": bad node attributes " + std::to_string(node->attributes));
  if (!node->isLeaf()) {
    if (count > interiorCapacity(keyLength)) return Status::corruption(where + ": interior key count too large");
    node->children.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint8_t* e = p + kInteriorDataStart + std::size_t(i) * (keyLength + 8);
      std::memcpy(&node->keys[std::size_t(i) * keyLength], e, keyLength);
      node->recnos[i] = readBe32(e + keyLength);
      node->children[i] = readBe32(e + keyLength + 4);
    }
    return Status::ok();
  }
  std::uint32_t recMask = readLe32(p + 14);
  std::uint8_t dupMask = p[18], trailMask = p[19];
  unsigned recBits = p[20], dupBits = p[21], trailBits = p[22], entryBytes = p[23];
  if (entryBytes == 0 || entryBytes > 8 || recBits > 32 || recBits + dupBits + trailBits > entryBytes * 8)
    return Status::corruption(where + ": bad leaf entry layout");
  if (std::size_t(count) * entryBytes > kPageSize - kLeafDataStart)
    return Status::corruption(where + ": leaf key count too large");
  std::size_t dataEnd = kPageSize;
  std::size_t entriesEnd = kLeafDataStart + std::size_t(count) * entryBytes;
  std::uint8_t* keys = node->keys.data();
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint64_t v = 0;
    for (unsigned b = 0; b < entryBytes; ++b) v |= std::uint64_t(p[kLeafDataStart + i * entryBytes + b]) << (8 * b);
    std::uint32_t recno = std::uint32_t(v & recMask);
    unsigned dup = unsigned((v >> recBits) & dupMask);
    unsigned trail = unsigned((v >> (recBits + dupBits)) & trailMask);
    if (dup + trail > keyLength || (i == 0 && dup != 0))
      return Status::corruption(where + ": leaf entry " + std::to_string(i) + " has bad counts");
    std::size_t stored = keyLength - dup - trail;
    if (dataEnd < entriesEnd + stored) return Status::corruption(where + ": leaf key data overlaps its entries");
    dataEnd -= stored;
    std::uint8_t* k = keys + std::size_t(i) * keyLength;
    if (dup) std::memcpy(k, k - keyLength, dup);
    std::memcpy(k + dup, p + dataEnd, stored);
    std::memset(k + dup + stored, filler, trail);
    node->recnos[i] = recno;
  }
  return Status::ok();
}

unsigned leafEntryBytes(std::uint32_t keyLength, std::uint32_t maxRecno) {
  return leafLayout(keyLength, maxRecno).entryBytes;
}

unsigned storedKeyBytes(const std::uint8_t* k, const std::uint8_t* prev, std::uint32_t keyLength, std::uint8_t filler) {
  unsigned trail = trailingCount(k, keyLength, filler);
  unsigned dup = prev ? sharedCount(k, prev, keyLength - trail) : 0;
  return keyLength - dup - trail;
}

std::size_t leafUsedBytes(const std::uint8_t* keys, const std::uint32_t* recnos, std::size_t count,
                          std::uint32_t keyLength, std::uint8_t filler, unsigned* entryBytes) {
  std::uint32_t maxRec = 0;
  for (std::size_t i = 0; i < count; ++i) maxRec = std::max(maxRec, recnos[i]);
  LeafLayout lay = leafLayout(keyLength, maxRec);
  *entryBytes = lay.entryBytes;
  std::size_t used = count * lay.entryBytes;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* k = keys + i * keyLength;
    used += storedKeyBytes(k, i ? k - keyLength : nullptr, keyLength, filler);
  }
  return used;
}

bool leafFits(const std::uint8_t* keys, const std::uint32_t* recnos, std::size_t count, std::uint32_t keyLength,
              std::uint8_t filler) {
  std::uint32_t maxRec = 0;
  for (std::size_t i = 0; i < count; ++i) maxRec = std::max(maxRec, recnos[i]);
  LeafLayout lay = leafLayout(keyLength, maxRec);
  if (lay.recBits < 32 && (maxRec >> lay.recBits) != 0) return false;
  if (count * (lay.entryBytes + keyLength) <= kLeafRoom) return true;  // fits even uncompressed
  unsigned entryBytes = 0;
  return leafUsedBytes(keys, recnos, count, keyLength, filler, &entryBytes) <= kLeafRoom;
}

bool encodeLeaf(const std::uint8_t* keys, const std::uint32_t* recnos, std::size_t count, std::uint32_t keyLength,
                std::uint8_t filler, std::uint16_t attributes, std::uint32_t left, std::uint32_t right,
                std::uint8_t* p) {
  std::memset(p, 0, kPageSize);
  std::uint32_t maxRec = 0;
  for (std::size_t i = 0; i < count; ++i) maxRec = std::max(maxRec, recnos[i]);
  LeafLayout lay = leafLayout(keyLength, maxRec);
  writeLe16(p, attributes);
  writeLe16(p + 2, std::uint16_t(count));
  writeLe32(p + 4, left);
  writeLe32(p + 8, right);
  std::uint32_t recMask = lay.recBits >= 32 ? 0xFFFFFFFFu : ((1u << lay.recBits) - 1);
  std::uint8_t countMask = std::uint8_t((1u << lay.countBits) - 1);
  writeLe32(p + 14, recMask);
  p[18] = countMask;
  p[19] = countMask;
  p[20] = std::uint8_t(lay.recBits);
  p[21] = std::uint8_t(lay.countBits);
  p[22] = std::uint8_t(lay.countBits);
  p[23] = std::uint8_t(lay.entryBytes);
  std::size_t dataEnd = kPageSize;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* k = keys + i * keyLength;
    unsigned trail = trailingCount(k, keyLength, filler);
    unsigned dup = i ? sharedCount(k, k - keyLength, keyLength - trail) : 0;
    std::size_t stored = keyLength - dup - trail;
    if (dataEnd < kLeafDataStart + count * lay.entryBytes + stored) return false;
    dataEnd -= stored;
    copySmall(p + dataEnd, k + dup, stored);
    std::uint64_t v = std::uint64_t(recnos[i] & recMask) | std::uint64_t(dup) << lay.recBits |
                      std::uint64_t(trail) << (lay.recBits + lay.countBits);
    storeLe(p + kLeafDataStart + i * lay.entryBytes, v, lay.entryBytes);
  }
  writeLe16(p + 12, std::uint16_t(dataEnd - kLeafDataStart - count * lay.entryBytes));
  return true;
}

void encodeInterior(const std::uint8_t* keys, const std::uint32_t* recnos, const std::uint32_t* children,
                    std::size_t count, std::uint32_t keyLength, std::uint16_t attributes, std::uint32_t left,
                    std::uint32_t right, std::uint8_t* p) {
  std::memset(p, 0, kPageSize);
  writeLe16(p, attributes);
  writeLe16(p + 2, std::uint16_t(count));
  writeLe32(p + 4, left);
  writeLe32(p + 8, right);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* e = p + kInteriorDataStart + i * (keyLength + 8);
    std::memcpy(e, keys + i * keyLength, keyLength);
    writeBe32(e + keyLength, recnos[i]);
    writeBe32(e + keyLength + 4, children[i]);
  }
}

} // namespace pu::table::cdx
