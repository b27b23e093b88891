#include "e2e/run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_support.h"

namespace vxtest {

RunResult run_vexlor(const std::vector<std::string>& args, const std::filesystem::path& cwd, const std::string& exe) {
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
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    _exit(127);
  }
  RunResult result;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

}  // namespace vxtest
