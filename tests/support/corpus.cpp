#include "tests/support/corpus.h"

#include <filesystem>

namespace pu::test {

std::string corpusDir() { return PU_CORPUS_DIR; }

bool corpusAvailable() { return std::filesystem::is_directory(corpusDir() + "/northwind"); }

} // namespace pu::test
