// dbftool: looks inside FoxPro tables.
//   dbftool info FILE                        header, fields, record count, code page
//   dbftool dump [--csv] FILE                the records as text or CSV
//   dbftool check FILE                       the file's structure and every tag of its index
//   dbftool reindex FILE                     rebuilds every tag of the production index
//   dbftool keys FILE [TAG]                  every entry of the tags in tag order
//   dbftool make-sample FOLDER [--nodes N]   writes a sample course database
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "tools/dbftool/commands.h"

namespace {

bool is(const char* arg, const char* word) { return std::strcmp(arg, word) == 0; }

int usage() {
  std::cerr << "usage: dbftool info FILE | dump [--csv] FILE | check FILE | reindex FILE | keys FILE [TAG] | make-sample FOLDER [--nodes N]\n";
  return 2;
}

} // namespace

int main(int argc, char** argv) {
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
