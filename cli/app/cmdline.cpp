#include "app/cmdline.h"

#include <cstring>
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "common/file_names.h"
#include "common/report.h"
#include "common/strings.h"
#include "common/text_convert.h"
#include "platform/console.h"
#include "platform/platform.h"

namespace {

constexpr const char16_t* kSwitchChars = u"+-/@";
constexpr int kMaxPieces = 17;

bool is_blank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

int switch_kind(char16_t c) {
  for (int i = 0; kSwitchChars[i] != 0; ++i) {
    if (kSwitchChars[i] == c) return i + 1;
  }
  return 0;
}

#ifndef _WIN32
// POSIX only: an item that begins with "/" and whose first piece holds a
// further "/" is an absolute path, not an option.
bool is_absolute_path_item(const char16_t* p, bool quoted) {
  for (const char16_t* q = p + 1; *q != 0; ++q) {
    if (*q == u':') return false;
    if (quoted ? *q == u'"' : is_blank(*q)) return false;
    if (*q == u'/') return true;
  }
  return false;
}
#endif

// Copies a piece into a name buffer; refuses (never cuts) a piece that does
// not fit in 259 units.
void set_name(sAppState& app_state, char16_t* dst, const char16_t* prefix, const char16_t* text, sUInt length) {
  sUInt prefix_len = wstr_len(prefix);
  if (prefix_len + length >= kPathCapacity) {
    app_state.name_refused = 1;
    return;
  }
  std::memcpy(dst, prefix, prefix_len * sizeof(char16_t));
  std::memcpy(dst + prefix_len, text, length * sizeof(char16_t));
  dst[prefix_len + length] = 0;
  // Nor is a name kept that no file can have (not UTF-8 on the command
  // line, or over the file system's limits).
  if (!file_name_acceptable(dst)) app_state.name_refused = 1;
}

// "--name" or "--name=value".
void set_long_option(sAppState& app, std::u16string_view item) {
  const std::size_t equals = item.find(u'=');
  const std::u16string_view name = item.substr(0, equals);
  const bool has_value = equals != std::u16string_view::npos;
  const std::u16string_view value = has_value ? item.substr(equals + 1) : std::u16string_view();
  auto refuse = [&](const char16_t* why) {
    if (app.option_error.empty()) app.option_error = std::u16string(why) + u"--" + std::u16string(item);
  };
  auto flag = [&](bool& target) {
    if (has_value) {
      refuse(u"Option takes no value: ");
    } else {
      target = true;
    }
  };
  auto file = [&](std::u16string& target) {
    if (!has_value || value.empty()) {
      refuse(u"Option needs a file name: ");
    } else {
      target = value;
    }
  };
  if (name == u"help") {
    flag(app.help);
  } else if (name == u"version") {
    flag(app.version);
  } else if (name == u"batch") {
    flag(app.batch);
  } else if (name == u"quiet") {
    flag(app.quiet);
  } else if (name == u"dump") {
    flag(app.dump);
  } else if (name == u"errors") {
    if (value == u"msvc" || value == u"gnu") {
      app.errors_msvc = value == u"msvc";
    } else {
      refuse(u"Unknown diagnosis form (gnu or msvc): ");
    }
  } else if (name == u"to") {
    if (value == u"text") {
      app.output_form = kOutputText;
    } else if (value == u"binary") {
      app.output_form = kOutputBinary;
    } else if (value == u"json") {
      app.output_form = kOutputJson;
    } else {
      refuse(u"Unknown output form (text, binary or json): ");
    }
  } else if (name == u"depfile") {
    file(app.depfile);
  } else if (name == u"files-from") {
    file(app.files_from);
    app.batch = true;
  } else if (name == u"jobs") {
    unsigned jobs = 0;
    bool digits = has_value && !value.empty() && value.size() <= 4;
    for (char16_t c : value) {
      if (!wc_is_digit(c)) digits = false;
      if (digits) jobs = jobs * 10 + (c - u'0');
    }
    if (!digits || jobs == 0) {
      refuse(u"Invalid number of jobs: ");
    } else {
      app.jobs = jobs;
      app.batch = true;
    }
  } else {
    refuse(u"Unknown option: ");
  }
}

}  // namespace

