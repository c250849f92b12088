// Compact leaf codec: the counts that decide splits and the bytes written
// agree with the leaf format's definition for keys of every length.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/table/cdx_format.h"

namespace pu::table::cdx {
namespace {

// Key bytes a leaf stores, straight from the format: neither the filler at
// the end nor the bytes shared with the previous key before it.
unsigned referenceStored(const std::vector<std::uint8_t>& k, const std::uint8_t* prev, std::uint8_t filler) {
  std::size_t trail = 0;
  while (trail < k.size() && k[k.size() - 1 - trail] == filler) ++trail;
  std::size_t dup = 0;
  while (prev && dup < k.size() - trail && k[dup] == prev[dup]) ++dup;
  return unsigned(k.size() - dup - trail);
}

// Sorted keys drawn from few bytes, so that shared prefixes and trailing
// filler of every length up to the whole key occur.
std::vector<std::uint8_t> sortedKeys(std::mt19937& rng, std::uint32_t keyLength, std::size_t count,
                                     std::uint8_t filler) {
  // Strings rather than byte vectors: gcc 12 at -O2 takes the sort's compare
  // of byte vectors for a read past any object.
  std::vector<std::string> keys(count, std::string(keyLength, char(filler)));
  for (auto& k : keys) {
    std::size_t used = rng() % (keyLength + 1);
    for (std::size_t i = 0; i < used; ++i) k[i] = "ab "[rng() % 3];
    if (rng() % 5 == 0 && keyLength > 1) k[keyLength - 1] = rng() % 2 ? '\0' : 'z';
  }
  std::sort(keys.begin(), keys.end());
  std::vector<std::uint8_t> flat;
  for (auto& k : keys) flat.insert(flat.end(), k.begin(), k.end());
  return flat;
}

TEST(CdxFormatTest, LeavesCountStoreAndDecodeTheirKeysAsTheFormatSays) {
  std::mt19937 rng(77);
  for (std::uint32_t len : {1u, 2u, 3u, 7u, 8u, 9u, 10u, 13u, 15u, 16u, 17u, 24u, 33u, 40u, 96u, 240u}) {
    for (std::uint8_t filler : {std::uint8_t(' '), std::uint8_t(0)}) {
      for (int round = 0; round < 20; ++round) {
        std::size_t count = 1 + rng() % 60;
        std::vector<std::uint8_t> keys = sortedKeys(rng, len, count, filler);
        std::vector<std::uint32_t> recnos(count);
        for (auto& r : recnos) r = 1 + std::uint32_t(rng() % (round % 2 ? 70000u : 300u));
        std::size_t reference = 0;
        for (std::size_t i = 0; i < count; ++i) {
          const std::uint8_t* k = &keys[i * len];
          const std::uint8_t* prev = i ? k - len : nullptr;
          unsigned stored = referenceStored(std::vector<std::uint8_t>(k, k + len), prev, filler);
          ASSERT_EQ(storedKeyBytes(k, prev, len, filler), stored) << "length " << len << ", entry " << i;
          reference += stored;
        }
        unsigned entryBytes = 0;
        std::size_t used = leafUsedBytes(keys.data(), recnos.data(), count, len, filler, &entryBytes);
        EXPECT_EQ(used, reference + count * entryBytes);
        std::uint8_t page[kPageSize];
        bool fits = encodeLeaf(keys.data(), recnos.data(), count, len, filler, kAttrLeaf, kNone, kNone, page);
        ASSERT_EQ(fits, used <= kLeafRoom);
        ASSERT_EQ(fits, leafFits(keys.data(), recnos.data(), count, len, filler));
        if (!fits) continue;
        EXPECT_EQ(page[23], entryBytes);
        EXPECT_EQ(readLe16(page + 12), kLeafRoom - used);
        NodeData node;
        std::string bytes(reinterpret_cast<const char*>(page), kPageSize);
        ASSERT_TRUE(decodeNode(bytes, len, filler, &node, "leaf"));
        EXPECT_EQ(node.keys, keys);
        EXPECT_EQ(node.recnos, recnos);
      }
    }
  }
}

} // namespace
} // namespace pu::table::cdx
