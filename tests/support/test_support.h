// Helpers shared by the tests: temporary directories, files, UTF-16 text and
// capture of the debug channel.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/report.h"

namespace vxtest {

// A fresh directory that is removed with everything in it at the end of the
// scope. `chdir()` makes it the working directory until the scope ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str(const std::string& name = "") const;
  void chdir();

 private:
  std::filesystem::path path_;
  std::filesystem::path old_cwd_;
  bool changed_ = false;
};

void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);
// UTF-16 little-endian bytes of an ASCII/UTF-8-free text (one unit per char16_t).
std::string utf16le(const std::u16string& text, bool bom = false);
std::u16string u16(const std::string& ascii);
std::string narrow(const std::u16string& text);  // low bytes

// A reporter that keeps every debug report line and message box it is
// given (rep() is what the code under test reports through).
class DebugCapture {
 public:
  DebugCapture();
  ~DebugCapture();
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;
  sReporter& rep() { return rep_; }
  const std::vector<std::string>& lines() const { return lines_; }
  // "<caption>: <text>" of each message box shown.
  const std::vector<std::string>& boxes() const { return boxes_; }
  std::string joined() const;
  void clear() { lines_.clear(); }

 private:
  sReporter rep_;
  std::vector<std::string> lines_;
  std::vector<std::string> boxes_;
};

// Captures standard output written through the console printers.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  std::string finish();

 private:
  int saved_fd_ = -1;
  std::filesystem::path file_;
  bool done_ = false;
};

}  // namespace vxtest
