// dbftool: looks inside FoxPro tables. Its commands are listed in kCommands
// (--help and the usage line); the manual page, dbftool(1), has an entry for each.
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <iostream>

#include "tools/dbftool/commands.h"

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
};

bool is(const char* arg, const char* word) { return std::strcmp(arg, word) == 0; }

void help() {
  std::cout << "Usage: dbftool COMMAND ARGUMENTS\n"
               "Looks inside FoxPro tables: a .dbf file with its .cdx production index and\n"
               ".fpt memo file.\n\nCommands:\n";
  for (const CommandHelp& c : kCommands) std::cout << "  " << std::left << std::setw(32) << c.synopsis << c.summary << "\n";
  std::cout << "\nOptions:\n"
               "  --help     show this help and end\n"
               "  --version  show the version and end\n"
               "\n"
               "Exit status: 0 when the command succeeded, 1 when a file could not be read or\n"
               "written or was found damaged, 2 when the arguments are wrong.\n";
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
    char* end = nullptr;
    long nodes = std::strtol(argv[4], &end, 10);
    if (*end != '\0' || nodes < 1 || nodes > 9000000) return usage();
    return dbftool::makeSample(argv[2], static_cast<std::int32_t>(nodes), std::cout);
  }
  return usage();
}
