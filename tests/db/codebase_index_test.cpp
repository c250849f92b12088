// Tags through the library calls: seeks and tag order on indexes we write,
// and tags we cannot maintain on a real FoxPro table.
#include <gtest/gtest.h>

#include "db/codebase_wrappers.h"
#include "platform/table/cdx_index.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace pu {
namespace {

class CodeBaseIndexTest : public ::testing::Test {
protected:
  void SetUp() override {
    InitCodeBase();
    ASSERT_TRUE(test::makeTable(path, {{"NAME", 'C', 8}, {"QTY", 'N', 4}, {"SINCE", 'D'}},
                                {{"pear", "3", "20261207"}, {"apple", "7", "20261209"}, {"fig", "1", "20261201"},
                                 {"apple", "1", "20261207"}, {"kiwi", "9", "20261205"}},
                                {{"Name", "NAME", "", false, false, false, false},
                                 {"qty", "QTY", "", false, false, false, false},
                                 {"since", "SINCE", "", false, false, false, false}}));
    handle = OpenDbf(fromUtf8(path), 0);
    ASSERT_NE(handle, 0);
    name = d4field(handle, "NAME");
  }
  void TearDown() override { CloseDbf(handle); }

  std::string current() { return toUtf8(FieldStr(name)).substr(0, toUtf8(FieldStr(name)).find(' ')); }
  std::vector<std::string> walk() {
    std::vector<std::string> names;
    for (std::int16_t r = d4top(handle); r == 0; r = d4skip(handle, 1)) names.push_back(current());
    return names;
  }

