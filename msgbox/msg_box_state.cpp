#include "msgbox/msg_box_state.h"

#include <QGuiApplication>

#include "msgbox/msg_box.h"

namespace pu {

Text MsgText;
Text MsgTitle;
std::int16_t MsgIcon = 0;
std::array<Text, 3> ButtonCaptions;
std::int16_t DefaultButton = 1;
std::int16_t CancelButton = 0;
std::int32_t PressedButton = 0;

namespace {

struct ButtonSet {
  std::array<const char16_t*, 3> captions;
  std::int16_t cancelButton;
  std::array<std::int32_t, 3> results;  // 0 = no entry
};

const std::array<ButtonSet, 6> kButtonSets = {{
    {{u"OK", u"", u""}, 1, {MsgResult::Ok, 0, 0}},
    {{u"OK", u"Cancel", u""}, 2, {MsgResult::Ok, MsgResult::Cancel, 0}},
    {{u"&Abort", u"&Retry", u"&Ignore"}, 0, {MsgResult::Abort, MsgResult::Retry, MsgResult::Ignore}},
    {{u"&Yes", u"&No", u"Cancel"}, 3, {MsgResult::Yes, MsgResult::No, MsgResult::Cancel}},
    {{u"&Yes", u"&No", u""}, 0, {MsgResult::Yes, MsgResult::No, 0}},
    {{u"&Retry", u"Cancel", u""}, 2, {MsgResult::Retry, MsgResult::Cancel, 0}},
}};

const Text kRule(27, u'-');
const Text kLineEnd = u"\r\n";

// Sets 6 and 7 have no buttons of their own; a box always needs one, so they show "OK".
std::int32_t buttonSetOf(std::int32_t options) {
  std::int32_t set = options & MsgButtons::Mask;
  return set < static_cast<std::int32_t>(kButtonSets.size()) ? set : MsgButtons::OkOnly;
}

} // namespace

Text MsgBoxApplicationTitle() {
  QString name = QGuiApplication::applicationDisplayName();
  return name.isEmpty() ? Text(u"Prefix Utility") : name.toStdU16String();
}

std::int32_t SetMsgBoxState(const Text& message, std::int32_t options, const std::optional<Text>& title) {
  MsgText = message;
  MsgTitle = title ? *title : MsgBoxApplicationTitle();
  MsgIcon = static_cast<std::int16_t>(options & MsgIcons::Mask);
  std::int32_t set = buttonSetOf(options);
  const ButtonSet& buttons = kButtonSets[static_cast<std::size_t>(set)];
  for (std::size_t i = 0; i < 3; ++i) ButtonCaptions[i] = buttons.captions[i];
  CancelButton = buttons.cancelButton;
  switch (options & MsgDefault::Mask) {
    case MsgDefault::Button2: DefaultButton = 2; break;
    case MsgDefault::Button3: DefaultButton = 3; break;
    default: DefaultButton = 1; break;
  }
  return set;
}

std::int32_t MapPressedButton(std::int32_t buttonSet, std::int32_t pressed) {
  if (buttonSet == MsgButtons::OkOnly) return MsgResult::Ok;
  if (buttonSet < 0 || buttonSet >= static_cast<std::int32_t>(kButtonSets.size()) || pressed < 1 || pressed > 3) return pressed;
  std::int32_t result = kButtonSets[static_cast<std::size_t>(buttonSet)].results[static_cast<std::size_t>(pressed - 1)];
  return result != 0 ? result : pressed;
}

Text MsgBoxClipboardText() {
  Text captions;
  for (const Text& caption : ButtonCaptions)
    if (!caption.empty()) captions += caption + u"   ";
  Text text;
  for (const Text& line : {kRule, MsgTitle, kRule, MsgText, kRule, captions, kRule}) text += line + kLineEnd;
  return text;
}

} // namespace pu
