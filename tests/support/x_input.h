#pragma once
// Real input from the X server of a virtual display (xdotool), run while
// this thread goes on serving the window system, as it does for a user.
#include <QGuiApplication>
#include <QWidget>
#include <QTest>
#include <cstdlib>
#include <future>
#include <string>

namespace pu::test {

// Why real X input cannot be had here; empty when it can.
inline std::string withoutXInput() {
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) return "needs an X display";
  if (std::system("command -v xdotool >/dev/null") != 0) return "needs xdotool";
  return {};
}

// Runs `xdotool ARGS` and waits for it with events running; true when it
// succeeded. xdotool has its input processed by the server before it exits;
// a round trip of our own then brings every event it caused to the window
// before the test looks, however slowly the machine delivers them.
inline bool xdotool(const std::string& args) {
  std::string command = "xdotool " + args;
  auto done = std::async(std::launch::async, [command] { return std::system(command.c_str()); });
  while (done.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) QTest::qWait(20);
  bool ok = done.get() == 0;
  QGuiApplication::sync();
  QCoreApplication::processEvents();  // what the input's own handlers posted
  return ok;
}

inline std::string xdotoolAt(const QPoint& global) {
  return "mousemove " + std::to_string(global.x()) + " " + std::to_string(global.y());
}

// A real click at a point of the widget; real presses of the named keys.
inline bool xClick(QWidget* widget, QPoint local) { return xdotool(xdotoolAt(widget->mapToGlobal(local)) + " click 1"); }
inline bool xKeys(const std::string& names) { return xdotool("key --delay 50 " + names); }

} // namespace pu::test
