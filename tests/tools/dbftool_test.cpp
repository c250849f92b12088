// dbftool as a user runs it, on single tables, the corpus and a course database,
// checked against the window's own call, dbfread, index_dump and the bytes on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <vector>

#include "app/prefix_commands.h"
#include "db/standards_table.h"
#include "platform/fs/file_system.h"
#include "tests/db/course_db_fixture.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/platform/table/table_fixture.h"
#include "tests/support/corpus.h"
#include "tests/support/host_command.h"
#include "tests/support/other_program.h"
#include "tests/support/temp_dir.h"
#include "tools/sample/sample_database.h"
#include "util/path_globals.h"
#include "util/stored_text.h"

namespace pu::test {
namespace {

namespace fs = std::filesystem;

// Runs dbftool behind prefix (as timeout or flock), expects its exit code and
// each text in what it prints (standard output and error), and returns that.
std::string expectDbftool(const std::string& args, int exitCode, std::initializer_list<std::string> texts = {},
                          const std::string& prefix = "") {
  int status = -1;
  const std::string out = runHostCommand(prefix + DBFTOOL_PATH + " " + args + " 2>&1", &status);
  EXPECT_EQ(status, exitCode) << args << ": " << out;
  for (const std::string& text : texts) EXPECT_NE(out.find(text), std::string::npos) << args << ": " << text << " in " << out;
  return out;
}

class DbfTool : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(makeTable(path, {{"NAME", 'C', 8}, {"QTY", 'N', 4}, {"NOTES", 'M'}}, {{"a,b", "7", "note"}},
                          {{"name", "name", "", false, false, false}}));
  }
  void damage(std::size_t at, char value) {
    std::string bytes = readWholeFile(path);
    bytes[at] = value;
    writeWholeFile(path, bytes);
  }
  TempDir dir;
  std::string path = dir.file("tool.dbf");
};

