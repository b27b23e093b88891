// What the program's data streams do alike on every system.
#include <cstdio>
#include <thread>

#include "platform/streams.h"

namespace streams {

bool read_to_end(std::FILE* file, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::uint8_t chunk[65536];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (got < sizeof chunk) return std::ferror(file) == 0;
  }
}

unsigned processor_count() {
  const unsigned n = std::thread::hardware_concurrency();
  return n != 0 ? n : 1;
}

}  // namespace streams
