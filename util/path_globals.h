#pragma once
// Folders the program works in, set once at start-up to the chosen folder.
#include "platform/text/ansi.h"

namespace pu {

extern Text DataPath;
extern Text TemplatePath;
extern Text ClassTablePath;
extern Text CourseTablePath;
// Never set by this program; kept because the table layer and the option
// lookup consult them.
extern Text UserDataPath;
extern Text SharedDataPath;

// Points the four folders above at the database folder, exactly as given
// (empty: none); the other two stay as they are.
void SetDatabaseFolder(const Text& folder);

} // namespace pu
