// dbftool: looks inside FoxPro tables, and works on a course database's
// standards table as the program's window does. Its commands are listed in kCommands
// (--help and the usage line); the manual page, dbftool(1), has an entry for each.
#include <cstring>
#include <iomanip>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "tools/dbftool/commands.h"
#include "tools/dbftool/course_folder.h"

namespace {

struct CommandHelp {
  const char* synopsis;
  const char* summary;
};

// One entry per command, in the order of the manual page.
constexpr CommandHelp kCommands[] = {
    {"info FILE", "header, fields, record count and code page"},
    {"dump [--csv] FILE", "the records as text, or as CSV"},
    {"check FILE", "the file's structure and every tag of its index"},
    {"reindex FILE", "rebuilds every tag of the production index"},
    {"keys FILE [TAG]", "every tag's entries (or TAG's) in tag order"},
    {"make-sample FOLDER [--nodes N]", "writes a sample course database"},
    {"backups FOLDER", "the standards table's numbered backups"},
    {"restore FOLDER N", "puts backup N back as the standards table"},
    {"prefix FOLDER --tree T --standard N --identifier TEXT [--include-parent] [--dry-run]",
     "Set Prefix at the depth of standard N"},
    {"replace-colons FOLDER --tree T [--dry-run]", "Replace : (\": \" becomes \":*\") in tree T"},
};

constexpr int kSynopsisWidth = 32;

bool is(const char* arg, const char* word) { return std::strcmp(arg, word) == 0; }

void help() {
  std::cout << "Usage: dbftool COMMAND ARGUMENTS\n"
               "Looks inside FoxPro tables: a .dbf file with its .cdx production index and\n"
               ".fpt memo file.\n\nCommands:\n";
  for (const CommandHelp& c : kCommands) {
    std::cout << "  " << std::left << std::setw(kSynopsisWidth) << c.synopsis;
    if (static_cast<int>(std::strlen(c.synopsis)) >= kSynopsisWidth) std::cout << "\n  " << std::setw(kSynopsisWidth) << "";
    std::cout << c.summary << "\n";
  }
  std::cout << "\nThe course database commands take the database's folder. prefix and\n"
               "replace-colons back the standards table up first, as the program does at\n"
               "start-up, list each title they change, old and new, then report what was\n"
               "left; --dry-run lists what they would change and writes nothing.\n"
               "\nExamples:\n"
               "    dbftool backups course\n"
               "    dbftool restore course 3\n"
               "    dbftool prefix course --tree 2 --standard 3 --identifier 1.1. --dry-run\n"
               "    dbftool replace-colons course --tree 2\n"
               "\nOptions:\n"
               "  --help     show this help and end\n"
               "  --version  show the version and end\n"
               "\n"
               "Exit status: 0 when the command succeeded, 1 when a file could not be read or\n"
               "written or was found damaged, or a title that needed a change was left, 2 when\n"
               "the arguments are wrong.\n";
}

int usage() {
  std::cerr << "usage: dbftool";
  const char* separator = " ";
  for (const CommandHelp& c : kCommands) {
    std::cerr << separator << c.synopsis;
    separator = " | ";
  }
  std::cerr << "\n";
  return 2;
}

struct Options {
  std::map<std::string, std::string> values;
  std::set<std::string> flags;
};

// The options after a course command's folder: each of `valued` is needed
// and takes the next word as its value, each of `flags` stands alone.
// Nothing, the refusal written, on an unknown, missing or valueless option.
std::optional<Options> parseOptions(int argc, char** argv, const std::set<std::string>& valued,
                                    const std::set<std::string>& flags) {
  Options options;
  for (int i = 3; i < argc; ++i) {
    if (flags.count(argv[i])) {
      options.flags.insert(argv[i]);
    } else if (valued.count(argv[i]) && i + 1 < argc) {
      options.values[argv[i]] = argv[i + 1];
      ++i;
    } else {
      dbftool::badArguments(std::string("unknown option or missing value: ") + argv[i]);
      return std::nullopt;
    }
  }
  for (const std::string& option : valued) {
    if (!options.values.count(option)) {
      dbftool::badArguments(std::string(argv[1]) + " needs " + option);
      return std::nullopt;
    }
  }
  return options;
}

std::optional<std::int32_t> treeNumber(const Options& options) {
  std::optional<std::int32_t> tree = dbftool::parseNumber(options.values.at("--tree"), 1, 32767);
  if (!tree) dbftool::badArguments("--tree needs a tree number from 1 to 32767");
  return tree;
}

int prefix(int argc, char** argv) {
  std::optional<Options> options =
      parseOptions(argc, argv, {"--tree", "--standard", "--identifier"}, {"--include-parent", "--dry-run"});
  if (!options) return dbftool::kBadArguments;
  std::optional<std::int32_t> tree = treeNumber(*options);
  if (!tree) return dbftool::kBadArguments;
  std::optional<std::int32_t> standard = dbftool::parseNumber(options->values.at("--standard"), 1, 2147483647);
  if (!standard) return dbftool::badArguments("--standard needs a node number from 1");
  dbftool::PrefixArguments arguments;
  arguments.tree = *tree;
  arguments.standard = *standard;
  arguments.identifier = options->values.at("--identifier");
  arguments.includeParent = options->flags.count("--include-parent") > 0;
  arguments.dryRun = options->flags.count("--dry-run") > 0;
  return dbftool::prefix(argv[2], arguments, std::cout);
}

int replaceColons(int argc, char** argv) {
  std::optional<Options> options = parseOptions(argc, argv, {"--tree"}, {"--dry-run"});
  if (!options) return dbftool::kBadArguments;
  std::optional<std::int32_t> tree = treeNumber(*options);
  if (!tree) return dbftool::kBadArguments;
  return dbftool::replaceColons(argv[2], *tree, options->flags.count("--dry-run") > 0, std::cout);
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 2 && is(argv[1], "--help")) {
    help();
    return 0;
  }
  if (argc == 2 && is(argv[1], "--version")) {
    std::cout << "dbftool " PU_VERSION "\n";
    return 0;
  }
  if (argc == 3 && is(argv[1], "info")) return dbftool::info(argv[2], std::cout);
  if (argc == 3 && is(argv[1], "dump")) return dbftool::dump(argv[2], false, std::cout);
  if (argc == 4 && is(argv[1], "dump") && is(argv[2], "--csv")) return dbftool::dump(argv[3], true, std::cout);
  if (argc == 3 && is(argv[1], "check")) return dbftool::check(argv[2], std::cout);
  if (argc == 3 && is(argv[1], "reindex")) return dbftool::reindex(argv[2], std::cout);
  if ((argc == 3 || argc == 4) && is(argv[1], "keys")) return dbftool::keys(argv[2], argc == 4 ? argv[3] : "", std::cout);
  if (argc == 3 && is(argv[1], "make-sample")) return dbftool::makeSample(argv[2], 0, std::cout);
  if (argc == 5 && is(argv[1], "make-sample") && is(argv[3], "--nodes")) {
    std::optional<std::int32_t> nodes = dbftool::parseNumber(argv[4], 1, 9000000);
    if (!nodes) return usage();
    return dbftool::makeSample(argv[2], *nodes, std::cout);
  }
  if (argc == 3 && is(argv[1], "backups")) return dbftool::backups(argv[2], std::cout);
  if (argc == 4 && is(argv[1], "restore")) {
    std::optional<std::int32_t> number = dbftool::parseNumber(argv[3], 1, 32767);
    if (!number) return dbftool::badArguments("restore needs a backup number from 1 to 32767");
    return dbftool::restore(argv[2], *number, std::cout);
  }
  if (argc >= 3 && is(argv[1], "prefix")) return prefix(argc, argv);
  if (argc >= 3 && is(argv[1], "replace-colons")) return replaceColons(argc, argv);
  return usage();
}
