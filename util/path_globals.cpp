#include "util/path_globals.h"

namespace pu {

Text DataPath;
Text TemplatePath;
Text ClassTablePath;
Text CourseTablePath;
Text UserDataPath;
Text SharedDataPath;

void SetDatabaseFolder(const Text& folder) { DataPath = TemplatePath = ClassTablePath = CourseTablePath = folder; }

} // namespace pu
