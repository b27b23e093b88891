#include "e2e/run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
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

// The runner's words: the program and its own options, separated by blanks
// (for example "valgrind --error-exitcode=99 --leak-check=full -q").
std::vector<std::string> runner_words(const std::string& runner) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < runner.size()) {
    while (i < runner.size() && (runner[i] == ' ' || runner[i] == '\t')) ++i;
    size_t start = i;
    while (i < runner.size() && runner[i] != ' ' && runner[i] != '\t') ++i;
    if (i > start) words.push_back(runner.substr(start, i - start));
  }
  return words;
}

}  // namespace

std::string vexlor_exe() {
  std::string exe = env("VEXLOR_E2E_EXE");
  return exe.empty() ? std::string(VEXLOR_EXE) : exe;
}

bool under_runner() { return !env("VEXLOR_E2E_RUNNER").empty(); }

bool windows_build() { return env("VEXLOR_E2E_RUNNER").find("wine") != std::string::npos; }

std::string wine_path(const std::filesystem::path& path) {
  std::string text = "Z:" + path.string();
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

RunResult run_vexlor(const std::vector<std::string>& args, const std::filesystem::path& cwd, const std::string& exe_in) {
  return run_vexlor_with(args, cwd, RunOptions{}, exe_in);
}

RunResult run_vexlor_with(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                          const RunOptions& options, const std::string& exe_in) {
  std::string exe = exe_in.empty() ? vexlor_exe() : exe_in;
  std::string runner = env("VEXLOR_E2E_RUNNER");
  const std::vector<std::string> runner_argv = runner_words(runner);
  TempDir capture;
  std::string out_path = capture.str("stdout"), err_path = capture.str("stderr");
  const std::string in_path = options.input.empty() ? std::string("/dev/null") : capture.str("stdin");
  if (!options.input.empty()) write_file(in_path, options.input);
  pid_t pid = fork();
  if (pid == 0) {
    if (::chdir(cwd.c_str()) != 0) _exit(127);
    int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    int in = ::open(in_path.c_str(), O_RDONLY);
    ::dup2(in, 0);
    // A program that crashes or aborts leaves no core file in the test's directories.
    const rlimit no_core{0, 0};
    ::setrlimit(RLIMIT_CORE, &no_core);
    for (const auto& [name, value] : options.env) ::setenv(name.c_str(), value.c_str(), 1);
    if (options.file_size_limit >= 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(options.file_size_limit), static_cast<rlim_t>(options.file_size_limit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    std::vector<char*> argv;
    for (const auto& word : options.prefix) argv.push_back(const_cast<char*>(word.c_str()));
    for (const auto& word : runner_argv) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    _exit(127);
  }
  RunResult result;
  int status = 0;
  for (;;) {
    ::waitpid(pid, &status, options.on_stop ? WUNTRACED : 0);
    if (!WIFSTOPPED(status)) break;
    options.on_stop(pid);
    ::kill(pid, SIGCONT);
  }
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  if (!runner.empty() && !options.raw_output) result.out = crlf_to_lf(result.out);
  // Standard error is text on Windows: its line ends are CR LF.
  if (!runner.empty()) result.err = crlf_to_lf(result.err);
  return result;
}

namespace {

// Undoes the escaping of wine's debug strings: \n \r \t \" \\ \xNN \NNN.
std::string unescape_wine(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    switch (c) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        int v = 0, n = 0;
        while (n < 2 && i + 1 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
          char h = text[++i];
          v = v * 16 + (std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (std::tolower(h) - 'a' + 10));
          ++n;
        }
        out += static_cast<char>(v);
        break;
      }
      default:
        if (c >= '0' && c <= '7') {
          int v = c - '0', n = 1;
          while (n < 3 && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7') {
            v = v * 8 + (text[++i] - '0');
            ++n;
          }
          out += static_cast<char>(v);
        } else {
          out += c;
        }
    }
  }
  return out;
}

}  // namespace

TracedResult run_vexlor_traced(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                               const std::string& exe) {
  TracedResult result;
  if (windows_build()) {
    std::string saved = env("WINEDEBUG");
    ::setenv("WINEDEBUG", "-all,+debugstr", 1);
    result.run = run_vexlor(args, cwd, exe);
    ::setenv("WINEDEBUG", saved.c_str(), 1);
    const std::string marker = ":debugstr:OutputDebugStringA \"";
    size_t pos = 0;
    while ((pos = result.run.err.find(marker, pos)) != std::string::npos) {
      size_t start = pos + marker.size();
      size_t end = result.run.err.find("\"\n", start);
      if (end == std::string::npos) break;
      result.debug += unescape_wine(result.run.err.substr(start, end - start)) + "\n";
      pos = end;
    }
    return result;
  }
  const std::string strace = "/usr/bin/strace";
  if (under_runner() || !std::filesystem::exists(strace)) {
    result.skipped = true;
    return result;
  }
  std::vector<std::string> traced{"-qq", "-e", "trace=none", exe};
  traced.insert(traced.end(), args.begin(), args.end());
  result.run = run_vexlor(traced, cwd, strace);
  if (result.run.err.find("ptrace") != std::string::npos) result.skipped = true;
  // Standard error carries the diagnosis lines too ("FILE:LINE:COLUMN:
  // error: ..."); they are no report lines.
  std::size_t from = 0;
  while (from < result.run.err.size()) {
    std::size_t end = result.run.err.find('\n', from);
    end = end == std::string::npos ? result.run.err.size() : end + 1;
    const std::string line = result.run.err.substr(from, end - from);
    if (line.find(": error: ") == std::string::npos && line.find(": warning: ") == std::string::npos) {
      result.debug += line;
    }
    from = end;
  }
  return result;
}

}  // namespace vxtest
