// The shipped definitions and examples, for the tests of the public API.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vxtest {

inline std::string source_path(const std::string& relative) { return std::string(VEXLOR_SOURCE_DIR) + "/" + relative; }

inline std::vector<std::uint8_t> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vxtest
