#include "support/test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>


namespace vxtest {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  for (;;) {
    path_ = fs::temp_directory_path() /
            ("vexlor-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
             std::to_string(rd() % 100000));
    if (fs::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  if (changed_) fs::current_path(old_cwd_);
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::str(const std::string& name) const {
  return name.empty() ? path_.string() + "/" : (path_ / name).string();
}

void TempDir::chdir() {
  if (!changed_) old_cwd_ = fs::current_path();
  changed_ = true;
  fs::current_path(path_);
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string utf16le(const std::u16string& text, bool bom) {
  std::string out;
  if (bom) out += "\xFF\xFE";
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

std::u16string u16(const std::string& ascii) {
  std::u16string out;
  for (unsigned char c : ascii) out += static_cast<char16_t>(c);
  return out;
}

std::string narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += static_cast<char>(c & 0xFF);
  return out;
}

DebugCapture::DebugCapture() {
  rep_.sink.user = this;
  rep_.sink.debug_line = [](void* user, const char* line) { static_cast<DebugCapture*>(user)->lines_.emplace_back(line); };
  rep_.sink.message_box = [](void* user, const char* text, const char* caption, unsigned) {
    static_cast<DebugCapture*>(user)->boxes_.push_back(std::string(caption) + ": " + text);
    return 1;
  };
}

DebugCapture::~DebugCapture() = default;

std::string DebugCapture::joined() const {
  std::string all;
  for (const auto& l : lines_) all += l;
  return all;
}

StdoutCapture::StdoutCapture() {
  std::fflush(stdout);
  file_ = fs::temp_directory_path() / ("vexlor-stdout-" + std::to_string(::getpid()) + ".txt");
  saved_fd_ = ::dup(1);
  int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(fd, 1);
  ::close(fd);
}

StdoutCapture::~StdoutCapture() { finish(); }

std::string StdoutCapture::finish() {
  if (done_) return {};
  done_ = true;
  std::fflush(stdout);
  ::dup2(saved_fd_, 1);
  ::close(saved_fd_);
  std::string text = read_file(file_);
  std::error_code ec;
  fs::remove(file_, ec);
  return text;
}

}  // namespace vxtest
