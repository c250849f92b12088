#pragma once
// MsgBoxEx shows a message and waits for the user's answer. It takes the
// classic packed options value and returns the classic result codes, so
// callers compare the result with MsgResult values. No Qt in this header:
// callers outside the UI folders may include it.
#include <cstdint>
#include <optional>

#include "platform/text/ansi.h"

namespace pu {

// Options = one button set + one icon + one default button.
namespace MsgButtons {
inline constexpr std::int32_t OkOnly = 0;
inline constexpr std::int32_t OkCancel = 1;
inline constexpr std::int32_t AbortRetryIgnore = 2;
inline constexpr std::int32_t YesNoCancel = 3;
inline constexpr std::int32_t YesNo = 4;
inline constexpr std::int32_t RetryCancel = 5;
inline constexpr std::int32_t Mask = 7;
} // namespace MsgButtons

namespace MsgIcons {
inline constexpr std::int32_t None = 0;
inline constexpr std::int32_t Critical = 16;
inline constexpr std::int32_t Question = 32;
inline constexpr std::int32_t Exclamation = 48;
inline constexpr std::int32_t Information = 64;
inline constexpr std::int32_t Mask = 112;
} // namespace MsgIcons

namespace MsgDefault {
inline constexpr std::int32_t Button1 = 0;
inline constexpr std::int32_t Button2 = 256;
inline constexpr std::int32_t Button3 = 512;
inline constexpr std::int32_t Mask = 768;
} // namespace MsgDefault

namespace MsgResult {
inline constexpr std::int32_t None = 0;  // closed without a button that maps to a code
inline constexpr std::int32_t Ok = 1;
inline constexpr std::int32_t Cancel = 2;
inline constexpr std::int32_t Abort = 3;
inline constexpr std::int32_t Retry = 4;
inline constexpr std::int32_t Ignore = 5;
inline constexpr std::int32_t Yes = 6;
inline constexpr std::int32_t No = 7;
} // namespace MsgResult

// Shows the message modally and returns the result code. Without a title the
// application's title is the caption. Button sets 6 and 7 show "OK" alone,
// the default-button value 768 focuses button 1 and an icon value without a
// stock image shows no icon. Without a window system (no QApplication) the
// message goes to standard error and the box answers as if it were closed.
std::int32_t MsgBoxEx(const Text& message, std::int32_t options = 0, const std::optional<Text>& title = std::nullopt);

// Test hook: the next MsgBoxEx calls return these answers, first queued
// first, without showing a window. The box's state (MsgText, MsgTitle, ...)
// is still set, so a test can check what was asked.
void setMsgBoxNextAnswer(std::int32_t result);
std::size_t pendingMsgBoxAnswers();
void clearMsgBoxAnswers();

} // namespace pu
