// dbftool as a user runs it: exit codes and what it prints.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/table/cdx_index.h"
#include "platform/table/table.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace {

struct Result {
  int exitCode = -1;
  std::string out;
};

Result runCommand(const std::string& command) {
  Result r;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int rc = ::pclose(p);
  r.exitCode = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return r;
}

Result runTool(const std::string& args, const std::string& prefix = "") {
  return runCommand(prefix + std::string(DBFTOOL_PATH) + " " + args + " 2>&1");
}

class DbfTool : public ::testing::Test {
protected:
  void SetUp() override {
    path = dir.file("tool.dbf");
    using pu::table::Table;
    ASSERT_TRUE(Table::create(path, {{"NAME", 'C', 8}, {"QTY", 'N', 4}, {"NOTES", 'M'}}, pu::table::TableFormat::VisualFoxPro));
    std::unique_ptr<Table> t;
    ASSERT_TRUE(Table::open(path, true, &t));
    ASSERT_TRUE(t->appendStart());
    ASSERT_TRUE(t->assignText(*t->schema().find("NAME"), "a,b"));
    ASSERT_TRUE(t->assignInteger(*t->schema().find("QTY"), 7));
    ASSERT_TRUE(t->assignMemo(*t->schema().find("NOTES"), "note"));
    ASSERT_TRUE(t->append());
  }
  pu::test::TempDir dir;
  std::string path;
};

TEST_F(DbfTool, DumpAsCsvQuotesWhereNeeded) {
  Result r = runTool("dump --csv " + path);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "recno,deleted,NAME,QTY,NOTES\n1,,\"a,b\",7,note\n");
}

TEST_F(DbfTool, InfoShowsHeaderAndFields) {
  Result r = runTool("info " + path);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("type: 0x30 (Visual FoxPro)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("records: 1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("code page: 1252"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("QTY N(4) offset 9"), std::string::npos) << r.out;
}

TEST_F(DbfTool, CheckPassesAGoodTableAndFailsADamagedOne) {
  EXPECT_EQ(runTool("check " + path).exitCode, 0);
  std::string bytes = pu::test::readWholeFile(path);
  bytes[4] = 9;  // more records than the file holds
  pu::test::writeWholeFile(path, bytes);
  Result r = runTool("check " + path);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find(path), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("holds 1"), std::string::npos) << r.out;
}

TEST_F(DbfTool, CheckFindsAMemoPointerPastTheEnd) {
  std::string bytes = pu::test::readWholeFile(path);
  std::size_t headerLength = static_cast<unsigned char>(bytes[8]) | (static_cast<unsigned char>(bytes[9]) << 8);
  bytes[headerLength + 1 + 8 + 4 + 3] = 0x40;
  pu::test::writeWholeFile(path, bytes);
  Result r = runTool("check " + path);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("past the end"), std::string::npos) << r.out;
}

// A FIFO named like a table is refused at once instead of waiting for a writer.
TEST_F(DbfTool, InfoOnAFifoEndsAtOnce) {
  std::string fifo = dir.file("pipe.dbf");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Result r = runTool("info " + fifo, "timeout 20 ");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.out.find("not a file"), std::string::npos) << r.out;
}

// Records the header counts but the file lacks are lost: dump and reindex say so.
TEST_F(DbfTool, DumpAndReindexOfATableMissingRecordsFail) {
  {
    std::unique_ptr<pu::table::Table> t;
    ASSERT_TRUE(pu::table::Table::open(path, true, &t));
    std::unique_ptr<pu::table::CompoundIndex> index;
    ASSERT_TRUE(pu::table::CompoundIndex::create(dir.file("tool.cdx"), *t, {{"name", "name", "", false, false, false}}, &index));
  }
  std::string bytes = pu::test::readWholeFile(path);
  bytes[4] = 9;
  pu::test::writeWholeFile(path, bytes);
  const std::string cdx = pu::test::readWholeFile(dir.file("tool.cdx"));
  Result dump = runTool("dump " + path);
  EXPECT_EQ(dump.exitCode, 1);
  EXPECT_NE(dump.out.find("NAME=a,b"), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("header counts 9 records but the file holds 1"), std::string::npos) << dump.out;
  Result reindex = runTool("reindex " + path);
  EXPECT_EQ(reindex.exitCode, 1);
  EXPECT_NE(reindex.out.find("header counts 9 records but the file holds 1"), std::string::npos) << reindex.out;
  EXPECT_EQ(pu::test::readWholeFile(dir.file("tool.cdx")), cdx);
}

