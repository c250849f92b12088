#pragma once
// Opens a message box without waiting for it, so a test can click and type.
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "msgbox/frm_msg_box.h"
#include "platform/controls/push_button.h"

namespace pu::test {

class OpenMsgBox {
public:
  OpenMsgBox(const Text& message, std::int32_t options, const std::optional<Text>& title = Text(u"T")) {
    m_box.prepare(message, options, title);
    m_box.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_box));
  }

  frmMsgBox& box() { return m_box; }
  PushButton* button(int n) { return m_box.button(n); }
  bool visible(int n) { return !m_box.button(n)->isHidden(); }

  void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* target = m_box.focusWidget() ? m_box.focusWidget() : &m_box;
    QTest::keyClick(target, key, modifiers);
  }
  void click(int n) { QTest::mouseClick(m_box.button(n), Qt::LeftButton); }

  // The result once the box has closed; -1 when it stays open.
  std::int32_t result() {
    if (!QTest::qWaitFor([this] { return !m_box.isVisible(); }, 2000)) return -1;
    return m_box.finish();
  }
  // True when the box is still open a moment after the last input.
  bool staysOpen() {
    QTest::qWait(20);
    return m_box.isVisible();
  }

private:
  frmMsgBox m_box;
};

} // namespace pu::test
