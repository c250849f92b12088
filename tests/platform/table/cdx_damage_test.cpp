// Damaged index files: every problem comes back as a Status; nothing
// crashes, reads out of bounds or loops. Random damage is the fuzz target's.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "platform/table/cdx_format.h"
#include "platform/table/cdx_index.h"
#include "tests/platform/table/cdx_test_support.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

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
    std::uint32_t dirRoot = cdx::readLe32(p);
    EXPECT_EQ(cdx::readLe16(p + dirRoot + 2), 1u);
    // The directory leaf's single entry: recno is the tag header offset,
    // which create() puts right after the one directory page.
    m_tagHeader = dirRoot + 512;
    m_root = cdx::readLe32(p + m_tagHeader);
    EXPECT_EQ(cdx::readLe16(p + m_root) & 2, 0) << "root should be interior";
    m_child = cdx::readBe32(p + m_root + 12 + 60 + 4);
    m_leaf = m_child;
    while (!(cdx::readLe16(p + m_leaf) & 2)) m_leaf = cdx::readBe32(p + m_leaf + 12 + 60 + 4);
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
    bigEndian ? cdx::writeBe32(p, v) : cdx::writeLe32(p, v);
  }

  test::TempDir m_dir;
  test::MemoryRecords m_records;
  std::string m_good;
  std::uint32_t m_tagHeader = 0, m_root = 0, m_child = 0, m_leaf = 0;
};

TEST_F(CdxDamageTest, EachDamageIsReportedAsCorruption) {
  EXPECT_TRUE(exercise(m_good));
  const auto* p = reinterpret_cast<const std::uint8_t*>(m_good.data());
  const std::uint32_t secondLeaf = cdx::readLe32(p + m_leaf + 8);
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
