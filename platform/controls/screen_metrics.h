#pragma once
// Window geometry of the system is designed in twips (1/1440 inch). A twip
// count becomes pixels through the primary screen's logical resolution, the
// same resolution Qt sizes point fonts with, so text measured in pixels and
// converted to twips comes back to the same pixels.
#include <QRect>
#include <QSize>

namespace pu {

inline constexpr int kTwipsPerInch = 1440;

// 15 at 96 dots per inch; 15 as well when no screen exists (no window system).
double twipsPerPixelX();
double twipsPerPixelY();

// Rounded to whole pixels or twips.
int pixelsFromTwipsX(double twips);
int pixelsFromTwipsY(double twips);
int twipsFromPixelsX(double pixels);
int twipsFromPixelsY(double pixels);

// Size of the primary display in pixels (its whole area); empty without a screen.
QSize displaySizePixels();
// The part of the primary display that windows may use: the whole display
// less the panels and docks the desktop reserves. Empty without a screen.
QRect workAreaPixels();

} // namespace pu
