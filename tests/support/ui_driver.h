#pragma once
// Acts on a modal window once it is shown, from inside its modal loop.
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace pu::test {

inline std::vector<QPointer<QTimer>> pendingWatchers;

// Runs act once on the first visible top-level window whose object name is
// name. A watcher whose window never came must be cancelled with
// cancelWhenShown() before the objects it refers to go away.
inline void whenShown(const QString& name, std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, name, act] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == name && w->isVisible()) {
        timer->stop();
        timer->deleteLater();
        act(w);
        return;
      }
    }
  });
  timer->start(5);
  pendingWatchers.emplace_back(timer);
}

inline void cancelWhenShown() {
  for (QPointer<QTimer>& timer : pendingWatchers) delete timer.data();
  pendingWatchers.clear();
}

} // namespace pu::test
