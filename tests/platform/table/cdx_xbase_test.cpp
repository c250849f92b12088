// Index files we write, read back by Perl's XBase::Index: it must list the
// same keys and record numbers in the same order as our own walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "platform/table/cdx_index.h"
#include "tests/platform/table/cdx_test_support.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

void expectXBaseListsEveryTag(CompoundIndex& index, const std::string& path) {
  for (int t = 0; t < index.tagCount(); ++t)
    EXPECT_EQ(test::xbaseTagListing(path, index.tagName(t)), test::tagListing(index, t)) << index.tagName(t);
}

TEST(CdxXBaseTest, HundredThousandKeysChangedInRandomOrder) {
  test::TempDir dir;
  test::MemoryRecords records(
      test::makeSchema({test::fieldOf("NAME", 'C', 10), test::fieldOf("NUM", 'N', 10, 2), test::fieldOf("ID", 'I', 4)}));
  std::mt19937 rng(2024);
  auto randomise = [&](std::string& r) {
    std::string n(1 + rng() % 10, ' ');
    for (auto& c : n) c = char('A' + rng() % 26);
    records.setChar(r, "NAME", n);
    records.setNumber(r, "NUM", double(rng() % 100000) / 100.0 - 300.0);
  };
  for (int i = 1; i <= 100000; ++i) {
    std::string r = records.blank();
    randomise(r);
    records.setInt(r, "ID", i);
    records.records.push_back(r);
  }
  std::unique_ptr<CompoundIndex> index;
  const std::string path = dir.file("big.cdx");
  ASSERT_TRUE(CompoundIndex::create(
      path, records, {{"name", "name", "", false, false, false}, {"num", "num", "", false, false, false}, {"id", "id", "", false, true, false}},
      &index));
  expectXBaseListsEveryTag(*index, path);
  index->setDeferredWrites(true);
  std::vector<std::uint32_t> order(100000);
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i + 1;
  std::shuffle(order.begin(), order.end(), rng);
  for (int batch = 0; batch < 4; ++batch) {
    for (int k = 0; k < 25000; ++k) {
      std::uint32_t recno = order[std::size_t(batch) * 25000 + std::size_t(k)];
      std::string old = records.records[recno - 1], now = old;
      randomise(now);
      ASSERT_TRUE(index->checkChange(recno, old, now));
      records.records[recno - 1] = now;
      Status s = index->applyChange(recno, old, now);
      ASSERT_TRUE(s) << s.message();
    }
    ASSERT_TRUE(index->flush());
    SCOPED_TRACE("batch " + std::to_string(batch));
    expectXBaseListsEveryTag(*index, path);
    if (HasFailure()) return;
  }
  Status c = index->check();
  EXPECT_TRUE(c) << c.message();
}

TEST(CdxXBaseTest, ChangesToACopyOfARealTableWithACandidateTag) {
  PU_REQUIRE_CORPUS();
  test::TempDir dir;
  std::filesystem::copy_file(test::corpusDir() + "/testdata/customer.cdx", dir.file("customer.cdx"));
  auto records = test::MemoryRecords::load(test::corpusDir() + "/testdata/customer.dbf");
  std::unique_ptr<CompoundIndex> index;
  ASSERT_TRUE(CompoundIndex::open(dir.file("customer.cdx"), *records, &index));
  const FieldDef* country = records->schema().find("COUNTRY");
  const FieldDef* custId = records->schema().find("CUST_ID");
  ASSERT_TRUE(country && custId);
  auto put = [](std::string& record, const FieldDef* f, std::string value) {
    value.resize(f->length, ' ');
    record.replace(f->offset, f->length, value);
  };
  std::mt19937 rng(5);
  for (int k = 0; k < 60; ++k) {
    std::uint32_t recno = 1 + std::uint32_t(rng() % records->recordCount());
    std::string old = records->records[recno - 1], now = old;
    put(now, country, k % 2 ? "zimbabwe" : "Austria");
    put(now, custId, "X" + std::to_string(1000 + k));
    if (k % 7 == 0) now[0] = '*';
    ASSERT_TRUE(index->checkChange(recno, old, now));
    records->records[recno - 1] = now;
    ASSERT_TRUE(index->applyChange(recno, old, now));
  }
  // A candidate clash is refused.
  std::string dup = records->records[1];
  put(dup, custId, records->records[0].substr(custId->offset, custId->length));
  EXPECT_EQ(index->checkChange(2, records->records[1], dup).code(), Status::Code::Exists);
  Status s = index->check();
  EXPECT_TRUE(s) << s.message();
  expectXBaseListsEveryTag(*index, dir.file("customer.cdx"));
}

// A rebuilt copy of a FoxPro index lists every tag exactly as FoxPro's own
// file did: same keys, same record numbers, same order.
TEST(CdxXBaseTest, ReindexOfARealIndexMatchesFoxProsOwnOrder) {
  PU_REQUIRE_CORPUS();
  for (const char* table : {"testdata/orditems", "testdata/customer", "codeplex/fdkeywrd", "vespina/test"}) {
    SCOPED_TRACE(table);
    test::TempDir dir;
    const std::string src = test::corpusDir() + "/" + table;
    std::filesystem::copy_file(src + ".cdx", dir.file("t.cdx"));
    auto records = test::MemoryRecords::load(src + ".dbf");
    std::unique_ptr<CompoundIndex> index;
    ASSERT_TRUE(CompoundIndex::open(dir.file("t.cdx"), *records, &index));
    std::vector<std::string> before;
    for (int t = 0; t < index->tagCount(); ++t) before.push_back(test::xbaseTagListing(dir.file("t.cdx"), index->tagName(t)));
    Status s = index->reindex();
    ASSERT_TRUE(s) << s.message();
    for (int t = 0; t < index->tagCount(); ++t) EXPECT_EQ(test::tagListing(*index, t), before[std::size_t(t)]) << index->tagName(t);
    expectXBaseListsEveryTag(*index, dir.file("t.cdx"));
    EXPECT_TRUE(index->check());
  }
}

} // namespace
} // namespace pu::table
