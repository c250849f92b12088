#include <QApplication>
#include <QStringList>

#include "app/prefix_main.h"

// The desktop bus library keeps a buffer until the process ends; that is not
// ours to free, and address-sanitised builds would fail every run over it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

// For ./run only: an optional first argument names the database folder that
// the folder dialog opens at; the user still confirms it.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Prefix Utility"));
  QStringList args = QApplication::arguments();
  pu::Main(args.size() > 1 ? args.at(1).toStdU16String() : pu::Text());
  return 0;
}
