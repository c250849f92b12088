// Every tag of every corpus index, read by us, against what Perl XBase::Index
// listed for it; and every key recomputed from the records by our expression
// engine against the keys FoxPro stored.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "platform/table/cdx_index.h"
#include "tests/platform/table/cdx_test_support.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

struct ExpectedTag {
  bool readable = true;
  std::vector<std::pair<std::uint32_t, std::string>> entries;  // recno, key hex
};

std::map<std::string, ExpectedTag> readTagsFile(const std::string& path) {
  std::map<std::string, ExpectedTag> tags;
  std::ifstream in(path);
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.rfind("TAG ", 0) == 0) {
      current = line.substr(4);
      tags[current];
    } else if (line.rfind("END TAG", 0) == 0) {
      current.clear();
    } else if (!current.empty() && line.find("xbase_readable: no") != std::string::npos) {
      tags[current].readable = false;
    } else if (!current.empty() && !line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
      auto a = line.find('\t'), b = line.rfind('\t');
      tags[current].entries.emplace_back(std::uint32_t(std::stoul(line.substr(0, a))), line.substr(b + 1));
    }
  }
  return tags;
}

std::string hexWithoutTail(const std::string& key, std::uint8_t filler) {
  std::string k = key;
  while (!k.empty() && static_cast<std::uint8_t>(k.back()) == filler) k.pop_back();
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : k) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

