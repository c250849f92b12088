#pragma once
// Reading and writing single values of Windows-style INI files, with the
// observable rules of the Windows profile calls: section and key names match
// without regard to case, the first matching key wins, blanks around a value
// and one pair of enclosing quotes are dropped, and a write creates the file
// and the section when missing. Keys, values and defaults are ANSI text;
// the path is a file-system (UTF-8) path.
#include <cstdint>
#include <string>
#include <string_view>

namespace pu {

// Copies the value (or the default when the file, section or key is missing)
// into buffer, cut to size - 1 characters and NUL-terminated; returns the
// number of characters placed, without the NUL.
std::uint32_t GetPrivateProfileStringA(std::string_view section, std::string_view key, std::string_view defaultValue,
                                       char* buffer, std::uint32_t size, std::string_view path);

// Non-zero when written. Every other line of the file is kept as it was; the
// file is replaced atomically.
std::int32_t WritePrivateProfileStringA(std::string_view section, std::string_view key, std::string_view value,
                                        std::string_view path);

} // namespace pu
