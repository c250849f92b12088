#pragma once
// A push button with a caption and a click, as the system's windows place
// them. A "&" in the caption marks the accelerator letter, shown underlined.
#include <QPushButton>

namespace pu {

class PushButton : public QPushButton {
  Q_OBJECT
public:
  explicit PushButton(QWidget* parent = nullptr);
  PushButton(const QString& caption, QWidget* parent);

  void setCaption(const QString& caption) { setText(caption); }
  QString caption() const { return text(); }

  // Design geometry in twips, relative to the parent.
  void setTwipsGeometry(int left, int top, int width, int height);
};

} // namespace pu
