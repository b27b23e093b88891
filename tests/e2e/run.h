// Runs the real vexlor executable as a child process.
//
// VEXLOR_E2E_EXE overrides the executable, VEXLOR_E2E_RUNNER names a program
// that runs it, with its own options after it, separated by blanks (for
// example "wine" for the Windows build, or "valgrind --error-exitcode=99 -q"
// to check for leaks and invalid reads). Under a runner the console's CR LF
// line ends are turned back into LF, and nothing else changes.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vxtest {

struct RunResult {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  int signal = 0;   // the signal that ended the process, if one did
  std::string out;  // standard output
  std::string err;  // standard error
};

// The executable under test.
std::string vexlor_exe();
// True when the executable runs through a runner (wine, valgrind, ...).
bool under_runner();
// True when the executable is the Windows build (run through wine).
bool windows_build();
// `path` as the Windows build sees it under wine: "Z:" and backslashes.
std::string wine_path(const std::filesystem::path& path);

// Runs `exe` with the debug channel visible: natively under strace (each
// report line then ends in "\n" on standard error), under wine with
// WINEDEBUG=+debugstr (the OutputDebugStringA strings are taken out of wine's
// trace and given the same form). `debug` receives the report lines, each
// followed by "\n"; `skipped` is set when no tracer is available here.
struct TracedResult {
  RunResult run;
  std::string debug;
  bool skipped = false;
};
TracedResult run_vexlor_traced(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                               const std::string& exe);

// Runs `exe` (default: vexlor_exe()) with `args` in working directory `cwd`.
RunResult run_vexlor(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                     const std::string& exe = "");

// How a run is set up beyond its arguments.
struct RunOptions {
  std::string input;         // standard input (else /dev/null)
  bool raw_output = false;   // standard output is data: no CR LF undone under a runner
  // Set in the child's environment.
  std::vector<std::pair<std::string, std::string>> env;
  // RLIMIT_FSIZE of the child, in bytes (negative: none). SIGXFSZ is then
  // ignored, so that a write past it fails (EFBIG) instead of killing it.
  long long file_size_limit = -1;
  // Words the program (and its runner) are run under, e.g. setpriv's.
  std::vector<std::string> prefix;
  // Called with the child's process id whenever it stops (SIGSTOP); the
  // child is let go on afterwards, unless the call ended it.
  std::function<void(int pid)> on_stop;
};
RunResult run_vexlor_with(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                          const RunOptions& options, const std::string& exe = "");

}  // namespace vxtest
