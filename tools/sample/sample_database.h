#pragma once
// Writes a complete sample course database with our own table engine:
// standard, stanques and quests with their production indexes, the blank
// tables folder, classification.ini and options.ini.
#include <cstdint>
#include <string>

#include "platform/status.h"

namespace pu::sample {

struct SampleOptions {
  std::int32_t extraNodes = 0;  // > 0: one more state tree of about this many nodes
  std::uint32_t seed = 20261207;
};

// Both refuse (Exists) a folder that already holds a course database.
Status makeSampleDatabase(const std::string& folder, const SampleOptions& options);

struct SampleContent;
// Writes the given rows as a course database (tests build small trees this way).
Status writeCourseDatabase(const std::string& folder, const SampleContent& content);

} // namespace pu::sample
