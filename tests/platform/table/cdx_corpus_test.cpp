// Every tag of every corpus index, read by us and recomputed by our
// expression engine, against what Perl XBase::Index listed for it; and index
// files we change, read back by XBase::Index.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <regex>

#include "platform/table/cdx_index.h"
#include "tests/platform/table/cdx_test_support.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

struct ExpectedTag {
  bool readable = true;
  std::string listing;  // as test::tagListing gives it
  std::vector<std::uint32_t> recnos;
};

// <table>.tags.txt: XBase::Index's listing of each tag, and the long field
// names of the key expressions (database container names), which the .dbf
// holds cut to 10 characters.
std::map<std::string, ExpectedTag> readTagsFile(const std::string& path, expr::FieldNameMap* longNames) {
  std::map<std::string, ExpectedTag> tags;
  std::ifstream in(path);
  std::string line, current;
  const std::regex ident("[A-Za-z_][A-Za-z0-9_]*");
  while (std::getline(in, line)) {
    if (line.rfind("TAG ", 0) == 0) {
      current = line.substr(4);
      tags[current];
    } else if (line.rfind("END TAG", 0) == 0) {
      current.clear();
    } else if (current.empty()) {
      continue;
    } else if (line.find("xbase_readable: no") != std::string::npos) {
      tags[current].readable = false;
    } else if (line.find("key_expr:") != std::string::npos || line.find("for_expr:") != std::string::npos) {
      for (std::sregex_iterator it(line.begin(), line.end(), ident), end; it != end; ++it) {
        std::string name = it->str();
        for (auto& c : name) c = char(std::toupper(static_cast<unsigned char>(c)));
        if (name.size() > 10) (*longNames)[name] = name.substr(0, 10);
      }
    } else if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
      std::uint32_t recno = std::uint32_t(std::stoul(line));
      tags[current].listing += line.substr(line.rfind('\t') + 1) + "\t" + std::to_string(recno) + "\n";
      tags[current].recnos.push_back(recno);
    }
  }
  return tags;
}

// check() recomputes every record's key and compares it with the stored
// entries, so a pass proves both the engine and the key encoding for every
// tag it could compile.
TEST(CdxCorpusTest, EveryTagReadsAsXBaseListsItAndHoldsTheKeysWeCompute) {
  PU_REQUIRE_CORPUS();
  int compared = 0, bitmap = 0, collated = 0, descending = 0, evaluated = 0;
  for (const std::string& cdxPath : test::corpusFiles(".cdx")) {
    SCOPED_TRACE(cdxPath);
    const std::string base = cdxPath.substr(0, cdxPath.size() - 4);
    auto records = test::MemoryRecords::load(base + ".dbf");
    ASSERT_TRUE(records);
    expr::FieldNameMap longNames;
    const auto expected = readTagsFile(base + ".tags.txt", &longNames);
    CdxOpenOptions options;
    options.writable = false;
    options.longNames = &longNames;
    std::unique_ptr<CompoundIndex> index;
    ASSERT_TRUE(CompoundIndex::open(cdxPath, *records, &index, options));
    Status s = index->check();
    EXPECT_TRUE(s) << s.message();
    ASSERT_EQ(std::size_t(index->tagCount()), expected.size());
    for (const auto& [name, want] : expected) {
      SCOPED_TRACE(name);
      const int tag = index->findTag(name);
      ASSERT_GE(tag, 0);
      if (!want.readable) {
        EXPECT_EQ(index->walkStatus(tag).code(), Status::Code::Unsupported);
        EXPECT_EQ(index->seekStatus(tag).code(), Status::Code::Unsupported);
        ++bitmap;
        continue;
      }
      EXPECT_EQ(test::tagListing(*index, tag), want.listing);
      // Walking back from the end of the tag's own order.
      std::vector<std::uint32_t> back, wantBack = want.recnos;
      if (!index->descending(tag)) std::reverse(wantBack.begin(), wantBack.end());
      for (const auto& entry : test::tagEntries(*index, tag, true)) back.push_back(entry.second);
      EXPECT_EQ(back, wantBack);
      descending += index->descending(tag);
      if (index->keyBuilder(tag) && index->seekStatus(tag).code() == Status::Code::Unsupported) ++collated;
      ++compared;
      if (!index->seekStatus(tag)) continue;
      ++evaluated;
      // Each record's own key leads to its entry.
      for (std::uint32_t r = 1; r <= records->recordCount(); ++r) {
        std::string key;
        bool in = false;
        ASSERT_TRUE(index->recordKey(tag, records->records[r - 1], &key, &in));
        if (!in) continue;
        TagCursor c;
        ASSERT_TRUE(index->locateRecord(tag, records->records[r - 1], r, &c));
        EXPECT_TRUE(c.valid) << "record " << r;
      }
    }
  }
  EXPECT_EQ(bitmap, 3);
  EXPECT_GE(descending, 4);
  EXPECT_GE(collated, 5);
  EXPECT_EQ(compared, 171 - 3);
  EXPECT_GE(evaluated, 150);
}

