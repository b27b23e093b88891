#include "app/console_sink.h"

#include <cstdio>

#include "platform/console.h"

namespace {

// Program state, set once before any conversion starts.
bool g_messages_to_stderr = false;
// The buffer of the source this thread converts in a batch, if any.
thread_local std::string* g_capture = nullptr;

}  // namespace

void send_messages_to_stderr() { g_messages_to_stderr = true; }

void write_messages(const std::string& bytes) {
  if (bytes.empty()) return;
  if (g_messages_to_stderr) {
    std::fflush(stdout);
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
  } else {
    console::console_write(bytes.data(), bytes.size());
  }
}

void emit_console_bytes(const char* bytes, std::size_t count) {
  if (g_capture != nullptr) {
    g_capture->append(bytes, count);
    return;
  }
  write_messages(std::string(bytes, count));
}

sMessageCapture::sMessageCapture(std::string& buffer) : previous_(g_capture) { g_capture = &buffer; }

sMessageCapture::~sMessageCapture() { g_capture = previous_; }