  test::TempDir dir;
  std::string path = dir.file("items.dbf");
  std::int32_t handle = 0;
  std::int32_t name = 0;
};

// A text key on a numeric tag is the number it spells, on a date tag the date
// it spells as CCYYMMDD, as the table library takes them. Top and skip follow
// the selected tag; a changed key is walked from its new place.
TEST_F(CodeBaseIndexTest, SeeksAndWalksOnEveryKindOfTagAndAfterAChangedKey) {
  const std::int32_t tag = d4tag(handle, "NAME");
  EXPECT_EQ(d4tag(handle, "name"), tag);
  d4tagSelect(handle, tag);
  EXPECT_EQ(d4tagSelected(handle), tag);
  EXPECT_FALSE(SeekTag(handle, d4tag(handle, "name"), u"grape"));
  EXPECT_EQ(LastResult, kResultAfter);
  const struct {
    const char *tag, *key;
    bool next;  // d4seekNext instead of d4seek
    std::int16_t result;
    std::int32_t recno;  // where it stands afterwards; 0: not asked
  } cases[] = {
      {"name", "apple", false, kResultSuccess, 2},   {"name", "apple", true, kResultSuccess, 4},
      {"name", "apple", true, kResultAfter, 3},      {"name", "ki", false, kResultSuccess, 5},
      {"name", "grape", false, kResultAfter, 5},     {"name", "zucchini", false, kResultEof, 6},
      {"qty", "1", false, kResultSuccess, 3},        {"qty", "1", true, kResultSuccess, 4},
      {"qty", "1", true, kResultAfter, 1},           {"qty", "  7", false, kResultSuccess, 2},
      {"qty", "8", false, kResultAfter, 5},          {"qty", "41", false, kResultEof, 6},
      {"qty", "one", false, kResultBadArgument, 0},  {"since", "20261209", false, kResultSuccess, 2},
      {"since", "20261208", false, kResultAfter, 2}, {"since", "2026129", false, kResultBadArgument, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " " + c.key);
    d4tagSelect(handle, d4tag(handle, c.tag));
    EXPECT_EQ(c.next ? d4seekNext(handle, c.key) : d4seek(handle, c.key), c.result);
    if (c.recno != 0) { EXPECT_EQ(d4recNo(handle), c.recno); }
  }

  d4tagSelect(handle, tag);
  EXPECT_EQ(walk(), (std::vector<std::string>{"apple", "apple", "fig", "kiwi", "pear"}));
  EXPECT_EQ(d4skip(handle, -1), kResultSuccess);  // from past the end onto the last entry
  EXPECT_EQ(current(), "pear");
  EXPECT_EQ(d4skip(handle, -2), kResultSuccess);
  EXPECT_EQ(current(), "fig");
  EXPECT_EQ(d4skip(handle, -5), kResultBof);
  EXPECT_EQ(current(), "apple");
  d4tagSelect(handle, 0);
  EXPECT_EQ(d4tagSelected(handle), 0);
  EXPECT_EQ(walk(), (std::vector<std::string>{"pear", "apple", "fig", "apple", "kiwi"}));
  // In record order: the same moves and results.
  ASSERT_EQ(d4go(handle, 5), kResultSuccess);
  EXPECT_EQ(d4skip(handle, 1), kResultEof);
  EXPECT_EQ(d4recNo(handle), 6);
  EXPECT_EQ(d4skip(handle, -1), kResultSuccess);
  EXPECT_EQ(current(), "kiwi");
  EXPECT_EQ(d4skip(handle, -9), kResultBof);
  EXPECT_EQ(d4recNo(handle), 1);
  EXPECT_NE(d4go(handle, 9), kResultSuccess);
  EXPECT_EQ(d4field(handle, "NOPE"), 0);

  d4tagSelect(handle, tag);
  ASSERT_EQ(d4seek(handle, "fig"), kResultSuccess);
  ASSERT_EQ(LockRecord(handle), kResultSuccess);
  AssignFieldStr(name, u"banana");
  EXPECT_EQ(d4skip(handle, 1), kResultSuccess);
  EXPECT_EQ(current(), "kiwi");  // banana's neighbour, not fig's
  AppendBlank(handle);
  AssignFieldStr(name, u"cherry");
  ASSERT_EQ(d4append(handle), kResultSuccess);
  ASSERT_EQ(d4go(handle, 1), kResultSuccess);
  d4delete(handle);
  EXPECT_EQ(walk(), (std::vector<std::string>{"apple", "apple", "banana", "cherry", "kiwi", "pear"}));
  EmptyDbf(handle);
  EXPECT_EQ(d4recCountDo(handle), 0);
  EXPECT_TRUE(walk().empty());
  CloseDbf(handle);
  EXPECT_EQ(handle, 0);
  auto t = test::openWithIndex(path);
  ASSERT_TRUE(t);
  EXPECT_TRUE(test::indexOf(*t).check());
}

TEST(CodeBaseCorpusIndexTest, TagsWeCannotMaintainAreReadButNeverWritten) {
  PU_REQUIRE_CORPUS();
  test::TempDir dir;
  const std::string free = test::copyCorpusTable("fb2p/fb2p_free", dir.path());
  std::string before = test::readWholeFile(free);
  InitCodeBase();
  std::int32_t t = OpenDbf(fromUtf8(free), 0);
  ASSERT_NE(t, 0);
  ASSERT_EQ(d4top(t), kResultSuccess);
  std::int32_t number = d4field(t, "NUMERICO");

  d4tagSelect(t, d4tag(t, "caracter"));  // GENERAL collation: keys are sort weights
  std::int16_t seek = d4seek(t, "a");
  EXPECT_TRUE(seek != kResultSuccess && seek != kResultAfter && seek != kResultEof) << seek;
  d4tagSelect(t, d4tag(t, "entero"));
  EXPECT_EQ(d4top(t), kResultSuccess);  // walking works

  ASSERT_EQ(LockRecord(t), kResultSuccess);
  EXPECT_NE(f4assignLong(number, 42), kResultSuccess);  // the bitmap tag refuses every change
  CloseDbf(t);
  EXPECT_EQ(test::readWholeFile(free), before);
}

} // namespace
} // namespace pu
