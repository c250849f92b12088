#pragma once
// What dbftool's commands on a course database folder share: the folder
// taken as the database, and their one-line refusals of wrong arguments.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/text/ansi.h"

namespace dbftool {

inline constexpr int kBadArguments = 2;

// Writes "dbftool: message" to standard error; returns kBadArguments.
int badArguments(const std::string& message);

// The number in text, when it is all digits (a leading minus allowed) and within [min, max].
std::optional<std::int32_t> parseNumber(const std::string& text, std::int32_t min, std::int32_t max);

// Points the path globals at folder. False, with the refusal written, when
// the folder holds no standards table: nothing is then written there, not
// even the blank table the registry would put in its place.
bool useCourseFolder(const std::string& folder);

// The course folder's standards table file with this extension ("dbf").
pu::Text standardsFile(const char16_t* extension);

// A path as the file system names it, for messages.
std::string shown(const pu::Text& path);
// The last part of shown(path): the file's name as the file system has it.
std::string shownName(const pu::Text& path);

} // namespace dbftool
