#include "platform/controls/push_button.h"

#include "platform/controls/screen_metrics.h"

namespace pu {

PushButton::PushButton(QWidget* parent) : QPushButton(parent) {}

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

void PushButton::setTwipsGeometry(int left, int top, int width, int height) {
  setGeometry(pixelsFromTwipsX(left), pixelsFromTwipsY(top), pixelsFromTwipsX(width), pixelsFromTwipsY(height));
}

} // namespace pu
