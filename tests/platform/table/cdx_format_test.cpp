// The compact leaf codec against the leaf format's definition for keys of
// every length, and damaged index files: every problem comes back as a
// Status; nothing crashes, reads out of bounds or loops. Random damage is the
// fuzz target's.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/table/cdx_format.h"
#include "platform/table/cdx_index.h"
#include "tests/platform/table/cdx_test_support.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

using namespace cdx;

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


class CdxDamageTest : public ::testing::Test {
protected:
  CdxDamageTest() : m_records(test::makeSchema({test::fieldOf("NAME", 'C', 20)})) {
    std::mt19937 rng(3);
    for (int i = 1; i <= 600; ++i) {
      std::string r = m_records.blank();
      std::string name(20, ' ');
      for (auto& c : name) c = char('a' + rng() % 26);
      m_records.setChar(r, "NAME", name);
      m_records.records.push_back(r);
    }
    std::unique_ptr<CompoundIndex> index;  // 60-byte keys: three levels
    EXPECT_TRUE(CompoundIndex::create(m_dir.file("good.cdx"), m_records, {{"name", "name+name+name", "", false, false, false}}, &index));
    m_good = test::readWholeFile(m_dir.file("good.cdx"));
    // Find the tag's root and one of its children.
    const auto* p = reinterpret_cast<const std::uint8_t*>(m_good.data());
    std::uint32_t dirRoot = readLe32(p);
    EXPECT_EQ(readLe16(p + dirRoot + 2), 1u);
    // The directory leaf's single entry: recno is the tag header offset,
    // which create() puts right after the one directory page.
    m_tagHeader = dirRoot + 512;
    m_root = readLe32(p + m_tagHeader);
    EXPECT_EQ(readLe16(p + m_root) & 2, 0) << "root should be interior";
    m_child = readBe32(p + m_root + 12 + 60 + 4);
    m_leaf = m_child;
    while (!(readLe16(p + m_leaf) & 2)) m_leaf = readBe32(p + m_leaf + 12 + 60 + 4);
  }

  // Opens a damaged copy and exercises it; returns the first error seen.
  Status exercise(const std::string& bytes) {
    test::writeWholeFile(m_dir.file("bad.cdx"), bytes);
    std::unique_ptr<CompoundIndex> index;
    Status s = CompoundIndex::open(m_dir.file("bad.cdx"), m_records, &index);
    if (!s) return s;
    Status first = Status::ok();
    auto note = [&](Status st) {
      if (first && !st) first = st;
    };
    for (int t = 0; t < index->tagCount(); ++t) {
      TagCursor c;
      for (bool forward : {true, false}) {
        Status w = forward ? index->first(t, &c) : index->last(t, &c);
        for (std::size_t n = 0; w && c.valid; ++n) {
          if (n == 100000) {
            ADD_FAILURE() << "walk did not end";
            return Status::ok();
          }
          w = forward ? index->next(t, &c) : index->prev(t, &c);
        }
        note(w);
      }
      SeekResult r;
      note(index->seek(t, "m", &c, &r));
    }
    std::string old = m_records.records[0], now = old;
    now.replace(1, 3, "zzz");
    m_records.records[0] = now;
    note(index->applyChange(1, old, now));
    note(index->check());
    m_records.records[0] = old;
    return first;
  }

  void put32(std::string& b, std::size_t at, std::uint32_t v, bool bigEndian = false) {
    auto* p = reinterpret_cast<std::uint8_t*>(b.data()) + at;
    bigEndian ? writeBe32(p, v) : writeLe32(p, v);
  }

  test::TempDir m_dir;
  test::MemoryRecords m_records;
  std::string m_good;
  std::uint32_t m_tagHeader = 0, m_root = 0, m_child = 0, m_leaf = 0;
};

TEST_F(CdxDamageTest, EachDamageIsReportedAsCorruption) {
  EXPECT_TRUE(exercise(m_good));
  const auto* p = reinterpret_cast<const std::uint8_t*>(m_good.data());
  const std::uint32_t secondLeaf = readLe32(p + m_leaf + 8);
  const struct {
    const char* what;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"cut inside the tag header", [&](std::string& b) { b.resize(700); }},
      {"cut inside the root", [&](std::string& b) { b.resize(m_root + 100); }},
      {"the root's first child is the root", [&](std::string& b) { put32(b, m_root + 12 + 60 + 4, m_root, true); }},
      {"a child points to an ancestor", [&](std::string& b) { put32(b, m_child + 12 + 60 + 4, m_root, true); }},
      {"a leaf is its own right sibling", [&](std::string& b) { put32(b, m_leaf + 8, m_leaf); }},
      {"the second leaf leads back to the first", [&](std::string& b) { put32(b, secondLeaf + 8, m_leaf); }},
      {"1000 keys in a leaf", [&](std::string& b) { b[m_leaf + 2] = char(0xE8), b[m_leaf + 3] = 0x03; }},
      {"more interior keys than fit", [&](std::string& b) { b[m_root + 2] = 100; }},
      {"no bytes per leaf entry", [&](std::string& b) { b[m_leaf + 23] = 0; }},
      {"root off a page boundary", [&](std::string& b) { put32(b, m_tagHeader, 12345); }},
      {"key length 4096", [&](std::string& b) { b[m_tagHeader + 12] = 0, b[m_tagHeader + 13] = 0x10; }},
  };
  for (const auto& c : cases) {
    std::string b = m_good;
    c.damage(b);
    EXPECT_EQ(exercise(b).code(), Status::Code::Corruption) << c.what;
  }
}

} // namespace
} // namespace pu::table
