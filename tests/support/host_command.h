#pragma once
// Runs a shell command of the machine the tests run on: the independent
// readers are Linux programs, also for the Windows build under Wine.
#include <string>

namespace pu::test {

// Standard output of `sh -c command`; its exit status in *status when
// status is given (-1 when it could not run).
std::string runHostCommand(const std::string& command, int* status);

} // namespace pu::test
