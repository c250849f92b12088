// dbftool's commands on a course database: backups, restore and the prefix
// window's two commands, run as a user runs them on sample databases and
// checked against the window's own call, dbfread and the bytes on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "app/prefix_commands.h"
#include "db/standards_table.h"
#include "platform/fs/file_system.h"
#include "tests/platform/table/independent_reader.h"
#include "tests/support/other_program.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/run_dbftool.h"
#include "tools/sample/sample_database.h"
#include "util/path_globals.h"
#include "util/stored_text.h"

namespace pu::test {
namespace {

namespace fs = std::filesystem;

// Every file under the folder with its bytes.
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

// descript of every row of the tree, as dbfread reads the table.
std::map<std::int32_t, std::string> titlesOfTree(const std::string& dbf, int tree) {
  std::map<std::int32_t, std::string> titles;
  std::istringstream lines(dbfreadDump(dbf));
  for (std::string line; std::getline(lines, line);) {
    std::map<std::string, std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, '\t');)
      if (std::size_t eq = cell.find('='); eq != std::string::npos) cells[cell.substr(0, eq)] = cell.substr(eq + 1);
    if (cells["TREE_ID"] == std::to_string(tree)) titles[std::stoi(cells["NODE_ID"])] = cells["DESCRIPT"];
  }
  return titles;
}

class DbfToolCourse : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(sample::makeSampleDatabase(course, {})); }
  void TearDown() override { DataPath = TemplatePath = ClassTablePath = CourseTablePath = u""; }

  TempDir dir;
  std::string course = dir.file("course");
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
    const std::string folder = work.file("course"), window = work.file("window");
    fs::copy(course, folder, fs::copy_options::recursive);
    fs::copy(course, window, fs::copy_options::recursive);
    const auto before = snapshot(folder);
    const auto titlesBefore = titlesOfTree(folder + "/standard.dbf", c.tree);

    std::string dry;
    {
      std::unique_ptr<File> held;  // open in the other program until it ends: closing it would drop the locks
      OtherProgram other([&] {
        return FileSystem::instance().openFile(folder + "/standard.dbf", true, &held) &&
               held->lock(0x7FFFFFFEu - 100000, 100000, true);
      });
      ASSERT_TRUE(other.ready());
      dry = expectDbftool(arguments(c, folder) + " --dry-run", c.exitCode);
    }
    EXPECT_TRUE(snapshot(folder) == before);
    const std::string real = expectDbftool(arguments(c, folder), c.exitCode);
    EXPECT_FALSE(listed(real).empty()) << real;
    EXPECT_EQ(listed(dry), listed(real));

    // What dbfread finds changed is what the run listed.
    std::map<std::int32_t, std::string> changed;
    for (const auto& [node, title] : titlesOfTree(folder + "/standard.dbf", c.tree))
      if (titlesBefore.at(node) != title) changed[node] = title;
    EXPECT_EQ(changed, listed(real));

    DataPath = TemplatePath = ClassTablePath = CourseTablePath = fromUtf8(window);
    const CommandReport report = windowCommand(c);
    EXPECT_EQ(report.written, static_cast<std::int32_t>(changed.size()));
    EXPECT_TRUE(readWholeFile(folder + "/standard.dbf") == readWholeFile(window + "/standard.dbf"));
  }
}

// Restore after Set Prefix gives the table back byte for byte and keeps the
// files it replaced as the next backup; backups lists both, newest first.
// Restore then touches nothing while another program has the table open,
// shared or alone (flock(1) holds the mark), nor from a damaged or missing backup.
TEST_F(DbfToolCourse, RestoreUndoesSetPrefixAndRefusesAHeldTableAndADamagedBackup) {
  const char* files[] = {"standard.dbf", "standard.fpt", "standard.cdx"};
  std::map<std::string, std::string> original, marked;
  for (const char* f : files) original[f] = readWholeFile(course + "/" + f);
  EXPECT_EQ(dbftool("backups " + course).out, "no backups in " + course + "/Backups/\n");
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

  // Each line: number, date and time, bytes of its files, records, files.
  const std::string list = expectDbftool("backups " + course, 0);
  std::istringstream lines(list);
  std::string header, line;
  std::getline(lines, header);
  const std::string dbfread =
      "import dbfread,sys; t = dbfread.DBF(sys.argv[1], load=True); print(len(t.records) + len(t.deleted))";
  for (int number : {2, 1}) {
    ASSERT_TRUE(std::getline(lines, line)) << list;
    std::istringstream fields(line);
    int listedNumber = 0;
    std::string date, time, bytes, records, names;
    fields >> listedNumber >> date >> time >> bytes >> records;
    std::getline(fields >> std::ws, names);
    const std::string n = std::to_string(number);
    EXPECT_EQ(listedNumber, number) << list;
    EXPECT_EQ(records + "\n", runPython(dbfread, course + "/Backups/standard" + n + ".dbf")) << line;
    EXPECT_EQ(names, "standard" + n + ".dbf standard" + n + ".fpt standard" + n + ".cdx");
    std::uintmax_t total = 0;
    for (const char* ext : {".dbf", ".fpt", ".cdx"}) total += fs::file_size(course + "/Backups/standard" + n + ext);
    EXPECT_EQ(bytes, std::to_string(total)) << line;
  }
  EXPECT_FALSE(std::getline(lines, line)) << list;

  const auto before = snapshot(course);
  for (const char* mode : {"-s ", "-x "})
    expectDbftool("restore " + course + " 1", 1, {"open in another program"}, "flock " + (mode + course) + "/standard.dbf ");
  EXPECT_TRUE(snapshot(course) == before);

  fs::resize_file(course + "/Backups/standard1.dbf", fs::file_size(course + "/Backups/standard1.dbf") - 100);
  const auto damaged = snapshot(course);
  expectDbftool("restore " + course + " 1", 1, {"damaged"});
  expectDbftool("restore " + course + " 3", 2);
  EXPECT_TRUE(snapshot(course) == damaged);
}

// Wrong arguments: one line, exit status 2, nothing written.
TEST_F(DbfToolCourse, BadArgumentsWriteNothing) {
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
  const auto before = snapshot(course);
  for (const auto& [args, message] : cases) {
    std::string out = expectDbftool(args, 2, {message});
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  }
  EXPECT_TRUE(snapshot(course) == before);
  EXPECT_TRUE(fs::is_empty(empty.path()));
}

} // namespace
} // namespace pu::test