TEST_F(DbfTool, ReindexRebuildsADestroyedCourseIndexFromTheRegistry) {
  const std::string course = dir.file("course");
  ASSERT_EQ(runTool("make-sample " + course).exitCode, 0);
  pu::test::writeWholeFile(course + "/standard.cdx", "");
  EXPECT_NE(runTool("check " + course + "/standard.dbf").exitCode, 0);
  Result r = runTool("reindex " + course + "/standard.dbf");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("from the course-table registry's tag definitions"), std::string::npos) << r.out;
  Result check = runTool("check " + course + "/standard.dbf");
  EXPECT_EQ(check.exitCode, 0) << check.out;
  EXPECT_NE(check.out.find(", 4 tags"), std::string::npos) << check.out;
  std::string listing = pu::test::xbaseTagListing(course + "/standard.cdx", "TREEPRNTID");
  EXPECT_EQ(listing.find("XBase::Index failed"), std::string::npos) << listing.substr(0, 200);
  // A table the registry does not know cannot get its definitions back.
  pu::test::writeWholeFile(dir.file("tool.cdx"), "");
  Result unknown = runTool("reindex " + path);
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_NE(unknown.out.find("its tag definitions are lost with it"), std::string::npos) << unknown.out;
}

TEST_F(DbfTool, MakeSampleNeverWritesOverACourseDatabase) {
  const std::string course = dir.file("course");
  ASSERT_EQ(runTool("make-sample " + course).exitCode, 0);
  const std::string before = pu::test::readWholeFile(course + "/standard.dbf");
  Result r = runTool("make-sample " + course + " --nodes 50");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("already holds a course database"), std::string::npos) << r.out;
  EXPECT_EQ(pu::test::readWholeFile(course + "/standard.dbf"), before);
}

TEST_F(DbfTool, UsageErrorWithoutArguments) { EXPECT_EQ(runTool("").exitCode, 2); }

TEST(DbfToolCorpus, CheckPassesEveryPublishedTable) {
  PU_REQUIRE_CORPUS();
  for (const char* table : {"northwind/orders.dbf", "codeplex/fdkeywrd.dbf", "fb2p/fb2p_free.dbf", "testdata/employee.dbf"}) {
    Result r = runTool("check " + pu::test::corpusDir() + "/" + table);
    EXPECT_EQ(r.exitCode, 0) << table << ": " << r.out;
  }
}

struct KeyEntry {
  std::string recno;
  std::string key;  // all key bytes
};

// One tag's entries from `dbftool keys`: quoted text or 0x-prefixed hex.
std::vector<KeyEntry> parseKeys(const std::string& listing) {
  std::vector<KeyEntry> entries;
  std::size_t at = listing.find('\n') + 1;  // past the header line
  while (at < listing.size()) {
    std::size_t end = listing.find('\n', at);
    std::string line = listing.substr(at, end - at);
    at = end + 1;
    std::size_t tab = line.find('\t');
    KeyEntry e{line.substr(0, tab), ""};
    std::string key = line.substr(tab + 1);
    if (key.rfind("0x", 0) == 0) {
      for (std::size_t i = 2; i + 1 < key.size(); i += 2) e.key.push_back(char(std::stoi(key.substr(i, 2), nullptr, 16)));
    } else {
      e.key = key.substr(1, key.size() - 2);
    }
    entries.push_back(e);
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

} // namespace

namespace {

TEST(DbfToolCorpus, KeysListEveryReadableTagAsIndexDumpDoes) {
  PU_REQUIRE_CORPUS();
  int compared = 0;
  for (const auto& file : std::filesystem::recursive_directory_iterator(pu::test::corpusDir())) {
    if (file.path().extension() != ".cdx") continue;
    std::string cdx = file.path().string();
    std::string dbf = file.path().parent_path() / (file.path().stem().string() + ".dbf");
    Result all = runCommand(std::string(DBFTOOL_PATH) + " keys '" + dbf + "' 2>/dev/null");
    for (std::size_t at = all.out.find("TAG "); at != std::string::npos; at = all.out.find("\nTAG ", at + 1)) {
      std::size_t nameStart = all.out.find("TAG ", at) + 4;
      std::string tag = all.out.substr(nameStart, all.out.find(' ', nameStart) - nameStart);
      Result ours = runCommand(std::string(DBFTOOL_PATH) + " keys '" + dbf + "' " + tag + " 2>/dev/null");
      if (ours.exitCode != 0) continue;  // a tag we cannot walk (a bitmap tag)
      std::vector<KeyEntry> entries = parseKeys(ours.out);
      std::string header = ours.out.substr(0, ours.out.find('\n'));
      // index_dump walks the leaves left to right: ascending, as stored.
      if (header.find("descending") != std::string::npos) std::reverse(entries.begin(), entries.end());
      Result dump = runCommand("/usr/bin/index_dump --type=char '" + cdx + "' " + tag + " 2>/dev/null");
      ASSERT_EQ(dump.exitCode, 0) << cdx << " " << tag;
      EXPECT_EQ(compareWithIndexDump(entries, dump.out), "") << cdx << " " << tag;
      ++compared;
    }
  }
  EXPECT_GE(compared, 150);  // the corpus has 171 tags, a few of them bitmap tags
}

} // namespace
