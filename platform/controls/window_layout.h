#pragma once
// Placing and sizing windows and showing that the program is busy. Sizes and
// positions are in twips (1/1440 inch).
#include <QString>
#include <cstdint>

class QWidget;

namespace pu {

// The usable desktop area, set only by MeasureWorkArea; 0 until measured.
// While WorkAreaWidth is 0 windows are centred on the whole screen.
extern std::int32_t WorkAreaWidth;
extern std::int32_t WorkAreaHeight;
// Where that area starts on the screen, so that a panel at the top or left of
// the desktop does not push centred windows under it. 0 until measured.
extern std::int32_t WorkAreaLeft;
extern std::int32_t WorkAreaTop;

// Nesting depth of busy sections; 0 at start.
extern std::int32_t BusyCount;

// Restores a minimised or maximised window and centres it on the work area
// (the screen before MeasureWorkArea). A width or height of 0 is replaced by
// the window's current one; sizes include the window frame. The offsets come
// from the window's size before it is given the new size.
void CenterForm(QWidget* window, std::int16_t& width, std::int16_t& height);
// Convenience for callers that keep the window's size.
void CenterForm(QWidget* window);

// Falls back to the whole screen when the desktop reports no usable area.
void MeasureWorkArea();

// Keeps the window above all others (onTop true) or takes it out of that
// layer, without moving or activating it. False when there is no window.
bool SetTopmost(QWidget* window, bool& onTop);
bool MakeTopmost(QWidget* window);

// Width of text in control's font, in twips; a text with line breaks is
// measured by its widest line.
std::int32_t TextWidthIn(const QWidget* control, const QString& text);

// Blends two RGB colours (red in the lowest byte); fraction is clamped to
// 0..1 and the clamped value written back. Components round halves to even.
std::int32_t BlendColor(std::int32_t first, std::int32_t second, float& fraction);

// Busy sections nest: the hourglass stays until the outermost one ends.
void BeginBusy();
// force ends every busy section at once.
void EndBusy(bool force = false);

} // namespace pu
