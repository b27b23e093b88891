#include "app/convert.h"

#include <cstdint>
#include <vector>

#include "app/app_state.h"
#include "app/depfile.h"
#include "app/diagnostics.h"
#include "app/messages.h"
#include "app/paths.h"
#include "common/file_names.h"
#include "common/strings.h"
#include "container/fioshare.h"
#include "engine/definitions.h"
#include "engine/messages.h"
#include "engine/token_io.h"
#include "platform/streams.h"
#include "shape/conversion.h"

namespace {

constexpr char16_t kMsgNoStandardInput[] = u"Could not read standard input\n";

bool is_standard_stream(const std::u16string& name) { return name == kStandardStream; }

// Why the source did not load, or its tree could not be written in the
// form asked for, told of the source on standard error.
void print_fault(const sConversion& conv, const std::u16string& source) {
  if (conv.fault.empty()) return;
  sFileDiagnosis why;
  diagnose(&why, display_name(source), 0, 0, conv.fault);
  print_diagnosis(why);
}

bool save_token_file(sConversion& conv, const sLoadedSource& loaded, const std::u16string& source,
                     const char16_t* name, sTokenForm form, bool compress) {
  const sUInt mark = compress ? FIO_COMP_ZLIB : FIO_COMP_NONE;
  if (std::u16string_view(name) == kStandardStream) {
    // Nothing reaches standard output unless the whole output was made.
    std::vector<sByte> bytes;
    if (save_to_memory(conv, loaded, form, mark, bytes) &&
        streams::write_standard_output(bytes.data(), bytes.size())) {
      return true;
    }
    print_error(kMsgWriteError, name, u"");
    print_fault(conv, source);
    return false;
  }
  if (path_find_ext(name) == nullptr) print_message(kMsgNoExtension);
  if (save_to_file(conv, loaded, name, form, mark)) return true;
  if (conv.last_error_code == kErrorCannotWrite) {
    print_error(kMsgCannotWrite, name);
  } else {
    print_error(kMsgWriteError, name, u"");
    print_fault(conv, source);
  }
  return false;
}

// The form --to= names; without it a binary becomes a text and any other
// source a binary.
sTokenForm output_form(const sAppState& app, const sLoadedSource& loaded) {
  switch (app.output_form) {
    case kOutputText: return sTokenForm::kText;
    case kOutputBinary: return sTokenForm::kBinary;
    case kOutputJson: return sTokenForm::kJson;
    default: return loaded.binary_source ? sTokenForm::kText : sTokenForm::kBinary;
  }
}

const char16_t* form_name(sTokenForm form) {
  switch (form) {
    case sTokenForm::kText: return u"text";
    case sTokenForm::kBinary: return u"binary";
    case sTokenForm::kJson: return u"JSON";
  }
  return u"";
}

sLoadStatus load_source(sConversion& conv, const sDefinitions& defs, const std::u16string& source,
                        sLoadedSource& loaded, bool& unreadable) {
  unreadable = false;
  if (!is_standard_stream(source)) return load_source_file(conv, defs, source.c_str(), loaded);
  // Standard input is read once; its form is told from what was read.
  std::vector<std::uint8_t> bytes;
  if (!streams::read_standard_input(bytes) || bytes.size() > 0xFFFFFFFFu) {
    unreadable = true;
    return sLoadStatus::kCannotOpen;
  }
  return load_source_memory(conv, defs, bytes.data(), static_cast<sUInt>(bytes.size()), loaded);
}

}  // namespace

bool complete_output_name(const std::u16string& spec, const std::u16string& source, std::u16string& output) {
  output.clear();
  if (spec.empty()) return true;
  if (spec.size() >= kPathCapacity) return false;
  char16_t name[kPathCapacity];
  wstr_copy(name, spec.c_str(), kPathCapacity);
  char16_t base[kPathCapacity];
  // Standard input has no name to complete an output name from.
  const bool from_input = is_standard_stream(source);
  if (from_input && !output_spec_has_file_part(name)) return false;
  const char16_t* base_name = from_input ? kStandardStream : path_base_name(source.c_str(), base);
  if (!make_output_name(name, kPathCapacity, base_name)) return false;
  // A completed name may pass what the file system takes.
  if (!from_input && !file_name_acceptable(name)) return false;
  output = name;
  return true;
}

bool convert_source(const sAppState& app, const sDefinitions& defs, const sReporter& rep, const sSourceJob& job,
                    bool show_progress) {
  sConversion conv(defs.tokens);
  conv.rep = rep;
  sLoadedSource loaded;
  bool unreadable = false;
  const char16_t* source = job.source.c_str();
  const sLoadStatus status = load_source(conv, defs, job.source, loaded, unreadable);
  warn_about_grammar_once(defs, loaded.table);
  if (status != sLoadStatus::kLoaded) {
    if (unreadable) print_error(kMsgNoStandardInput);
    if (status == sLoadStatus::kNoGrammar) print_error(kMsgNoGrammar);
    if (status == sLoadStatus::kReadFailed) print_error(kMsgReadError, source, u"", conv.error_position);
    print_error(kMsgFailedToLoad, source);
    print_fault(conv, job.source);
    print_read_diagnosis(job.source, conv.diagnosis);
    return false;
  }
  const sTokenForm form = output_form(app, loaded);
  bool compress = false;
  switch (app.compress_option) {
    case kCompressOn:
      compress = form != sTokenForm::kJson;
      break;
    case kCompressOff:
      compress = false;
      break;
    default:  // only binary output is compressed unless asked otherwise
      compress = form == sTokenForm::kBinary;
      break;
  }
  if (show_progress) {
    print_message(kMsgProgress, source, compress ? u"compressed " : u"", form_name(form), job.output.c_str());
  }
  if (job.output.empty()) return true;  // checked only
  return save_token_file(conv, loaded, job.source, job.output.c_str(), form, compress);
}

bool write_dependencies(const std::u16string& depfile, const sDefinitions& defs, const std::vector<sSourceJob>& done) {
  std::vector<sDepRule> rules;
  for (const sSourceJob& job : done) {
    // Standard input is no file a build system could watch.
    const std::u16string source = is_standard_stream(job.source) ? std::u16string() : job.source;
    rules.push_back(sDepRule{job.output, source, &defs.depends_on});
  }
  if (rules.empty()) return true;  // nothing converted: no rule to give
  if (write_depfile(depfile, make_depfile(rules))) return true;
  print_error(kMsgCannotWrite, depfile.c_str());
  return false;
}

int convert_file(sAppState& app, const sDefinitions& defs, const sReporter& rep) {
  sSourceJob job;
  job.source = app.source_name;
  if (app.name_refused || !complete_output_name(app.output_name, job.source, job.output)) {
    print_error(kMsgInvalidFilename);
    return 0;
  }
  if (!convert_source(app, defs, rep, job, !app.quiet)) return 0;
  if (!app.depfile.empty() && !write_dependencies(app.depfile, defs, {job})) return 0;
  return 1;
}
