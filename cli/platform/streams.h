// The standard streams as the program uses them for data: standard input
// read whole, standard output written binary-safe, and whether standard
// error is a terminal (for the batch progress line).
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <vector>

namespace streams {

// Reads standard input to its end; false when it cannot be read.
bool read_standard_input(std::vector<std::uint8_t>& bytes);
// Writes bytes to standard output unchanged (no line-end translation).
bool write_standard_output(const std::uint8_t* bytes, std::size_t count);
bool standard_error_is_terminal();
// The processors the machine has (at least 1).
unsigned processor_count();
// Reads `file` to its end (streams.cpp, for both systems).
bool read_to_end(std::FILE* file, std::vector<std::uint8_t>& bytes);

}  // namespace streams
