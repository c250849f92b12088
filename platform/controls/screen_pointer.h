#pragma once
// The one program-wide mouse pointer that overrides every window's own, as
// the busy counter and the message box set it: 0 the normal pointer of each
// window, 11 the hourglass. Other values show the normal pointer too.

namespace pu {

inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;

int screenMousePointer();
void setScreenMousePointer(int pointer);

} // namespace pu
