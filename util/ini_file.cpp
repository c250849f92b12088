#include "util/ini_file.h"

#include <array>

#include "platform/profile/profile.h"
#include "util/general.h"

namespace pu {

Text IniSection;
Text IniFileName;
bool IniReady = false;

void SetIniFile(const Text& section, const Text& file) {
  IniSection = TrimSpaces(section);
  IniFileName = TrimSpaces(file);
  IniReady = true;
}

Text GetIniString(const Text& key, const Text& defaultValue) {
  if (!IniReady) return {};
  std::array<char, 255> buffer{};
  auto count = static_cast<std::int16_t>(GetPrivateProfileStringA(toAnsi(IniSection), toAnsi(key), toAnsi(defaultValue),
                                                                  buffer.data(), buffer.size(), toUtf8(IniFileName)));
  if (count <= 0) return {};
  return fromAnsi(std::string_view(buffer.data(), static_cast<std::size_t>(count)));
}

std::int16_t WriteIniString(const Text& key, const Text& value) {
  if (!IniReady) return 0;
  return static_cast<std::int16_t>(WritePrivateProfileStringA(toAnsi(IniSection), toAnsi(key), toAnsi(value), toUtf8(IniFileName)));
}

} // namespace pu
