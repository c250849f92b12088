// Long random change sequences against an in-memory model of each tag's
// order. A rebuild against FoxPro's own order is cdx_corpus_test's.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "platform/table/bytes.h"
#include "platform/table/cdx_index.h"
#include "tests/platform/table/cdx_test_support.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/temp_dir.h"

namespace pu::table {
namespace {

class CdxModelTest : public ::testing::Test {
protected:
  CdxModelTest()
      : m_records(test::makeSchema({test::fieldOf("NAME", 'C', 12), test::fieldOf("NUM", 'N', 8),
                                    test::fieldOf("ID", 'I', 4)})) {}

  std::string makeRecord(const std::string& name, int num, int id, bool deleted = false) {
    std::string r = m_records.blank();
    r[0] = deleted ? '*' : ' ';
    m_records.setChar(r, "NAME", name);
    m_records.setNumber(r, "NUM", num);
    m_records.setInt(r, "ID", id);
    return r;
  }

  std::string name(const std::string& r) { return r.substr(1, 12); }
  int num(const std::string& r) { return std::stoi(r.substr(13, 8)); }
  int id(const std::string& r) { return std::int32_t(getLe(r, 21, 4)); }

  // Table's write path: refuse, write, then update the tags.
  Status change(std::uint32_t recno, const std::string& record) {
    std::string old = recno <= m_records.records.size() ? m_records.records[recno - 1] : std::string();
    if (Status s = m_index->checkChange(recno, old, record); !s) return s;
    if (old.empty()) m_records.records.push_back(record);
    else m_records.records[recno - 1] = record;
    return m_index->applyChange(recno, old, record);
  }

  std::uint32_t recnoAt(int tag, const TagCursor& c) {
    std::string key;
    std::uint32_t recno = 0;
    EXPECT_TRUE(m_index->entry(tag, c, &key, &recno));
    return recno;
  }

  std::vector<std::uint32_t> walk(const char* tagName) {
    std::vector<std::uint32_t> out;
    for (const auto& entry : test::tagEntries(*m_index, m_index->findTag(tagName))) out.push_back(entry.second);
    return out;
  }

  // The order each tag must have, computed from the records alone.
  std::vector<std::uint32_t> model(const std::string& tag) {
    std::vector<std::tuple<std::string, double, std::uint32_t>> rows;
    for (std::uint32_t r = 1; r <= m_records.records.size(); ++r) {
      const std::string& rec = m_records.records[r - 1];
      std::string n = name(rec);
      std::string up = n;
      for (auto& c : up) c = char(std::toupper(static_cast<unsigned char>(c)));
      if (tag == "UNAME") rows.emplace_back(up, 0, r);
      else if (tag == "NUM") rows.emplace_back("", num(rec), r);
      else if (tag == "ID") rows.emplace_back("", id(rec), r);
      else if (tag == "LIVE" && rec[0] != '*') rows.emplace_back(n + rec.substr(13, 8), 0, r);  // STR(num,8): its digits
      else if (tag == "WIDE" || tag == "DOWN") rows.emplace_back(n, 0, r);
    }
    std::sort(rows.begin(), rows.end());
    if (tag == "DOWN") std::reverse(rows.begin(), rows.end());  // duplicates too: highest record first
    std::vector<std::uint32_t> out;
    for (auto& row : rows) out.push_back(std::get<2>(row));
    return out;
  }

  // The index passes its own check and walks every tag in model order.
  void expectModel() {
    Status c = m_index->check();
    ASSERT_TRUE(c) << c.message();
    for (const char* tag : {"UNAME", "NUM", "ID", "LIVE", "WIDE", "DOWN"}) EXPECT_EQ(walk(tag), model(tag)) << tag;
  }

  void createIndex() {
    // "wide": 96-byte keys that share little, four to an interior node, so the
    // tree grows five or six levels deep and splits and merges at every level.
    Status s = CompoundIndex::create(m_dir.file("t.cdx"), m_records,
                                     {{"uname", "UPPER(name)", "", false, false, false},
                                      {"num", "num", "", false, false, false},
                                      {"id", "id", "", false, true, false},
                                      {"live", "name+STR(num,8)", ".NOT.DELETED()", false, false, false},
                                      {"wide", "name+name+name+name+name+name+name+name", "", false, false, false},
                                      {"down", "name", "", false, false, true}},
                                     &m_index);
    ASSERT_TRUE(s) << s.message();
  }

