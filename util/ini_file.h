#pragma once
// One current INI file and section for the whole program: callers name them
// with SetIniFile right before their reads, since any later SetIniFile
// anywhere replaces them.
#include <cstdint>

#include "platform/text/ansi.h"

namespace pu {

extern Text IniSection;
extern Text IniFileName;
extern bool IniReady;

void SetIniFile(const Text& section, const Text& file);
// Empty before any SetIniFile; the default when the file, section or key is
// missing; at most 254 characters.
Text GetIniString(const Text& key, const Text& defaultValue);
// Non-zero when written; 0 before any SetIniFile.
std::int16_t WriteIniString(const Text& key, const Text& value);

} // namespace pu
