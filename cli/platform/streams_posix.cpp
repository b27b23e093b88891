// POSIX side of the program's data streams.
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "platform/streams.h"

namespace streams {

bool read_standard_input(std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::uint8_t chunk[65536];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, stdin);
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (got < sizeof chunk) return std::ferror(stdin) == 0;
  }
}

bool write_standard_output(const std::uint8_t* bytes, std::size_t count) {
  const bool written = count == 0 || std::fwrite(bytes, 1, count, stdout) == count;
  return std::fflush(stdout) == 0 && written;
}

bool standard_error_is_terminal() { return isatty(STDERR_FILENO) != 0; }

unsigned processor_count() {
  const unsigned n = std::thread::hardware_concurrency();
  return n != 0 ? n : 1;
}

}  // namespace streams
