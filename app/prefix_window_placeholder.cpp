#include "app/prefix_window_placeholder.h"

#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

#include "app/layout/window_layout.h"
#include "platform/controls/push_button.h"
#include "util/path_globals.h"

namespace pu {

void ShowPrefixWindow() {
  QDialog window;
  window.setObjectName(QStringLiteral("frmPrefixUtil"));
  window.setWindowTitle(QStringLiteral("Prefix Utility"));
  auto* layout = new QVBoxLayout(&window);
  auto* label = new QLabel(QStringLiteral("Database folder:\n%1").arg(QString::fromStdU16String(DataPath)), &window);
  label->setObjectName(QStringLiteral("lblDatabaseFolder"));
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(label);
  auto* close = new PushButton(QStringLiteral("Close"), &window);
  close->setObjectName(QStringLiteral("cmdClose"));
  QObject::connect(close, &QPushButton::clicked, &window, &QDialog::accept);
  layout->addWidget(close, 0, Qt::AlignRight);
  window.resize(480, 140);
  CenterForm(&window);
  window.exec();
}

} // namespace pu
