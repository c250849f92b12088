#include "msgbox/msg_box.h"

#include <QApplication>
#include <deque>
#include <iostream>

#include "msgbox/frm_msg_box.h"
#include "msgbox/msg_box_state.h"

namespace pu {
namespace {

std::deque<std::int32_t> g_nextAnswers;

} // namespace

std::int32_t MsgBoxEx(const Text& message, std::int32_t options, const std::optional<Text>& title) {
  if (!g_nextAnswers.empty()) {
    SetMsgBoxState(message, options, title);
    PressedButton = g_nextAnswers.front();
    g_nextAnswers.pop_front();
    return PressedButton;
  }
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    // No window can be shown; the message must not vanish without a trace.
    std::int32_t set = SetMsgBoxState(message, options, title);
    std::cerr << toUtf8(MsgTitle) << ": " << toUtf8(MsgText) << '\n';
    PressedButton = MapPressedButton(set, CancelButton);
    return PressedButton;
  }
  frmMsgBox box;
  return box.ShowMsgBox(message, options, title);
}

void setMsgBoxNextAnswer(std::int32_t result) { g_nextAnswers.push_back(result); }

std::size_t pendingMsgBoxAnswers() { return g_nextAnswers.size(); }

void clearMsgBoxAnswers() { g_nextAnswers.clear(); }

} // namespace pu