std::vector<std::string> corpusIndexes() {
  std::vector<std::string> out;
  for (const auto& set : std::filesystem::directory_iterator(test::corpusDir()))
    if (set.is_directory())
      for (const auto& f : std::filesystem::directory_iterator(set.path()))
        if (f.path().extension() == ".cdx") out.push_back(f.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(CdxCorpusTest, EveryTagReadsAsXBaseIndexListsIt) {
  PU_REQUIRE_CORPUS();
  int tagsCompared = 0, bitmapTags = 0, collatedTags = 0, descendingTags = 0;
  for (const std::string& cdxPath : corpusIndexes()) {
    SCOPED_TRACE(cdxPath);
    std::string base = cdxPath.substr(0, cdxPath.size() - 4);
    std::unique_ptr<test::MemoryRecords> records;
    ASSERT_TRUE(test::readDbfForTest(base + ".dbf", &records));
    std::unique_ptr<CompoundIndex> index;
    CdxOpenOptions options;
    options.writable = false;
    Status s = CompoundIndex::open(cdxPath, *records, &index, options);
    ASSERT_TRUE(s) << s.message();
    auto expected = readTagsFile(base + ".tags.txt");
    ASSERT_EQ(std::size_t(index->tagCount()), expected.size());
    for (const auto& [name, want] : expected) {
      SCOPED_TRACE(name);
      int tag = index->findTag(name);
      ASSERT_GE(tag, 0);
      if (!want.readable) {
        EXPECT_EQ(index->walkStatus(tag).code(), Status::Code::Unsupported);
        EXPECT_EQ(index->seekStatus(tag).code(), Status::Code::Unsupported);
        ++bitmapTags;
        continue;
      }
      const KeyBuilder* kb = index->keyBuilder(tag);
      std::uint8_t filler = index->filler(tag);
      // XBase::Index lists the stored (ascending) order; a descending tag's
      // own order is the reverse.
      std::vector<std::pair<std::uint32_t, std::string>> entries = want.entries;
      if (index->descending(tag)) {
        std::reverse(entries.begin(), entries.end());
        ++descendingTags;
      }
      TagCursor c;
      ASSERT_TRUE(index->first(tag, &c));
      std::size_t i = 0;
      for (; c.valid; ++i) {
        std::string key;
        std::uint32_t recno = 0;
        ASSERT_TRUE(index->entry(tag, c, &key, &recno));
        ASSERT_LT(i, entries.size());
        EXPECT_EQ(recno, entries[i].first) << "entry " << i;
        EXPECT_EQ(hexWithoutTail(key, filler), entries[i].second) << "entry " << i;
        ASSERT_TRUE(index->next(tag, &c));
      }
      EXPECT_EQ(i, entries.size());
      // Walking backwards gives the same entries in reverse.
      ASSERT_TRUE(index->last(tag, &c));
      for (std::size_t k = entries.size(); k-- > 0;) {
        ASSERT_TRUE(c.valid);
        std::string key;
        std::uint32_t recno = 0;
        ASSERT_TRUE(index->entry(tag, c, &key, &recno));
        EXPECT_EQ(recno, entries[k].first);
        ASSERT_TRUE(index->prev(tag, &c));
      }
      EXPECT_FALSE(c.valid);
      if (kb && index->seekStatus(tag).code() == Status::Code::Unsupported) ++collatedTags;
      ++tagsCompared;
    }
  }
  EXPECT_EQ(bitmapTags, 3);
  EXPECT_GE(descendingTags, 4);
  EXPECT_GE(collatedTags, 5);
  EXPECT_EQ(tagsCompared, 171 - 3);
}

// check() recomputes every record's key with our expression engine and
// compares it with the stored entries, so a pass proves both the engine and
// the key encoding for every tag it could compile.
// Long (database container) field names of a table's key expressions mapped
// to their first 10 characters, which is what the .dbf usually holds.
expr::FieldNameMap truncatedLongNames(const std::string& tagsFile) {
  expr::FieldNameMap names;
  std::ifstream in(tagsFile);
  std::string line;
  std::regex ident("[A-Za-z_][A-Za-z0-9_]*");
  while (std::getline(in, line)) {
    if (line.find("key_expr:") == std::string::npos && line.find("for_expr:") == std::string::npos) continue;
    for (std::sregex_iterator it(line.begin(), line.end(), ident), end; it != end; ++it) {
      std::string name = it->str();
      for (auto& c : name) c = char(std::toupper(static_cast<unsigned char>(c)));
      if (name.size() > 10) names[name] = name.substr(0, 10);
    }
  }
  return names;
}

TEST(CdxCorpusTest, KeysComputedFromRecordsEqualStoredKeys) {
  PU_REQUIRE_CORPUS();
  int evaluated = 0;
  std::ostringstream refused;
  for (const std::string& cdxPath : corpusIndexes()) {
    SCOPED_TRACE(cdxPath);
    std::string base = cdxPath.substr(0, cdxPath.size() - 4);
    std::unique_ptr<test::MemoryRecords> records;
    ASSERT_TRUE(test::readDbfForTest(base + ".dbf", &records));
    std::unique_ptr<CompoundIndex> index;
    CdxOpenOptions options;
    options.writable = false;
    expr::FieldNameMap longNames = truncatedLongNames(base + ".tags.txt");
    options.longNames = &longNames;
    ASSERT_TRUE(CompoundIndex::open(cdxPath, *records, &index, options));
    Status s = index->check();
    EXPECT_TRUE(s) << s.message();
    for (int t = 0; t < index->tagCount(); ++t) {
      if (index->seekStatus(t)) {
        ++evaluated;
        // Seeking each record's own key finds an entry with that key.
        for (std::uint32_t r = 1; r <= records->recordCount(); ++r) {
          std::string key;
          bool in = false;
          ASSERT_TRUE(index->recordKey(t, records->records[r - 1], &key, &in));
          if (!in) continue;
          TagCursor c;
          ASSERT_TRUE(index->locateRecord(t, records->records[r - 1], r, &c));
          EXPECT_TRUE(c.valid) << index->tagName(t) << " record " << r;
        }
      } else {
        refused << index->tagName(t) << ": " << index->seekStatus(t).message() << "\n";
      }
    }
  }
  std::cout << "tags evaluated: " << evaluated << "\nrefused:\n" << refused.str();
  EXPECT_GE(evaluated, 150);
}

} // namespace
} // namespace pu::table

