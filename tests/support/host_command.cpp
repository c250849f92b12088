#include "tests/support/host_command.h"

#include <sys/wait.h>

#include <cstdio>

namespace pu::test {

std::string runHostCommand(const std::string& command, int* status) {
  std::string out;
  int rc = -1;  // as a command that could not run
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    rc = ::pclose(p);
  }
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

} // namespace pu::test
