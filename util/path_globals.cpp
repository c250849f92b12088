#include "util/path_globals.h"

namespace pu {

Text DataPath;
Text TemplatePath;
Text ClassTablePath;
Text CourseTablePath;
Text UserDataPath;
Text SharedDataPath;

} // namespace pu
