#pragma once
// dbftool run as a user runs it, for the tests of its commands.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "tests/support/host_command.h"

namespace pu::test {

struct ToolRun {
  int exitCode = -1;
  std::string out;  // standard output and error
};

// prefix: a command that runs dbftool (timeout, flock).
inline ToolRun dbftool(const std::string& args, const std::string& prefix = "") {
  ToolRun r;
  r.out = runHostCommand(prefix + DBFTOOL_PATH + " " + args + " 2>&1", &r.exitCode);
  return r;
}

// Runs dbftool and expects its exit code and each text in what it prints; returns what it printed.
inline std::string expectDbftool(const std::string& args, int exitCode, std::initializer_list<std::string> texts = {},
                                 const std::string& prefix = "") {
  ToolRun r = dbftool(args, prefix);
  EXPECT_EQ(r.exitCode, exitCode) << args << ": " << r.out;
  for (const std::string& text : texts) EXPECT_NE(r.out.find(text), std::string::npos) << args << ": " << text << " in " << r.out;
  return r.out;
}

} // namespace pu::test
