#pragma once
// The twenty row pictures of the family tree control, drawn here: a closed
// and an open book, each plain and picked (a tick on the cover), and the
// create-new picture, each in four shades for the depth of the row.
// Keys: 111-114 closed, 121-124 open, 211-214 closed picked, 221-224 open
// picked, 301-304 create-new; the last digit is (level mod 4) + 1.
#include <QHash>
#include <QPixmap>

namespace pu {

inline constexpr int kBookWidth = 32;
inline constexpr int kBookHeight = 16;

QHash<int, QPixmap> BookPictures();

} // namespace pu
