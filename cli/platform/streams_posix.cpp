// POSIX side of the program's data streams.
#include <unistd.h>

#include <cstdio>

#include "platform/streams.h"

namespace streams {

bool read_standard_input(std::vector<std::uint8_t>& bytes) {
  return read_to_end(stdin, bytes);
}

bool write_standard_output(const std::uint8_t* bytes, std::size_t count) {
  const bool written = count == 0 || std::fwrite(bytes, 1, count, stdout) == count;
  return std::fflush(stdout) == 0 && written;
}

bool standard_error_is_terminal() { return isatty(STDERR_FILENO) != 0; }

}  // namespace streams