TEST_F(DbfTool, DumpInfoAndCheckWhichFindsDamageAndNamesIt) {
  EXPECT_EQ(expectDbftool("dump --csv " + path, 0), "recno,deleted,NAME,QTY,NOTES\n1,,\"a,b\",7,note\n");
  expectDbftool("info " + path, 0, {"type: 0x30 (Visual FoxPro)", "records: 1", "code page: 1252", "QTY N(4) offset 9"});
  expectDbftool("", 2);  // usage
  expectDbftool("check " + path, 0);
  const std::string good = readWholeFile(path), cdx = readWholeFile(dir.file("tool.cdx"));
  damage(4, 9);  // more records than the file holds: dump and reindex fail too
  expectDbftool("check " + path, 1, {path, "holds 1"});
  expectDbftool("dump " + path, 1, {"NAME=a,b", "header counts 9 records but the file holds 1"});
  expectDbftool("reindex " + path, 1, {"header counts 9 records but the file holds 1"});
  EXPECT_EQ(readWholeFile(dir.file("tool.cdx")), cdx);
  writeWholeFile(path, good);
  damage((static_cast<unsigned char>(good[8]) | (static_cast<unsigned char>(good[9]) << 8)) + 1 + 8 + 4 + 3, 0x40);
  expectDbftool("check " + path, 1, {"past the end"});  // the memo pointer past the end
  // A FIFO named like a table is refused at once instead of waiting for a writer.
  ASSERT_EQ(::mkfifo(dir.file("pipe.dbf").c_str(), 0600), 0);
  expectDbftool("info " + dir.file("pipe.dbf"), 1, {"not a file"}, "timeout 20 ");
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

struct KeyEntry {
  std::string recno;
  std::string key;  // all key bytes
};

// One tag's entries from `dbftool keys`, after its header line: quoted text or 0x-prefixed hex.
std::vector<KeyEntry> parseKeys(const std::string& listing) {
  std::vector<KeyEntry> entries;
  std::istringstream lines(listing.substr(listing.find('\n') + 1));
  for (std::string recno, key; std::getline(lines, recno, '\t') && std::getline(lines, key);) {
    const bool hex = key.rfind("0x", 0) == 0;
    std::string bytes = hex ? "" : key.substr(1, key.size() - 2);
    for (std::size_t i = 2; hex && i + 1 < key.size(); i += 2) bytes.push_back(char(std::stoi(key.substr(i, 2), nullptr, 16)));
    entries.push_back({recno, bytes});
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

// Every published table passes check, and its keys are listed as index_dump lists them.
TEST(DbfToolCorpus, EveryTablePassesCheckAndKeysListEveryReadableTagAsIndexDumpDoes) {
  PU_REQUIRE_CORPUS();
  int compared = 0;
  for (const std::string& cdx : corpusFiles(".cdx")) {
    std::string dbf = cdx.substr(0, cdx.size() - 4) + ".dbf";
    expectDbftool("check '" + dbf + "'", 0);
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

std::map<std::string, std::string> snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files[entry.path().lexically_relative(folder).string()] = readWholeFile(entry.path());
  return files;
}

// The node lines of a command's output: node number to new title.
std::map<std::int32_t, std::string> listed(const std::string& out) {
  std::map<std::int32_t, std::string> titles;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("node ", 0) != 0) continue;
    std::size_t arrow = line.find("\" -> \"");
    titles[std::stoi(line.substr(5))] = line.substr(arrow + 6, line.size() - arrow - 7);
  }
  return titles;
}

class DbfToolCourse : public CourseDbTest {
protected:
  void SetUp() override { ASSERT_TRUE(sample::makeSampleDatabase(course, {})); }
  const std::string& course = folder;
};

struct CommandCase {
  const char* name;
  std::int16_t tree;
  std::int32_t standard;      // 0: Replace
  const char* identifier;     // highlighted in the standard's plain title
  bool includeParent;
  int exitCode;
};

// The window's call on the same database, with the example taken as the
// window takes it from its highlight box.
CommandReport windowCommand(const CommandCase& c) {
  if (c.standard == 0) return ReplaceColons(c.tree);
  std::optional<StandardRow> row = StandardsTable().find({c.tree, c.standard});
  EXPECT_TRUE(row);
  if (!row) return {};
  Text plain = DisplayTextOfTitle(DecodeStoredText(row->title), DisplayPlain);
  Text identifier = fromUtf8(c.identifier);
  int length = static_cast<int>(identifier.size());
  PrefixExample example = TakePrefixExample(plain, static_cast<int>(plain.find(identifier)), length);
  return SetPrefix(c.tree, c.standard, example, c.includeParent);
}

std::string arguments(const CommandCase& c, const std::string& folder) {
  if (c.standard == 0) return "replace-colons " + folder + " --tree " + std::to_string(c.tree);
  return "prefix " + folder + " --tree " + std::to_string(c.tree) + " --standard " + std::to_string(c.standard) +
         " --identifier '" + c.identifier + "'" + (c.includeParent ? " --include-parent" : "");
}

// A dry run changes no byte, also while another program holds every record,
// and lists exactly what the run then writes; the run writes what the
// window's command writes.
TEST_F(DbfToolCourse, DryRunListsWhatTheRunWritesAndTheRunMatchesTheWindow) {
  const CommandCase cases[] = {
      {"Set Prefix, identifier ending in its separator", 2, 3, "1.1.", false, 0},
      {"Set Prefix, identifier grown by the blank after it", 3, 2, "I", false, 0},
      {"Set Prefix with the parent prefix", 3, 3, "A)", true, 0},
      {"Set Prefix over a level with enciphered titles", 2, 2, "1.", false, 1},
      {"Replace", 2, 0, "", false, 0},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir work;
    const std::string tool = work.file("course"), window = work.file("window");
    fs::copy(course, tool, fs::copy_options::recursive);
    fs::copy(course, window, fs::copy_options::recursive);
    const auto before = snapshot(tool);
    const auto rowsBefore = standardsByDbfread(tool + "/standard.dbf");

    std::string dry;
    {
      std::unique_ptr<File> held;  // open in the other program until it ends: closing it would drop the locks
      OtherProgram other([&] {
        return FileSystem::instance().openFile(tool + "/standard.dbf", true, &held) &&
               held->lock(0x7FFFFFFEu - 100000, 100000, true);
      });
      ASSERT_TRUE(other.ready());
      dry = expectDbftool(arguments(c, tool) + " --dry-run", c.exitCode);
    }
    EXPECT_TRUE(snapshot(tool) == before);
    const std::string real = expectDbftool(arguments(c, tool), c.exitCode);
    EXPECT_FALSE(listed(real).empty()) << real;
    EXPECT_EQ(listed(dry), listed(real));

    // What dbfread finds changed is what the run listed.
    std::map<std::int32_t, std::string> changed;
    for (const StoredStandard& row : standardsByDbfread(tool + "/standard.dbf")) {
      const StoredStandard* old = findStandard(rowsBefore, row.tree, row.node);
      if (row.tree == c.tree && (!old || old->title != row.title)) changed[row.node] = row.title;
    }
    EXPECT_EQ(changed, listed(real));

    SetDatabaseFolder(fromUtf8(window));
    const CommandReport report = windowCommand(c);
    EXPECT_EQ(report.written, static_cast<std::int32_t>(changed.size()));
    EXPECT_TRUE(readWholeFile(tool + "/standard.dbf") == readWholeFile(window + "/standard.dbf"));
  }
}

// Restore after Set Prefix gives the table back byte for byte and keeps the
// files it replaced as the next backup; backups lists both, newest first.
// Restore then touches nothing while another program has the table open,
// shared or alone (flock(1) holds the mark), nor from a damaged or missing
// backup; no command with wrong arguments writes anything.
TEST_F(DbfToolCourse, RestoreUndoesSetPrefixAndRefusesAHeldTableADamagedBackupAndBadArguments) {
  const char* files[] = {"standard.dbf", "standard.fpt", "standard.cdx"};
  std::map<std::string, std::string> original, marked;
  for (const char* f : files) original[f] = readWholeFile(course + "/" + f);
  EXPECT_EQ(expectDbftool("backups " + course, 0), "no backups in " + course + "/Backups/\n");
  expectDbftool("prefix " + course + " --tree 2 --standard 3 --identifier 1.1.", 0);
  for (const char* f : files) marked[f] = readWholeFile(course + "/" + f);
  ASSERT_NE(marked, original);

  // The table goes last: until then the old one, marked ours alone, keeps other programs from the new files.
  expectDbftool("restore " + course + " 1", 0,
                {"put back: standard1.fpt as standard.fpt, standard1.cdx as standard.cdx, standard1.dbf as standard.dbf"});
  for (const char* f : files) {
    EXPECT_TRUE(readWholeFile(course + "/" + f) == original[f]) << f;
    std::string kept = std::string(f).insert(8, "2");
    EXPECT_TRUE(readWholeFile(course + "/Backups/" + kept) == marked[f]) << kept;
  }

  // After the header a line per backup: number, date and time, bytes of its files, records, files.
  std::string expected = "[^\n]*\n";
  for (const std::string n : {"2", "1"}) {
    const std::string stem = course + "/Backups/standard" + n;
    std::uintmax_t bytes = 0;
    for (const char* ext : {".dbf", ".fpt", ".cdx"}) bytes += fs::file_size(stem + ext);
    const std::string records = std::to_string(standardsByDbfread(stem + ".dbf").size());
    expected += n + " +\\S+ \\S+ +" + std::to_string(bytes) + " +" + records + " +standard" + n + "[.]dbf standard" + n +
                "[.]fpt standard" + n + "[.]cdx\n";
  }
  const std::string list = expectDbftool("backups " + course, 0);
  EXPECT_TRUE(std::regex_match(list, std::regex(expected))) << list;

  const auto before = snapshot(course);
  for (const char* mode : {"-s ", "-x "})
    expectDbftool("restore " + course + " 1", 1, {"open in another program"}, "flock " + (mode + course) + "/standard.dbf ");
  EXPECT_TRUE(snapshot(course) == before);

  fs::resize_file(course + "/Backups/standard1.dbf", fs::file_size(course + "/Backups/standard1.dbf") - 100);
  const auto damaged = snapshot(course);
  expectDbftool("restore " + course + " 1", 1, {"damaged"});
  expectDbftool("restore " + course + " 3", 2);

  // Wrong arguments: one line, exit status 2, nothing written.
  TempDir empty;
  const std::string setPrefix = " --standard 3 --identifier 1.1.";
  const std::pair<std::string, const char*> cases[] = {
      {"prefix " + course + " --tree 9" + setPrefix, "is not a state tree"},
      {"prefix " + course + " --tree 1" + setPrefix, "is not a state tree"},
      {"prefix " + course + " --tree 2 --standard 999 --identifier 1.1.", "is not in tree 2"},
      {"prefix " + course + " --tree 2 --standard 3 --identifier ''", "identifier is empty"},
      {"prefix " + course + " --tree 2 --standard 3 --identifier 7.7.", "is not in the title"},
      {"prefix " + course + " --tree 2 --standard 3", "needs --identifier"},
      {"replace-colons " + course + " --tree 2 --dry", "unknown option"},
      {"replace-colons " + empty.path() + " --tree 2", "not a course database"},
      {"prefix " + empty.path() + " --tree 2" + setPrefix, "not a course database"},
      {"backups " + empty.path(), "not a course database"},
      {"restore " + empty.path() + " 1", "not a course database"},
  };
  for (const auto& [args, message] : cases) {
    std::string out = expectDbftool(args, 2, {message});
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  }
  EXPECT_TRUE(snapshot(course) == damaged);
  EXPECT_TRUE(fs::is_empty(empty.path()));
}

} // namespace
} // namespace pu::test