  std::string randomName(std::mt19937& rng) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string n(1 + rng() % 12, ' ');
    for (auto& c : n) c = letters[rng() % 52];
    // A few shared prefixes and duplicates exercise the leaf compression.
    if (rng() % 4 == 0) n = "Same" + n.substr(0, std::min<std::size_t>(n.size(), 3));
    return n;
  }

  test::TempDir m_dir;
  test::MemoryRecords m_records;
  std::unique_ptr<CompoundIndex> m_index;
};

// Changes first stay in memory until a flush (deferred writes), then go to
// the file at once; at the end every record's keys move to one end and back,
// so the tags drain and refill. XBase::Index reads the final file. Numbers
// and ids run across zero: their keys must sort as the values across signs.
TEST_F(CdxModelTest, RandomChangesKeepEveryTagInModelOrder) {
  std::mt19937 rng(12345);
  for (int i = 1; i <= 300; ++i) m_records.records.push_back(makeRecord(randomName(rng), int(rng() % 1000) - 500, i - 150));
  createIndex();
  expectModel();
  m_index->setDeferredWrites(true);  // until the first reopen
  int nextId = 151;
  for (int step = 1; step <= 4000; ++step) {
    std::uint32_t count = m_records.recordCount();
    int op = int(rng() % 10);
    Status s;
    if (op < 3 || count < 50) {
      s = change(count + 1, makeRecord(randomName(rng), int(rng() % 1000) - 500, nextId++));
    } else {
      std::uint32_t recno = 1 + std::uint32_t(rng() % count);
      std::string rec = m_records.records[recno - 1];
      if (op < 6) rec = makeRecord(randomName(rng), num(rec), id(rec), rec[0] == '*');
      else if (op < 8) rec = makeRecord(name(rec), int(rng() % 1000) - 500, id(rec), rec[0] == '*');
      else rec[0] = rec[0] == '*' ? ' ' : '*';
      s = change(recno, rec);
    }
    ASSERT_TRUE(s) << "step " << step << ": " << s.message();
    if (step % 250 == 0) {
      expectModel();
      ASSERT_FALSE(HasFailure()) << "step " << step;
    }
    if (step % 1000 == 0) {  // what is on disk is the same tree
      ASSERT_TRUE(m_index->flush());
      m_index.reset();
      ASSERT_TRUE(CompoundIndex::open(m_dir.file("t.cdx"), m_records, &m_index));
      ASSERT_TRUE(m_index->check());
    }
  }
  const std::uint32_t count = m_records.recordCount();
  for (std::uint32_t r = 1; r <= count; ++r) ASSERT_TRUE(change(r, makeRecord("zzzz", 5000 + int(r), int(r) + 100000, true)));
  expectModel();
  for (std::uint32_t r = count; r >= 1; --r) ASSERT_TRUE(change(r, makeRecord(randomName(rng), int(r), int(r))));
  expectModel();
  test::expectXBaseListsEveryTag(*m_index, m_dir.file("t.cdx"));
}

TEST_F(CdxModelTest, SeeksInDescendingOrderAndCandidateKeyClashesAreRefusedBeforeAnythingChanges) {
  const char* names[] = {"apple", "apricot", "banana", "cherry", "cherry", "date"};
  for (int i = 0; i < 6; ++i) m_records.records.push_back(makeRecord(names[i], i, i + 1));
  createIndex();
  int tag = m_index->findTag("UName");
  ASSERT_GE(tag, 0);
  EXPECT_EQ(m_index->findTag("nosuch"), -1);
  // Ascending seeks (whole key, leading part, duplicates, next greater, end)
  // are the library's index tests'. From the seek of "BZ", on cherry, one
  // step back is banana.
  TagCursor cur;
  SeekResult r;
  ASSERT_TRUE(m_index->seek(tag, "BZ", &cur, &r));
  EXPECT_EQ(r, SeekResult::After);
  EXPECT_EQ(recnoAt(tag, cur), 4u);
  ASSERT_TRUE(m_index->prev(tag, &cur));
  EXPECT_EQ(recnoAt(tag, cur), 3u);
  tag = m_index->findTag("down");
  EXPECT_TRUE(m_index->descending(tag));
  const struct {
    const char* key;
    SeekResult result;
    std::uint32_t recno;  // 0: past the end
  } seeks[] = {{"cherry", SeekResult::Found, 5},  // first of the duplicates in this order
               {"bz", SeekResult::After, 3},      // next in descending order: banana
               {"zzz", SeekResult::After, 6},     // greater than all: the first entry
               {"0", SeekResult::End, 0},         // smaller than all: past the end
               {"c", SeekResult::Found, 5}, {"a", SeekResult::Found, 2}};
  for (const auto& c : seeks) {
    ASSERT_TRUE(m_index->seek(tag, c.key, &cur, &r));
    EXPECT_EQ(r, c.result) << c.key;
    EXPECT_EQ(cur.valid ? recnoAt(tag, cur) : 0, c.recno) << c.key;
  }

  Status s = change(3, makeRecord("other", 1, 5));
  EXPECT_EQ(s.code(), Status::Code::Exists);
  EXPECT_EQ(s.message(), "Uniqueness of index ID is violated");
  EXPECT_EQ(id(m_records.records[2]), 3);
  // Moving a record's key onto itself, or to a free value, is allowed.
  EXPECT_TRUE(change(3, makeRecord("other", 1, 3)));
  EXPECT_TRUE(change(3, makeRecord("other", 1, 99)));
  EXPECT_EQ(change(7, makeRecord("new", 1, 99)).code(), Status::Code::Exists);
  expectModel();
  // Two records with one candidate key: a rebuild refuses and leaves the old file.
  const std::string before = test::readWholeFile(m_dir.file("t.cdx"));
  m_records.records[4] = makeRecord("n", 5, 1);
  EXPECT_EQ(m_index->reindex().code(), Status::Code::Exists);
  EXPECT_EQ(test::readWholeFile(m_dir.file("t.cdx")), before);
}

// Between reindexes a UNIQUE tag keeps each key with the record that took it
// first: the key leaves with its holder and is not handed to another record
// that has it; a key still held is not taken by a later record.
TEST_F(CdxModelTest, UniqueTagKeysStayWithTheirFirstHolderUntilReindex) {
  for (int i = 1; i <= 4; ++i) m_records.records.push_back(makeRecord(i % 2 ? "odd" : "even", i, i));
  ASSERT_TRUE(CompoundIndex::create(m_dir.file("u.cdx"), m_records, {{"kind", "name", "", true, false, false}}, &m_index));
  EXPECT_EQ(walk("KIND"), (std::vector<std::uint32_t>{2, 1}));  // even, odd
  // Record 3 still has "odd" but does not get it.
  ASSERT_TRUE(change(1, makeRecord("zebra", 1, 1)));
  EXPECT_EQ(walk("KIND"), (std::vector<std::uint32_t>{2, 1}));  // even, zebra
  EXPECT_TRUE(m_index->check());
  // "odd" is free again: the later record 4 takes it, before record 3.
  ASSERT_TRUE(change(4, makeRecord("odd", 4, 4)));
  EXPECT_EQ(walk("KIND"), (std::vector<std::uint32_t>{2, 4, 1}));
  Status c = m_index->check();
  EXPECT_TRUE(c) << c.message();
  // "zebra" is held by record 1: record 2 leaves the tag.
  ASSERT_TRUE(change(2, makeRecord("zebra", 2, 2)));
  EXPECT_EQ(walk("KIND"), (std::vector<std::uint32_t>{4, 1}));
  EXPECT_TRUE(m_index->check());
  // A reindex gives each key to its lowest record again.
  ASSERT_TRUE(m_index->reindex());
  EXPECT_EQ(walk("KIND"), (std::vector<std::uint32_t>{3, 1}));

  // An entry its record no longer gives is still found.
  m_records.records[0] = makeRecord("yak", 1, 1);
  c = m_index->check();
  EXPECT_EQ(c.code(), Status::Code::Corruption);
  EXPECT_NE(c.message().find("tag KIND holds an entry for record 1 that its record does not give"), std::string::npos)
      << c.message();
}

} // namespace
} // namespace pu::table