// A copy of a corpus table and its index, the records held in memory.
struct CorpusCopy {
  explicit CorpusCopy(const std::string& table) : dbf(test::copyCorpusTable(table, dir.path())), cdx(indexPathFor(dbf)) {
    records = test::MemoryRecords::load(dbf);
    Status s = CompoundIndex::open(cdx, *records, &index);
    EXPECT_TRUE(s) << s.message();
  }
  test::TempDir dir;
  const std::string dbf, cdx;
  std::unique_ptr<test::MemoryRecords> records;
  std::unique_ptr<CompoundIndex> index;
};

// Tags we cannot maintain exactly: reading goes on, writes that would change
// them are refused before anything is written, and the file stays as it was.
TEST(CdxCorpusTest, UnsupportedTagsRefuseWritesButStillRead) {
  PU_REQUIRE_CORPUS();
  CorpusCopy copy("fb2p/fb2p_dbf");
  ASSERT_TRUE(copy.index);
  CompoundIndex& index = *copy.index;
  const int general = index.findTag("nombre"), bitmap = index.findTag("NotDeleted"), plain = index.findTag("id");
  ASSERT_TRUE(general >= 0 && bitmap >= 0 && plain >= 0);
  TagCursor c;
  SeekResult r;
  EXPECT_EQ(index.seek(general, "A", &c, &r).code(), Status::Code::Unsupported);
  EXPECT_TRUE(index.first(general, &c));
  EXPECT_TRUE(c.valid);
  EXPECT_EQ(index.first(bitmap, &c).code(), Status::Code::Unsupported);
  EXPECT_TRUE(index.seek(plain, std::string("\x80\0\0\x02", 4), &c, &r));
  const std::string before = test::readWholeFile(copy.cdx);
  std::string old = copy.records->records[0], now = old;
  now[1] = now[1] == 'Z' ? 'Y' : 'Z';  // NOMBRE is the first field
  Status s = index.checkChange(1, old, now);
  EXPECT_EQ(s.code(), Status::Code::Unsupported);
  EXPECT_NE(s.message().find("cannot change record 1"), std::string::npos) << s.message();
  EXPECT_EQ(index.applyChange(1, old, now).code(), Status::Code::Unsupported);
  EXPECT_EQ(index.checkChange(6, "", old).code(), Status::Code::Unsupported);  // append
  EXPECT_EQ(index.reindex().code(), Status::Code::Unsupported);
  EXPECT_EQ(test::readWholeFile(copy.cdx), before);
  // Keys over fields named as the database container names them, opened
  // without those names (the corpus test above evaluates them with them).
  CorpusCopy container("tastrade/shippers");
  now = old = container.records->records[0];
  now.replace(7, 5, "Zzzzz");  // COMPANY_NA follows the 6-byte SHIPPER_ID
  EXPECT_EQ(container.index->checkChange(1, old, now).code(), Status::Code::Unsupported);
}

TEST(CdxXBaseTest, ChangesToACopyOfARealTableWithACandidateTag) {
  PU_REQUIRE_CORPUS();
  CorpusCopy copy("testdata/customer");
  auto& records = copy.records;
  auto& index = copy.index;
  ASSERT_TRUE(index);
  std::mt19937 rng(5);
  for (int k = 0; k < 60; ++k) {
    std::uint32_t recno = 1 + std::uint32_t(rng() % records->recordCount());
    std::string old = records->records[recno - 1], now = old;
    records->setChar(now, "COUNTRY", k % 2 ? "zimbabwe" : "Austria");
    records->setChar(now, "CUST_ID", "X" + std::to_string(1000 + k));
    if (k % 7 == 0) now[0] = '*';
    ASSERT_TRUE(index->checkChange(recno, old, now));
    records->records[recno - 1] = now;
    ASSERT_TRUE(index->applyChange(recno, old, now));
  }
  // A candidate clash is refused.
  std::string dup = records->records[1];
  const FieldDef* custId = records->schema().find("CUST_ID");
  dup.replace(custId->offset, custId->length, records->records[0], custId->offset, custId->length);
  EXPECT_EQ(index->checkChange(2, records->records[1], dup).code(), Status::Code::Exists);
  Status s = index->check();
  EXPECT_TRUE(s) << s.message();
  test::expectXBaseListsEveryTag(*index, copy.cdx);
}

// A rebuilt copy of a FoxPro index lists every tag exactly as FoxPro's own
// file did: same keys, same record numbers, same order.
TEST(CdxXBaseTest, ReindexOfARealIndexMatchesFoxProsOwnOrder) {
  PU_REQUIRE_CORPUS();
  for (const char* table : {"testdata/orditems", "testdata/customer", "codeplex/fdkeywrd", "vespina/test"}) {
    SCOPED_TRACE(table);
    CorpusCopy copy(table);
    auto& index = copy.index;
    ASSERT_TRUE(index);
    std::vector<std::string> before;
    for (int t = 0; t < index->tagCount(); ++t) before.push_back(test::xbaseTagListing(copy.cdx, index->tagName(t)));
    Status s = index->reindex();
    ASSERT_TRUE(s) << s.message();
    for (int t = 0; t < index->tagCount(); ++t) EXPECT_EQ(test::tagListing(*index, t), before[std::size_t(t)]) << index->tagName(t);
    test::expectXBaseListsEveryTag(*index, copy.cdx);
    EXPECT_TRUE(index->check());
  }
}

} // namespace
} // namespace pu::table
