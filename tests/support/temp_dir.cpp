#include "tests/support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace pu::test {

// A random name until one is new; '/' separates on every system.
TempDir::TempDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
    std::filesystem::path p = std::filesystem::temp_directory_path() / ("pu-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(p)) m_path = p.generic_string();
  }
  if (m_path.empty()) throw std::runtime_error("cannot create a temporary folder");
}

// Entry by entry rather than remove_all, whose loop on Windows (gcc 12)
// never ends at a file that is still open: such a file stays.
static void removeTree(const std::filesystem::path& folder) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.is_directory(ec)) removeTree(entry.path());
    else std::filesystem::remove(entry.path(), ec);
  }
  std::filesystem::remove(folder, ec);
}

TempDir::~TempDir() { removeTree(m_path); }

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void writeWholeFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  if (!out) throw std::runtime_error("cannot write " + path);
}

} // namespace pu::test
