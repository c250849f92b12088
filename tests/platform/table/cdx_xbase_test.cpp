// Index files we write, read back by Perl's XBase::Index: it must list the
// same keys and record numbers in the same order as our own walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "platform/table/cdx_index.h"
#include "tests/platform/table/cdx_test_support.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

// Our walk in XBase::Index's form: the key without its trailing filler.
std::string ourListing(CompoundIndex& index, int tag) {
  static const char* digits = "0123456789abcdef";
  std::vector<std::string> lines;
  TagCursor c;
  EXPECT_TRUE(index.first(tag, &c));
  while (c.valid) {
    std::string key;
    std::uint32_t recno = 0;
    EXPECT_TRUE(index.entry(tag, c, &key, &recno));
    while (!key.empty() && static_cast<std::uint8_t>(key.back()) == index.filler(tag)) key.pop_back();
    std::string line;
    for (unsigned char ch : key) {
      line += digits[ch >> 4];
      line += digits[ch & 15];
    }
    lines.push_back(line + "\t" + std::to_string(recno) + "\n");
    EXPECT_TRUE(index.next(tag, &c));
  }
  // XBase::Index lists stored (ascending) order; a descending tag walks it backwards.
  if (index.descending(tag)) std::reverse(lines.begin(), lines.end());
  std::string out;
  for (const auto& l : lines) out += l;
  return out;
}

TableSchema schema() {
  return test::makeSchema({test::fieldOf("NAME", 'C', 10), test::fieldOf("NUM", 'N', 10, 2), test::fieldOf("ID", 'I', 4)});
}

TEST(CdxXBaseTest, HundredThousandKeysChangedInRandomOrder) {
  test::TempDir dir;
  test::MemoryRecords records(schema());
  std::mt19937 rng(2024);
  auto randomName = [&] {
    std::string n(1 + rng() % 10, ' ');
    for (auto& c : n) c = char('A' + rng() % 26);
    return n;
  };
  for (int i = 1; i <= 100000; ++i) {
    std::string r = records.blank();
    records.setChar(r, "NAME", randomName());
    records.setNumber(r, "NUM", double(rng() % 100000) / 100.0 - 300.0);
    records.setInt(r, "ID", i);
    records.records.push_back(r);
  }
  std::vector<TagSpec> tags(3);
  tags[0] = {"name", "name", "", false, false, false};
  tags[1] = {"num", "num", "", false, false, false};
  tags[2] = {"id", "id", "", false, true, false};
  std::unique_ptr<CompoundIndex> index;
  std::string path = dir.file("big.cdx");
  ASSERT_TRUE(CompoundIndex::create(path, records, tags, &index));
  for (int t = 0; t < 3; ++t) ASSERT_EQ(test::xbaseTagListing(path, index->tagName(t)), ourListing(*index, t));
  index->setDeferredWrites(true);
  std::vector<std::uint32_t> order(100000);
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i + 1;
  std::shuffle(order.begin(), order.end(), rng);
  for (int batch = 0; batch < 4; ++batch) {
    for (int k = 0; k < 25000; ++k) {
      std::uint32_t recno = order[std::size_t(batch) * 25000 + std::size_t(k)];
      std::string old = records.records[recno - 1], now = old;
      records.setChar(now, "NAME", randomName());
      records.setNumber(now, "NUM", double(rng() % 100000) / 100.0 - 300.0);
      ASSERT_TRUE(index->checkChange(recno, old, now));
      records.records[recno - 1] = now;
      Status s = index->applyChange(recno, old, now);
      ASSERT_TRUE(s) << s.message();
    }
    ASSERT_TRUE(index->flush());
    for (int t = 0; t < 3; ++t)
      ASSERT_EQ(test::xbaseTagListing(path, index->tagName(t)), ourListing(*index, t)) << "batch " << batch;
  }
  Status c = index->check();
  EXPECT_TRUE(c) << c.message();
}

