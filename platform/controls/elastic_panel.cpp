#include "platform/controls/elastic_panel.h"

#include <QEvent>
#include <QPalette>

namespace pu {

ElasticPanel::ElasticPanel(QWidget* parent) : QWidget(parent) {}

void ElasticPanel::setFillParent(bool fill) {
  if (fill == m_fillParent) return;
  m_fillParent = fill;
  QWidget* parent = parentWidget();
  if (!parent) return;
  if (fill) {
    parent->installEventFilter(this);
    coverParent();
  } else {
    parent->removeEventFilter(this);
  }
}

void ElasticPanel::setBackColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::Window, color);
  setPalette(p);
  setAutoFillBackground(true);
}

QColor ElasticPanel::backColor() const { return palette().color(QPalette::Window); }

bool ElasticPanel::eventFilter(QObject* watched, QEvent* event) {
  if (m_fillParent && watched == parentWidget() && event->type() == QEvent::Resize) coverParent();
  return QWidget::eventFilter(watched, event);
}

void ElasticPanel::coverParent() {
  if (QWidget* parent = parentWidget()) setGeometry(parent->rect());
}

} // namespace pu
