#include "platform/controls/screen_metrics.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace pu {
namespace {

constexpr double kFallbackTwipsPerPixel = 15.0;

QScreen* primaryScreen() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
}

double twipsPerPixel(double dotsPerInch) {
  return dotsPerInch > 0 ? kTwipsPerInch / dotsPerInch : kFallbackTwipsPerPixel;
}

int rounded(double value) { return static_cast<int>(std::lround(value)); }

} // namespace

double twipsPerPixelX() {
  QScreen* screen = primaryScreen();
  return twipsPerPixel(screen ? screen->logicalDotsPerInchX() : 0.0);
}

double twipsPerPixelY() {
  QScreen* screen = primaryScreen();
  return twipsPerPixel(screen ? screen->logicalDotsPerInchY() : 0.0);
}

int pixelsFromTwipsX(double twips) { return rounded(twips / twipsPerPixelX()); }
int pixelsFromTwipsY(double twips) { return rounded(twips / twipsPerPixelY()); }
int twipsFromPixelsX(double pixels) { return rounded(pixels * twipsPerPixelX()); }
int twipsFromPixelsY(double pixels) { return rounded(pixels * twipsPerPixelY()); }

QSize displaySizePixels() {
  QScreen* screen = primaryScreen();
  return screen ? screen->geometry().size() : QSize();
}

QRect workAreaPixels() {
  QScreen* screen = primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

} // namespace pu
