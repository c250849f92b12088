#pragma once
// The message box window. It sizes itself to the message, labels its buttons
// with accelerators, presses a button by number or accelerator letter and
// copies its content on Ctrl+C. It sees every key before its controls do.
#include <QDialog>
#include <QIcon>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "platform/text/ansi.h"

class QLabel;
class QTimer;
class QKeyEvent;

namespace pu {

class ElasticPanel;
class PushButton;

class frmMsgBox : public QDialog {
  Q_OBJECT
public:
  explicit frmMsgBox(QWidget* parent = nullptr);

  // Shows the box modally and returns the result code once it is closed.
  std::int32_t ShowMsgBox(const Text& message, std::int32_t options, const std::optional<Text>& title);

  // The steps of ShowMsgBox around the modal wait, for callers (tests) that
  // show the box themselves: prepare() sets the state and lays the window
  // out; finish() maps the pressed button to the result code, once, after
  // the window has closed.
  void prepare(const Text& message, std::int32_t options, const std::optional<Text>& title);
  std::int32_t finish();

  PushButton* button(int number) const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  void done(int code) override;

private:
  void load();
  void activate();
  void press(std::int32_t number);
  bool handleKey(const QKeyEvent* event);

  ElasticPanel* m_vseBack;
  QLabel* m_imgIcon;
  std::map<int, QIcon> m_imgStockIcon;
  QLabel* m_lblMessage;
  ElasticPanel* m_vseButtonGroup;
  std::array<PushButton*, 3> m_btnButton{};
  QTimer* m_tmrUnload;
  std::int32_t m_buttonSet = 0;
  int m_savedPointer = 0;
};

// Called with the box after it has been laid out; start-up installs its FormHook.
void setMsgBoxFormHook(std::function<void(QWidget*)> hook);

} // namespace pu