namespace pu::table {
namespace {

// Tags we cannot maintain exactly: reading goes on, writes that would change
// them are refused before anything is written, and the file stays as it was.
TEST(CdxCorpusTest, UnsupportedTagsRefuseWritesButStillRead) {
  PU_REQUIRE_CORPUS();
  test::TempDir dir;
  std::string src = test::corpusDir() + "/fb2p/fb2p_dbf";
  std::filesystem::copy_file(src + ".cdx", dir.file("t.cdx"));
  std::unique_ptr<test::MemoryRecords> records;
  ASSERT_TRUE(test::readDbfForTest(src + ".dbf", &records));
  std::unique_ptr<CompoundIndex> index;
  ASSERT_TRUE(CompoundIndex::open(dir.file("t.cdx"), *records, &index));
  int general = index->findTag("nombre");
  int bitmap = index->findTag("NotDeleted");
  int plain = index->findTag("id");
  ASSERT_GE(general, 0);
  ASSERT_GE(bitmap, 0);
  ASSERT_GE(plain, 0);
  TagCursor c;
  SeekResult r;
  EXPECT_EQ(index->seek(general, "A", &c, &r).code(), Status::Code::Unsupported);
  EXPECT_TRUE(index->first(general, &c));
  EXPECT_TRUE(c.valid);
  EXPECT_EQ(index->first(bitmap, &c).code(), Status::Code::Unsupported);
  EXPECT_TRUE(index->seek(plain, std::string("\x80\0\0\x02", 4), &c, &r));
  std::string before = test::readWholeFile(dir.file("t.cdx"));
  std::string old = records->records[0], now = old;
  now[1] = now[1] == 'Z' ? 'Y' : 'Z';  // NOMBRE is the first field
  Status s = index->checkChange(1, old, now);
  EXPECT_EQ(s.code(), Status::Code::Unsupported);
  EXPECT_NE(s.message().find("cannot change record 1"), std::string::npos) << s.message();
  EXPECT_EQ(index->applyChange(1, old, now).code(), Status::Code::Unsupported);
  EXPECT_EQ(index->checkChange(6, "", old).code(), Status::Code::Unsupported);  // append
  EXPECT_EQ(index->reindex().code(), Status::Code::Unsupported);
  EXPECT_EQ(test::readWholeFile(dir.file("t.cdx")), before);
}

TEST(CdxCorpusTest, LongFieldNamesNeedTheContainersNames) {
  PU_REQUIRE_CORPUS();
  test::TempDir dir;
  std::string src = test::corpusDir() + "/tastrade/shippers";
  std::filesystem::copy_file(src + ".cdx", dir.file("t.cdx"));
  std::unique_ptr<test::MemoryRecords> records;
  ASSERT_TRUE(test::readDbfForTest(src + ".dbf", &records));
  std::string old = records->records[0], now = old;
  now.replace(7, 5, "Zzzzz");  // COMPANY_NA follows the 6-byte SHIPPER_ID
  {
    std::unique_ptr<CompoundIndex> index;
    ASSERT_TRUE(CompoundIndex::open(dir.file("t.cdx"), *records, &index));
    EXPECT_EQ(index->checkChange(1, old, now).code(), Status::Code::Unsupported);
  }
  expr::FieldNameMap names{{"COMPANY_NAME", "COMPANY_NA"}, {"SHIPPER_ID", "SHIPPER_ID"}};
  CdxOpenOptions options;
  options.longNames = &names;
  std::unique_ptr<CompoundIndex> index;
  ASSERT_TRUE(CompoundIndex::open(dir.file("t.cdx"), *records, &index, options));
  ASSERT_TRUE(index->checkChange(1, old, now));
  records->records[0] = now;
  ASSERT_TRUE(index->applyChange(1, old, now));
  Status s = index->check();
  EXPECT_TRUE(s) << s.message();
  int tag = index->findTag("company_na");
  TagCursor c;
  ASSERT_TRUE(index->last(tag, &c));
  std::string key;
  std::uint32_t recno = 0;
  ASSERT_TRUE(index->entry(tag, c, &key, &recno));
  EXPECT_EQ(recno, 1u);
}

} // namespace
} // namespace pu::table
