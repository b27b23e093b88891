// An open C file that closes itself on every path.
#pragma once

#include <cstdio>
#include <memory>

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
