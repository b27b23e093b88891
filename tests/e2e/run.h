// Runs the real vexlor executable as a child process.
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

// Runs `exe` (default: the built vexlor) with `args` in working directory `cwd`.
RunResult run_vexlor(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                     const std::string& exe = VEXLOR_EXE);

}  // namespace vxtest
