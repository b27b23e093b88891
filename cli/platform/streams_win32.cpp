// Windows side of the program's data streams: standard input and output in
// binary mode, so that no CR LF translation touches the data.
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/streams.h"

namespace streams {

bool read_standard_input(std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (_setmode(_fileno(stdin), _O_BINARY) == -1) return false;
  return read_to_end(stdin, bytes);
}

bool write_standard_output(const std::uint8_t* bytes, std::size_t count) {
  std::fflush(stdout);
  if (_setmode(_fileno(stdout), _O_BINARY) == -1) return false;
  const bool written = count == 0 || std::fwrite(bytes, 1, count, stdout) == count;
  const bool flushed = std::fflush(stdout) == 0;
  _setmode(_fileno(stdout), _O_TEXT);
  return written && flushed;
}

bool standard_error_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace streams
