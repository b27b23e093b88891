#include "app/batch.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "app/console_sink.h"
#include "app/convert.h"
#include "app/messages.h"
#include "app/paths.h"
#include "common/strings.h"
#include "common/utf8.h"
#include "engine/messages.h"
#include "platform/platform.h"
#include "platform/streams.h"

namespace {

constexpr char16_t kMsgConverted[] = u"%u converted, %u failed\n";
constexpr char16_t kMsgChecked[] = u"%u checked, %u failed\n";
constexpr char16_t kMsgNoSourceList[] = u"Could not read the list of sources %s\n";

struct sSlot {
  std::string messages;
  std::string diagnoses;
  bool ok = false;
  bool done = false;
};

// Two outputs are the same file when their names are; Windows compares
// letters without regard to case.
std::u16string name_key(const std::u16string& name) {
#ifdef _WIN32
  std::u16string key = name;
  for (char16_t& c : key) c = wc_fold(c);
  for (char16_t& c : key) {
    if (c == u'/') c = u'\\';
  }
  return key;
#else
  return name;
#endif
}

// One source name per line (UTF-8; blank lines are passed over).
bool read_source_list(const std::u16string& list, sAppState& app) {
  std::string text;
  if (list == kStandardStream) {
    std::vector<std::uint8_t> bytes;
    if (!streams::read_standard_input(bytes)) return false;
    text.assign(bytes.begin(), bytes.end());
  } else {
    // Opened by its UTF-16 name, which Windows takes in any script.
    std::FILE* in = platform::open_file(list.c_str(), "rb");
    if (in == nullptr) return false;
    char block[16384];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, in)) > 0) text.append(block, got);
    const bool read = std::ferror(in) == 0;
    std::fclose(in);
    if (!read) return false;
  }
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) {
      std::u16string name = utf8_to_u16(line);
      if (name.size() >= kPathCapacity) app.name_refused = 1;
      app.sources.push_back(std::move(name));
    }
    start = end + 1;
  }
  return true;
}

// The progress counter on a terminal: one line, rewritten in place.
class sProgress {
 public:
  sProgress(std::size_t total) : shown_(streams::standard_error_is_terminal()), total_(total) {}
  void update(std::size_t done, std::size_t failed) {
    if (!shown_) return;
    std::fprintf(stderr, "\r%zu/%zu done, %zu failed", done, total_, failed);
    std::fflush(stderr);
  }
  void clear() {
    if (!shown_) return;
    std::fprintf(stderr, "\r%*s\r", 40, "");
    std::fflush(stderr);
  }

 private:
  bool shown_;
  std::size_t total_;
};

}  // namespace

int run_batch(sAppState& app, const sDefinitions& defs, const sReporter& rep) {
  if (!app.files_from.empty() && !read_source_list(app.files_from, app)) {
    print_error(kMsgNoSourceList, app.files_from.c_str());
    return 1;
  }
  // Every output name is known, and told apart, before anything is
  // converted: a spec with a file part would give every source one name.
  const std::u16string spec = app.output_name;
  if (app.name_refused || (!spec.empty() && output_spec_has_file_part(spec.c_str()))) {
    print_error(kMsgInvalidFilename);
    return 1;
  }
  std::vector<sSourceJob> jobs;
  std::set<std::u16string> outputs;
  std::set<std::u16string> sources;
  for (const std::u16string& source : app.sources) sources.insert(name_key(source));
  for (const std::u16string& source : app.sources) {
    sSourceJob job;
    job.source = source;
    if (!complete_output_name(spec, source, job.output) ||
        (!job.output.empty() && (!outputs.insert(name_key(job.output)).second || sources.count(name_key(job.output)) != 0))) {
      print_error(kMsgInvalidFilename);
      return 1;
    }
    jobs.push_back(std::move(job));
  }

  const std::size_t total = jobs.size();
  std::vector<sSlot> slots(total);
  std::mutex lock;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};
  const bool show_progress_lines = !app.quiet;
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < total;) {
      std::string messages;
      std::string diagnoses;
      bool ok;
      {
        sMessageCapture capture(messages, &diagnoses);
        ok = convert_source(app, defs, rep, jobs[i], true);
      }
      if (ok && !show_progress_lines) messages.clear();
      std::lock_guard<std::mutex> guard(lock);
      slots[i].messages = std::move(messages);
      slots[i].diagnoses = std::move(diagnoses);
      slots[i].ok = ok;
      slots[i].done = true;
      finished.notify_all();
    }
  };
  unsigned workers = app.jobs != 0 ? app.jobs : streams::processor_count();
  if (workers > total) workers = static_cast<unsigned>(total);
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < workers; ++t) threads.emplace_back(work);

  // The lines of each source are printed as soon as it and every source
  // named before it are done.
  sProgress progress(total);
  std::size_t printed = 0;
  std::size_t failed = 0;
  std::vector<sSourceJob> converted;
  {
    std::unique_lock<std::mutex> guard(lock);
    while (printed < total) {
      finished.wait(guard, [&] { return slots[printed].done; });
      while (printed < total && slots[printed].done) {
        sSlot& slot = slots[printed];
        progress.clear();
        write_messages(slot.messages);
        write_diagnoses(slot.diagnoses);
        slot.messages.clear();
        slot.diagnoses.clear();
        if (!slot.ok) ++failed;
        if (slot.ok && !jobs[printed].output.empty()) converted.push_back(jobs[printed]);
        ++printed;
        progress.update(printed, failed);
      }
    }
  }
  for (std::thread& thread : threads) thread.join();
  progress.clear();

  bool ok = failed == 0;
  if (!app.depfile.empty() && !write_dependencies(app.depfile, defs, converted)) ok = false;
  if (!(app.quiet && failed == 0)) {
    print_message(spec.empty() ? kMsgChecked : kMsgConverted, static_cast<sUInt>(total - failed),
                  static_cast<sUInt>(failed));
  }
  return ok ? 0 : 1;
}