sUInt cmdline_parse_text(const char16_t* cl, std::uintptr_t context, CmdLineHandler handler) {
  sUInt count = 0;
  const char16_t* p = cl;
  bool handed_over = false;
  for (;;) {
    while (*p != 0 && is_blank(*p)) ++p;
    if (*p == 0) break;  // empty item: nothing recorded, the parse ends
    bool quoted = false;
    if (*p == u'"') {
      quoted = true;
      ++p;
    }
    sUInt kind = CL_PLAIN;
    char16_t terminator = 0x0001;
    if (handed_over && p[0] == u'-' && p[1] == u'-') {
      const char16_t* start = p + 2;
      while (*p != 0 && (quoted ? *p != u'"' : !is_blank(*p))) ++p;
      const bool last_item = *p == 0 || p[1] == 0;
      ++count;
      if (handler(context, CL_LONG, start, static_cast<sUInt>(p - start), 0, nullptr, nullptr) == 0 || last_item) {
        break;
      }
      ++p;
      continue;
    }
    int sw = switch_kind(*p);
#ifndef _WIN32
    if (sw == CL_SLASH && is_absolute_path_item(p, quoted)) sw = 0;
#endif
    if (sw != 0) {
      kind = static_cast<sUInt>(sw);
      terminator = u':';
      ++p;
    }
    const char16_t* pieces[kMaxPieces];
    sUInt lengths[kMaxPieces];
    int piece_count = 0;
    bool last = false;
    for (;;) {
      const char16_t* start = p;
      while (*p != 0 && *p != terminator && (quoted ? *p != u'"' : !is_blank(*p))) ++p;
      if (piece_count < kMaxPieces) {
        pieces[piece_count] = start;
        lengths[piece_count] = static_cast<sUInt>(p - start);
        ++piece_count;
      }
      if (*p != 0 && *p == terminator) {
        terminator = u',';
        ++p;
        continue;
      }
      break;
    }
    // The item ends at p (end of text, a closing quote or a blank).
    if (*p == 0 || p[1] == 0) last = true;
    if (!handed_over && kind == CL_PLAIN) kind = CL_PROGRAM;
    bool go_on = true;
    if (piece_count > 0) {
      handed_over = true;
      ++count;
      go_on = handler(context, kind, pieces[0], lengths[0], piece_count - 1, pieces + 1, lengths + 1) != 0;
    }
    if (!go_on || last) break;
    ++p;
  }
  return count;
}

sUInt cmdline_parse(std::uintptr_t context, CmdLineHandler handler) {
  const std::u16string cl = console::command_line();
  return cmdline_parse_text(cl.size() < kWideBufferUnits ? cl.c_str() : u"", context, handler);
}

int on_cmdline_item(std::uintptr_t context, sUInt kind, const char16_t* text, sUInt length, int sub_count,
                    const char16_t* const* sub_values, const sUInt* sub_lengths) {
  sAppState& app_state = *reinterpret_cast<sAppState*>(context);
  switch (kind) {
    case CL_PLAIN:
      set_name(app_state, app_state.source_name, u"", text, length);
      app_state.sources.push_back(app_state.source_name);
      break;
    case CL_PLUS:
      set_name(app_state, app_state.source_name, u"+", text, length);
      app_state.sources.push_back(app_state.source_name);
      break;
    case CL_MINUS:
      set_name(app_state, app_state.source_name, u"-", text, length);
      app_state.sources.push_back(app_state.source_name);
      break;
    case CL_LONG:
      set_long_option(app_state, std::u16string_view(text, length));
      break;
    case CL_SLASH: {
      if (length == 0) break;
      switch (wc_fold(text[0])) {
        case u'k':
          app_state.check_only = 1;
          break;
        case u'o':
          if (sub_count >= 1) set_name(app_state, app_state.output_name, u"", sub_values[0], sub_lengths[0]);
          break;
        case u'c':
          app_state.compress_option = kCompressOn;
          break;
        case u'u':
          app_state.compress_option = kCompressOff;
          break;
        default:
          break;
      }
      break;
    }
    default:
      break;
  }
  return 1;
}

int get_module_dir_from_command_line(sReporter& rep, const char16_t* cl, char16_t* buffer, sUInt capacity) {
  const char16_t* start = cl;
  const char16_t* end;
  if (*cl == u'"') {
    ++start;
    end = start;
    while (*end != 0 && *end != u'"') ++end;
  } else {
    end = start;
    while (*end != 0 && !wc_is_space(*end)) ++end;
  }
  const char16_t* c = end;
  while (c > start && *(c - 1) != platform::path_separator() && *(c - 1) != u'\\') --c;
  // c is one past the last separator, or the token's start when there is none.
  const char16_t* sep = c > start ? c - 1 : cl;
  sUInt str_len = static_cast<sUInt>(sep - cl) + 1;
  if (!VX_CHECK(rep, kModuleAppUtil, 591, sep > cl && str_len < capacity, "c > cl && str_len < maxlen")) return 0;
  sUInt n = static_cast<sUInt>(sep - start) + 1;
  std::memcpy(buffer, start, n * sizeof(char16_t));
  buffer[n] = 0;
  return 1;
}

int get_module_dir(sReporter& rep, char16_t* buffer, sUInt capacity) {
  std::u16string dir = console::executable_dir();
  if (!dir.empty()) {
    if (dir.size() >= capacity) return 0;
    std::memcpy(buffer, dir.c_str(), (dir.size() + 1) * sizeof(char16_t));
    return 1;
  }
  const std::u16string cl = console::command_line();
  return get_module_dir_from_command_line(rep, cl.size() < kWideBufferUnits ? cl.c_str() : u"", buffer, capacity);
}
