// dbftool: looks inside FoxPro tables.
//   dbftool info FILE          header, fields, record count, code page
//   dbftool dump [--csv] FILE  the records as text or CSV
//   dbftool check FILE         verifies the file's structure
#include <cstring>
#include <iostream>

#include "tools/dbftool/commands.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "info") == 0) return dbftool::info(argv[2], std::cout);
  if (argc == 3 && std::strcmp(argv[1], "dump") == 0) return dbftool::dump(argv[2], false, std::cout);
  if (argc == 4 && std::strcmp(argv[1], "dump") == 0 && std::strcmp(argv[2], "--csv") == 0) return dbftool::dump(argv[3], true, std::cout);
  if (argc == 3 && std::strcmp(argv[1], "check") == 0) return dbftool::check(argv[2], std::cout);
  std::cerr << "usage: dbftool info FILE | dump [--csv] FILE | check FILE\n";
  return 2;
}
