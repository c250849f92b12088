#pragma once
// The published FoxPro tables beside the project. Tests read them in place and
// copy them before writing. Without the folder a test skips, unless CI is set.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace pu::test {

inline std::string corpusDir() { return PU_CORPUS_DIR; }
inline bool corpusAvailable() { return std::filesystem::is_directory(corpusDir() + "/northwind"); }

} // namespace pu::test

#define PU_REQUIRE_CORPUS()                                                             \
  do {                                                                                  \
    if (!::pu::test::corpusAvailable()) {                                               \
      if (std::getenv("CI")) FAIL() << "corpus missing: " << ::pu::test::corpusDir();   \
      GTEST_SKIP() << "corpus missing: " << ::pu::test::corpusDir();                    \
    }                                                                                   \
  } while (0)
