#include "platform/controls/window_layout.h"

#include <QFontMetricsF>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "platform/controls/screen_metrics.h"
#include "platform/controls/screen_pointer.h"

namespace pu {

std::int32_t WorkAreaWidth = 0;
std::int32_t WorkAreaHeight = 0;
std::int32_t WorkAreaLeft = 0;
std::int32_t WorkAreaTop = 0;
std::int32_t BusyCount = 0;

namespace {

std::int32_t roundedTwips(double value) { return static_cast<std::int32_t>(std::lround(value)); }

// The window's outer size in twips: the frame the window system draws is part of it.
QSize outerSizeTwips(const QWidget* window) {
  QSize outer = window->frameGeometry().size();
  return {twipsFromPixelsX(outer.width()), twipsFromPixelsY(outer.height())};
}

} // namespace

void CenterForm(QWidget* window, std::int16_t& width, std::int16_t& height) {
  if (!window) return;
  QSize outer = outerSizeTwips(window);
  if (width == 0) width = static_cast<std::int16_t>(outer.width());
  if (height == 0) height = static_cast<std::int16_t>(outer.height());
  if (window->isMinimized() || window->isMaximized()) {
    window->showNormal();
    outer = outerSizeTwips(window);
  }

  std::int32_t left = 0, top = 0;
  if (WorkAreaWidth != 0) {
    left = WorkAreaLeft + (WorkAreaWidth - outer.width()) / 2;
    top = WorkAreaTop + (WorkAreaHeight - outer.height()) / 2;
  } else {
    QSize screen = displaySizePixels();
    left = (twipsFromPixelsX(screen.width()) - outer.width()) / 2;
    top = (twipsFromPixelsY(screen.height()) - outer.height()) / 2;
  }
  window->move(pixelsFromTwipsX(left), pixelsFromTwipsY(top));

  // Qt sizes the client area; the frame stays as it is.
  QSize frame = window->frameGeometry().size() - window->size();
  int clientWidth = pixelsFromTwipsX(width) - frame.width();
  int clientHeight = pixelsFromTwipsY(height) - frame.height();
  // A size that does not fit in 16 bits came back negative: keep the size.
  if (clientWidth > 0 && clientHeight > 0) window->resize(clientWidth, clientHeight);
}

void CenterForm(QWidget* window) {
  std::int16_t width = 0, height = 0;
  CenterForm(window, width, height);
}

void MeasureWorkArea() {
  QRect area = workAreaPixels();
  if (area.isEmpty()) {
    QSize screen = displaySizePixels();
    area = QRect(QPoint(0, 0), screen);
  }
  WorkAreaLeft = roundedTwips(area.left() * twipsPerPixelX());
  WorkAreaTop = roundedTwips(area.top() * twipsPerPixelY());
  WorkAreaWidth = roundedTwips(area.width() * twipsPerPixelX());
  WorkAreaHeight = roundedTwips(area.height() * twipsPerPixelY());
}

bool SetTopmost(QWidget* window, bool& onTop) {
  if (!window) return false;
  bool visible = window->isVisible();
  window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  // Changing a window flag hides a shown window; show it again where it was.
  if (visible) window->show();
  return true;
}

bool MakeTopmost(QWidget* window) {
  bool onTop = true;
  return SetTopmost(window, onTop);
}

std::int32_t TextWidthIn(const QWidget* control, const QString& text) {
  if (!control) return 0;
  QFontMetricsF metrics(control->font());
  double widest = 0;
  QString lines = text;
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
  for (const QString& line : lines.split(QChar('\n'))) widest = std::max(widest, metrics.horizontalAdvance(line));
  return roundedTwips(std::ceil(widest) * twipsPerPixelX());
}

std::int32_t BlendColor(std::int32_t first, std::int32_t second, float& fraction) {
  fraction = std::clamp(fraction, 0.0f, 1.0f);
  std::int32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    // 255 counts as 256 so that a full component blends in even steps.
    int a = (first >> shift) & 0xFF, b = (second >> shift) & 0xFF;
    if (a == 255) a = 256;
    if (b == 255) b = 256;
    // nearbyint rounds halves to even in the default rounding mode.
    auto c = static_cast<std::int32_t>(std::nearbyint(static_cast<double>(b - a) * static_cast<double>(fraction) + a));
    if (c == 256) c = 255;
    result |= c << shift;
  }
  return result;
}

void BeginBusy() {
  ++BusyCount;
  setScreenMousePointer(kPointerHourglass);
}

void EndBusy(bool force) {
  if (force) {
    BusyCount = 0;
    setScreenMousePointer(kPointerDefault);
    return;
  }
  --BusyCount;
  if (BusyCount <= 0) {
    BusyCount = 0;
    setScreenMousePointer(kPointerDefault);
  }
}

} // namespace pu
