#include "app/console_sink.h"


#include "platform/console.h"

namespace {

// Program state, set once before any conversion starts.
bool g_messages_to_stderr = false;
// The buffer of the source this thread converts in a batch, if any.
thread_local std::string* g_capture = nullptr;
thread_local std::string* g_diagnosis_capture = nullptr;

}  // namespace

void send_messages_to_stderr() { g_messages_to_stderr = true; }

void write_messages(const std::string& bytes) {
  if (bytes.empty()) return;
  if (g_messages_to_stderr) {
    console::error_write(bytes.data(), bytes.size());
  } else {
    console::console_write(bytes.data(), bytes.size());
  }
}

void write_diagnoses(const std::string& bytes) {
  if (!bytes.empty()) console::error_write(bytes.data(), bytes.size());
}

void emit_diagnostic_bytes(const char* bytes, std::size_t count) {
  if (g_diagnosis_capture != nullptr) {
    g_diagnosis_capture->append(bytes, count);
    return;
  }
  write_diagnoses(std::string(bytes, count));
}

void emit_console_bytes(const char* bytes, std::size_t count) {
  if (g_capture != nullptr) {
    g_capture->append(bytes, count);
    return;
  }
  write_messages(std::string(bytes, count));
}

sMessageCapture::sMessageCapture(std::string& buffer, std::string* diagnoses)
    : previous_(g_capture), previous_diagnoses_(g_diagnosis_capture) {
  g_capture = &buffer;
  if (diagnoses != nullptr) g_diagnosis_capture = diagnoses;
}

sMessageCapture::~sMessageCapture() {
  g_capture = previous_;
  g_diagnosis_capture = previous_diagnoses_;
}
