#pragma once
// Program-wide state of the message box, written before the box is shown and
// read by its handlers. One box is open at a time; the values of the last box
// stay until the next call overwrites them.
#include <array>
#include <cstdint>
#include <optional>

#include "platform/text/ansi.h"

namespace pu {

extern Text MsgText;
extern Text MsgTitle;
extern std::int16_t MsgIcon;  // options And 112
// Captions of buttons 1 to 3 with "&" before the accelerator; empty = not shown.
extern std::array<Text, 3> ButtonCaptions;
extern std::int16_t DefaultButton;  // 1 to 3
extern std::int16_t CancelButton;   // pressed by Escape; 0 = none
// The pressed button's number while the box is open; the result code after.
extern std::int32_t PressedButton;

// The text Ctrl+C puts on the clipboard: title, message and captions between
// lines of hyphens, every line ending in CR LF.
Text MsgBoxClipboardText();

// Steps that precede showing the box: the state from the arguments.
// Returns the button set in force (0 to 5).
std::int32_t SetMsgBoxState(const Text& message, std::int32_t options, const std::optional<Text>& title);
// The result code for a pressed button number under the given button set.
std::int32_t MapPressedButton(std::int32_t buttonSet, std::int32_t pressed);
// The caption used when a box has no title.
Text MsgBoxApplicationTitle();

} // namespace pu
