// dbftool as a user runs it: exit codes and what it prints.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/run_dbftool.h"

namespace pu::test {
namespace {

class DbfTool : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(makeTable(path, {{"NAME", 'C', 8}, {"QTY", 'N', 4}, {"NOTES", 'M'}}, {{"a,b", "7", "note"}}));
  }
  void damage(std::size_t at, char value) {
    std::string bytes = readWholeFile(path);
    bytes[at] = value;
    writeWholeFile(path, bytes);
  }
  TempDir dir;
  std::string path = dir.file("tool.dbf");
};

TEST_F(DbfTool, DumpAsCsvAndInfo) {
  EXPECT_EQ(expectDbftool("dump --csv " + path, 0), "recno,deleted,NAME,QTY,NOTES\n1,,\"a,b\",7,note\n");
  expectDbftool("info " + path, 0, {"type: 0x30 (Visual FoxPro)", "records: 1", "code page: 1252", "QTY N(4) offset 9"});
  expectDbftool("", 2);  // usage
}

TEST_F(DbfTool, CheckFindsDamageAndNamesIt) {
  expectDbftool("check " + path, 0);
  const std::string good = readWholeFile(path);
  damage(4, 9);  // more records than the file holds
  expectDbftool("check " + path, 1, {path, "holds 1"});
  writeWholeFile(path, good);
  damage((static_cast<unsigned char>(good[8]) | (static_cast<unsigned char>(good[9]) << 8)) + 1 + 8 + 4 + 3, 0x40);
  expectDbftool("check " + path, 1, {"past the end"});  // the memo pointer past the end
  // A FIFO named like a table is refused at once instead of waiting for a writer.
  ASSERT_EQ(::mkfifo(dir.file("pipe.dbf").c_str(), 0600), 0);
  expectDbftool("info " + dir.file("pipe.dbf"), 1, {"not a file"}, "timeout 20 ");
}

// Records the header counts but the file lacks are lost: dump and reindex say so.
TEST_F(DbfTool, DumpAndReindexOfATableMissingRecordsFail) {
  ASSERT_TRUE(makeTable(dir.file("tags.dbf"), {{"NAME", 'C', 8}}, {{"a,b"}}, {{"name", "name", "", false, false, false}}));
  path = dir.file("tags.dbf");
  damage(4, 9);
  const std::string cdx = readWholeFile(dir.file("tags.cdx"));
  expectDbftool("dump " + path, 1, {"NAME=a,b", "header counts 9 records but the file holds 1"});
  expectDbftool("reindex " + path, 1, {"header counts 9 records but the file holds 1"});
  EXPECT_EQ(readWholeFile(dir.file("tags.cdx")), cdx);
}

TEST_F(DbfTool, ReindexRebuildsADestroyedCourseIndexFromTheRegistry) {
  const std::string course = dir.file("course"), standard = course + "/standard.dbf";
  expectDbftool("make-sample " + course, 0);
  const std::string before = readWholeFile(standard);
  expectDbftool("make-sample " + course + " --nodes 50", 1, {"already holds a course database"});
  EXPECT_EQ(readWholeFile(standard), before);

  writeWholeFile(course + "/standard.cdx", "");
  expectDbftool("check " + standard, 1);
  expectDbftool("reindex " + standard, 0, {"from the course-table registry's tag definitions"});
  expectDbftool("check " + standard, 0, {", 4 tags"});
  std::string listing = xbaseTagListing(course + "/standard.cdx", "TREEPRNTID");
  EXPECT_EQ(listing.find("XBase::Index failed"), std::string::npos) << listing.substr(0, 200);
  // A table the registry does not know cannot get its definitions back.
  writeWholeFile(dir.file("tool.cdx"), "");
  expectDbftool("reindex " + path, 1, {"its tag definitions are lost with it"});
}

TEST(DbfToolCorpus, CheckPassesEveryPublishedTable) {
  PU_REQUIRE_CORPUS();
  for (const char* table : {"northwind/orders.dbf", "codeplex/fdkeywrd.dbf", "fb2p/fb2p_free.dbf", "testdata/employee.dbf"}) {
    expectDbftool("check " + corpusDir() + "/" + table, 0);
  }
}

