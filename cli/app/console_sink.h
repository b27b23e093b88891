// Where the program's console messages go: standard output, or standard
// error when standard output carries the data (/o:-); and, while a batch
// conversion collects one source's lines, that source's buffer.
#pragma once

#include <cstddef>
#include <string>

// Writes message bytes to where messages go now.
void emit_console_bytes(const char* bytes, std::size_t count);

// Sends every later message to standard error instead of standard output.
void send_messages_to_stderr();

// While alive, the messages of this thread are collected in `buffer`
// instead of being written.
class sMessageCapture {
 public:
  explicit sMessageCapture(std::string& buffer);
  ~sMessageCapture();
  sMessageCapture(const sMessageCapture&) = delete;
  sMessageCapture& operator=(const sMessageCapture&) = delete;

 private:
  std::string* previous_;
};

// Writes collected message bytes where messages go (not captured).
void write_messages(const std::string& bytes);
