#pragma once
// The published FoxPro tables beside the project. Tests read them in place and
// copy them before writing. Without the folder a test skips, unless CI is set.
#include <gtest/gtest.h>

#include <string>

namespace pu::test {

std::string corpusDir();
bool corpusAvailable();

} // namespace pu::test

#define PU_REQUIRE_CORPUS()                                                             \
  do {                                                                                  \
    if (!::pu::test::corpusAvailable()) {                                               \
      if (std::getenv("CI")) FAIL() << "corpus missing: " << ::pu::test::corpusDir();   \
      GTEST_SKIP() << "corpus missing: " << ::pu::test::corpusDir();                    \
    }                                                                                   \
  } while (0)
