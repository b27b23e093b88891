// Runs the real vexlor executable as a child process.
//
// VEXLOR_E2E_EXE overrides the executable, VEXLOR_E2E_RUNNER names a program
// that runs it (for example "wine" for the Windows build). Under a runner the
// console's CR LF line ends are turned back into LF, and nothing else changes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vxtest {

struct RunResult {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

// The executable under test.
std::string vexlor_exe();
// True when the executable is the Windows build run through a runner.
bool under_runner();

// Runs `exe` (default: vexlor_exe()) with `args` in working directory `cwd`.
RunResult run_vexlor(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                     const std::string& exe = "");

}  // namespace vxtest
