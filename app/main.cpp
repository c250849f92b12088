#include <QApplication>
#include <QStringList>
#include <cstring>
#include <iostream>

#include "app/prefix_main.h"

// The desktop bus library keeps a buffer until the process ends; that is not
// ours to free, and address-sanitised builds would fail every run over it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

// What the manual page, prefixutil(1), says at more length.
constexpr const char* kHelp =
    "Usage: prefixutil [FOLDER]\n"
    "Marks the identifiers in the titles of a course database's learning standards\n"
    "and edits the standards' family trees.\n"
    "\n"
    "The folder dialog asks for the course database, opened at FOLDER when one is\n"
    "given, else at the working folder; the folder confirmed there is the database.\n"
    "\n"
    "Options:\n"
    "  --help     show this help and end\n"
    "  --version  show the version and end\n"
    "The options every Qt program takes (-platform, -style, ...) are taken too.\n"
    "\n"
    "Exit status: 0 when the program ends, 2 when the arguments are wrong.\n";

int wrongArguments() {
  std::cerr << "usage: prefixutil [FOLDER] (prefixutil --help says more)\n";
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  // Answered before the application object exists, so no display is needed.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::cout << kHelp;
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "prefixutil " PU_VERSION "\n";
      return 0;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Prefix Utility"));
  // Lets the desktop match the windows to the menu entry and its icon.
  QApplication::setDesktopFileName(QStringLiteral("prefixutil"));
  // Qt has taken its own options out of the arguments by now.
  QStringList args = QApplication::arguments();
  if (args.size() > 2 || (args.size() == 2 && args.at(1).startsWith(u'-'))) return wrongArguments();
  pu::Main(args.size() > 1 ? args.at(1).toStdU16String() : pu::Text());
  return 0;
}
