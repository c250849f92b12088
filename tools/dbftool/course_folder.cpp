#include "tools/dbftool/course_folder.h"

#include <cctype>
#include <cstdlib>
#include <iostream>

#include "platform/fs/file_system.h"
#include "util/path_globals.h"

namespace dbftool {

int badArguments(const std::string& message) {
  std::cerr << "dbftool: " << message << "\n";
  return kBadArguments;
}

std::optional<std::int32_t> parseNumber(const std::string& text, std::int32_t min, std::int32_t max) {
  if (text.empty() || text.size() > 11) return std::nullopt;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || std::isspace(static_cast<unsigned char>(text[0])) || text[0] == '+' || value < min || value > max)
    return std::nullopt;
  return static_cast<std::int32_t>(value);
}

bool useCourseFolder(const std::string& folder) {
  pu::SetDatabaseFolder(pu::fromUtf8(folder));
  pu::FileSystem& fs = pu::FileSystem::instance();
  const std::string table = fs.resolve(pu::toUtf8(standardsFile(u"dbf")));
  if (fs.modifiedTime(table) && !fs.isDirectory(table)) return true;
  (void)badArguments(folder + " is not a course database: it holds no standard.dbf");
  return false;
}

pu::Text standardsFile(const char16_t* extension) { return pu::DataPath + u"\\standard." + extension; }

std::string shown(const pu::Text& path) { return pu::FileSystem::instance().resolve(pu::toUtf8(path)); }

std::string shownName(const pu::Text& path) {
  const std::string full = shown(path);
  return full.substr(full.find_last_of("/\\") + 1);
}

} // namespace dbftool
