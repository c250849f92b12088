#pragma once
// A container that keeps its children laid out when its window is resized.
// Children are arranged by a Qt layout set on the panel, or placed by hand.
// A panel that fills its parent follows every resize of the parent, so it
// always covers the parent's whole client area.
#include <QColor>
#include <QWidget>

namespace pu {

class ElasticPanel : public QWidget {
  Q_OBJECT
public:
  explicit ElasticPanel(QWidget* parent = nullptr);

  void setFillParent(bool fill);
  bool fillParent() const { return m_fillParent; }

  void setBackColor(const QColor& color);
  QColor backColor() const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void coverParent();

  bool m_fillParent = false;
};

} // namespace pu
