#include "e2e/run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/test_support.h"

namespace vxtest {

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

std::string crlf_to_lf(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

std::string vexlor_exe() {
  std::string exe = env("VEXLOR_E2E_EXE");
  return exe.empty() ? std::string(VEXLOR_EXE) : exe;
}

bool under_runner() { return !env("VEXLOR_E2E_RUNNER").empty(); }

RunResult run_vexlor(const std::vector<std::string>& args, const std::filesystem::path& cwd, const std::string& exe_in) {
  std::string exe = exe_in.empty() ? vexlor_exe() : exe_in;
  std::string runner = env("VEXLOR_E2E_RUNNER");
  TempDir capture;
  std::string out_path = capture.str("stdout"), err_path = capture.str("stderr");
  pid_t pid = fork();
  if (pid == 0) {
    if (::chdir(cwd.c_str()) != 0) _exit(127);
    int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    std::vector<char*> argv;
    if (!runner.empty()) argv.push_back(const_cast<char*>(runner.c_str()));
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    _exit(127);
  }
  RunResult result;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  if (!runner.empty()) result.out = crlf_to_lf(result.out);
  return result;
}

}  // namespace vxtest