struct KeyEntry {
  std::string recno;
  std::string key;  // all key bytes
};

// One tag's entries from `dbftool keys`: quoted text or 0x-prefixed hex.
std::vector<KeyEntry> parseKeys(const std::string& listing) {
  std::vector<KeyEntry> entries;
  for (std::size_t at = listing.find('\n') + 1, end = 0; at < listing.size(); at = end + 1) {  // past the header line
    end = listing.find('\n', at);
    std::string line = listing.substr(at, end - at);
    std::size_t tab = line.find('\t');
    std::string key = line.substr(tab + 1), bytes;
    const bool hex = key.rfind("0x", 0) == 0;
    if (!hex) bytes = key.substr(1, key.size() - 2);
    for (std::size_t i = 2; hex && i + 1 < key.size(); i += 2) bytes.push_back(char(std::stoi(key.substr(i, 2), nullptr, 16)));
    entries.push_back({line.substr(0, tab), bytes});
  }
  return entries;
}

// index_dump prints each entry as its key bytes without the trailing filler
// the leaf stored only as a count, a blank and the record number. Keys may
// hold any byte, newlines included, so the listing is matched entry by
// entry: the longest leading part of our key, followed by " recno\n", with
// nothing but one filler byte (blank or NUL) left of our key.
std::string compareWithIndexDump(const std::vector<KeyEntry>& ours, const std::string& dump) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < ours.size(); ++i) {
    const KeyEntry& e = ours[i];
    const std::string tail = " " + e.recno + "\n";
    bool matched = false;
    for (std::size_t len = e.key.size() + 1; len-- > 0 && !matched;) {
      std::string rest = e.key.substr(len);
      if (rest.find_first_not_of(rest.empty() ? ' ' : rest[0]) != std::string::npos) continue;
      if (!rest.empty() && rest[0] != ' ' && rest[0] != '\0') continue;
      if (dump.compare(at, len, e.key, 0, len) != 0 || dump.compare(at + len, tail.size(), tail) != 0) continue;
      at += len + tail.size();
      matched = true;
    }
    if (!matched) return "entry " + std::to_string(i + 1) + " (record " + e.recno + ") differs";
  }
  return at == dump.size() ? "" : "index_dump lists more entries";
}

TEST(DbfToolCorpus, KeysListEveryReadableTagAsIndexDumpDoes) {
  PU_REQUIRE_CORPUS();
  int compared = 0;
  for (const auto& file : std::filesystem::recursive_directory_iterator(corpusDir())) {
    if (file.path().extension() != ".cdx") continue;
    std::string cdx = file.path().string();
    std::string dbf = file.path().parent_path() / (file.path().stem().string() + ".dbf");
    std::string all = runHostCommand(std::string(DBFTOOL_PATH) + " keys '" + dbf + "' 2>/dev/null", nullptr);
    for (std::size_t at = all.find("TAG "); at != std::string::npos; at = all.find("\nTAG ", at + 1)) {
      std::size_t nameStart = all.find("TAG ", at) + 4;
      std::string tag = all.substr(nameStart, all.find(' ', nameStart) - nameStart);
      int status = 0;
      std::string ours = runHostCommand(std::string(DBFTOOL_PATH) + " keys '" + dbf + "' " + tag + " 2>/dev/null", &status);
      if (status != 0) continue;  // a tag we cannot walk (a bitmap tag)
      std::vector<KeyEntry> entries = parseKeys(ours);
      // index_dump walks the leaves left to right: ascending, as stored.
      if (ours.substr(0, ours.find('\n')).find("descending") != std::string::npos) std::reverse(entries.begin(), entries.end());
      std::string dump = runHostCommand("/usr/bin/index_dump --type=char '" + cdx + "' " + tag + " 2>/dev/null", &status);
      ASSERT_EQ(status, 0) << cdx << " " << tag;
      EXPECT_EQ(compareWithIndexDump(entries, dump), "") << cdx << " " << tag;
      ++compared;
    }
  }
  EXPECT_GE(compared, 150);  // the corpus has 171 tags, a few of them bitmap tags
}

} // namespace
} // namespace pu::test
