// Where the program's console messages go: standard output, or standard
// error when standard output carries the data (/o:-); and, while a batch
// conversion collects one source's lines, that source's buffer.
#pragma once

#include <cstddef>
#include <string>

// Writes message bytes to where messages go now.
void emit_console_bytes(const char* bytes, std::size_t count);

// Writes diagnosis bytes (UTF-8) to standard error, or to this thread's
// capture.
void emit_diagnostic_bytes(const char* bytes, std::size_t count);

// Sends every later message to standard error instead of standard output.
void send_messages_to_stderr();

// While alive, the messages of this thread are collected in `buffer`
// instead of being written, and its diagnoses in `diagnoses` when given.
class sMessageCapture {
 public:
  explicit sMessageCapture(std::string& buffer, std::string* diagnoses = nullptr);
  ~sMessageCapture();
  sMessageCapture(const sMessageCapture&) = delete;
  sMessageCapture& operator=(const sMessageCapture&) = delete;

 private:
  std::string* previous_;
  std::string* previous_diagnoses_;
};

// Writes collected message bytes where messages go (not captured).
void write_messages(const std::string& bytes);
// Writes collected diagnosis bytes to standard error (not captured).
void write_diagnoses(const std::string& bytes);
