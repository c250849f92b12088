#pragma once
// Start-up's check of the course tables' indexes, after the backups and
// before any table is opened for use: a damaged index would have every
// later seek miss rows and every edit work on a wrong picture of the tree.
#include "platform/text/ansi.h"

namespace pu {

// Checks the production index of each course table start-up checks
// (CheckedCourseTables) in folder. A fault is
// shown with MsgBoxEx, one line for each damaged index; Yes rebuilds those
// indexes (the backups just made hold the originals) and checks again, No
// ends the program with no table written. False: the program is to end.
bool CheckCourseIndexesAtStartUp(const Text& folder);

} // namespace pu
