#include "platform/controls/screen_pointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace pu {
namespace {

int g_pointer = kPointerDefault;
// Qt keeps a stack of override cursors; we hold at most one entry of it so
// that setting the pointer twice never needs two restores.
bool g_overridden = false;

bool haveGuiApplication() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

} // namespace

int screenMousePointer() { return g_pointer; }

void setScreenMousePointer(int pointer) {
  g_pointer = pointer;
  if (!haveGuiApplication()) return;
  if (pointer == kPointerHourglass) {
    if (g_overridden) {
      QGuiApplication::changeOverrideCursor(QCursor(Qt::WaitCursor));
    } else {
      QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
      g_overridden = true;
    }
  } else if (g_overridden) {
    QGuiApplication::restoreOverrideCursor();
    g_overridden = false;
  }
}

} // namespace pu
