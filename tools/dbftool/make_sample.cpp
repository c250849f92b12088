// Writes a sample course database into a folder.
#include <iostream>

#include "tools/dbftool/commands.h"
#include "tools/sample/sample_database.h"

namespace dbftool {

int makeSample(const std::string& folder, std::int32_t extraNodes, std::ostream& out) {
  pu::sample::SampleOptions options;
  options.extraNodes = extraNodes;
  pu::Status s = pu::sample::makeSampleDatabase(folder, options);
  if (!s) {
    std::cerr << s.message() << "\n";
    return 1;
  }
  out << folder << ": sample course database written\n";
  return 0;
}

} // namespace dbftool
