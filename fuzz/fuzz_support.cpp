#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vxfuzz {

namespace fs = std::filesystem;

namespace {

std::string g_work_dir;

void remove_work_dir() {
  std::error_code ec;
  if (!g_work_dir.empty()) fs::remove_all(g_work_dir, ec);
}

}  // namespace

[[noreturn]] void die(const std::string& why) {
  std::fprintf(stderr, "fuzz set-up: %s\n", why.c_str());
  std::abort();
}

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::u16string u16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

const std::string& work_dir() {
  if (g_work_dir.empty()) {
    std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
    std::string pattern = base + "/vexlor-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) die("no work directory");
    g_work_dir = pattern;
    std::atexit(remove_work_dir);
  }
  return g_work_dir;
}

std::u16string work_dir_prefix() { return u16(work_dir() + "/"); }

std::u16string work_path(const std::string& name) { return u16(work_dir() + "/" + name); }

std::u16string put_file(const std::string& name, std::string_view bytes) {
  const std::string path = work_dir() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) die("cannot write " + path);
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) die("short write");
  std::fclose(f);
  return u16(path);
}

std::string read_file(const std::string& name) { return slurp(fs::path(work_dir()) / name); }

std::string widen(std::string_view ascii) {
  std::string out;
  out.reserve(ascii.size() * 2);
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

}  // namespace vxfuzz