TEST(CdxXBaseTest, ChangesToACopyOfARealTableWithACandidateTag) {
  PU_REQUIRE_CORPUS();
  test::TempDir dir;
  std::filesystem::copy_file(test::corpusDir() + "/testdata/customer.dbf", dir.file("customer.dbf"));
  std::filesystem::copy_file(test::corpusDir() + "/testdata/customer.cdx", dir.file("customer.cdx"));
  std::unique_ptr<test::MemoryRecords> records;
  ASSERT_TRUE(test::readDbfForTest(dir.file("customer.dbf"), &records));
  std::unique_ptr<CompoundIndex> index;
  ASSERT_TRUE(CompoundIndex::open(dir.file("customer.cdx"), *records, &index));
  const FieldDef* country = nullptr;
  const FieldDef* custId = nullptr;
  for (const auto& f : records->schema().fields) {
    if (f.name == "COUNTRY") country = &f;
    if (f.name == "CUST_ID") custId = &f;
  }
  ASSERT_TRUE(country && custId);
  std::mt19937 rng(5);
  for (int k = 0; k < 60; ++k) {
    std::uint32_t recno = 1 + std::uint32_t(rng() % records->recordCount());
    std::string old = records->records[recno - 1], now = old;
    std::string c = k % 2 ? "zimbabwe" : "Austria";
    c.resize(country->length, ' ');
    now.replace(country->offset, country->length, c);
    std::string id = "X" + std::to_string(1000 + k);
    id.resize(custId->length, ' ');
    now.replace(custId->offset, custId->length, id);
    if (k % 7 == 0) now[0] = '*';
    ASSERT_TRUE(index->checkChange(recno, old, now));
    records->records[recno - 1] = now;
    ASSERT_TRUE(index->applyChange(recno, old, now));
  }
  // A candidate clash is refused.
  std::string dup = records->records[1];
  dup.replace(custId->offset, custId->length, records->records[0].substr(custId->offset, custId->length));
  EXPECT_EQ(index->checkChange(2, records->records[1], dup).code(), Status::Code::Exists);
  Status s = index->check();
  EXPECT_TRUE(s) << s.message();
  for (int t = 0; t < index->tagCount(); ++t)
    EXPECT_EQ(test::xbaseTagListing(dir.file("customer.cdx"), index->tagName(t)), ourListing(*index, t)) << index->tagName(t);
}

} // namespace
} // namespace pu::table

namespace pu::table {
namespace {

// A rebuilt copy of a FoxPro index lists every tag exactly as FoxPro's own
// file did: same keys, same record numbers, same order.
TEST(CdxXBaseTest, ReindexOfARealIndexMatchesFoxProsOwnOrder) {
  PU_REQUIRE_CORPUS();
  for (const char* table : {"testdata/orditems", "testdata/customer", "codeplex/fdkeywrd", "vespina/test"}) {
    SCOPED_TRACE(table);
    test::TempDir dir;
    std::string src = test::corpusDir() + "/" + table;
    std::filesystem::copy_file(src + ".cdx", dir.file("t.cdx"));
    std::unique_ptr<test::MemoryRecords> records;
    ASSERT_TRUE(test::readDbfForTest(src + ".dbf", &records));
    std::unique_ptr<CompoundIndex> index;
    ASSERT_TRUE(CompoundIndex::open(dir.file("t.cdx"), *records, &index));
    std::vector<std::string> before;
    for (int t = 0; t < index->tagCount(); ++t) before.push_back(test::xbaseTagListing(dir.file("t.cdx"), index->tagName(t)));
    Status s = index->reindex();
    ASSERT_TRUE(s) << s.message();
    for (int t = 0; t < index->tagCount(); ++t) {
      EXPECT_EQ(test::xbaseTagListing(dir.file("t.cdx"), index->tagName(t)), before[std::size_t(t)]) << index->tagName(t);
      EXPECT_EQ(ourListing(*index, t), before[std::size_t(t)]) << index->tagName(t);
    }
    EXPECT_TRUE(index->check());
  }
}

} // namespace
} // namespace pu::table
