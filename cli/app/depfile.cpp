#include "app/depfile.h"


#include "common/file_names.h"
#include "common/utf8.h"

namespace {

// Appends `name` escaped; false when it cannot be written.
bool append_name(std::string& out, const std::u16string& name) {
  if (name.empty() || name.back() == u'\\') return false;
  for (const char16_t c : name) {
    if (c == 0 || c == u'\n' || c == u'\r') return false;
  }
  const std::string text = u16_to_utf8(name);
  std::size_t backslashes = 0;  // the run right before the character
  for (const char c : text) {
    switch (c) {
      case '\\':
        ++backslashes;
        out += c;
        continue;
      case ' ':
      case '\t':
        out.append(backslashes, '\\');
        out += '\\';
        break;
      case '#':
        out += '\\';
        break;
      case '$':
        out += '$';
        break;
      default:
        break;
    }
    out += c;
    backslashes = 0;
  }
  return true;
}

}  // namespace

std::string make_depfile(const std::vector<sDepRule>& rules) {
  std::string out;
  for (const sDepRule& rule : rules) {
    if (!append_name(out, rule.target)) return {};
    out += ':';
    if (!rule.source.empty()) {
      out += ' ';
      if (!append_name(out, rule.source)) return {};
    }
    if (rule.definitions != nullptr) {
      for (const std::u16string& name : *rule.definitions) {
        out += " \\\n  ";
        if (!append_name(out, name)) return {};
      }
    }
    out += '\n';
  }
  return out;
}

bool write_depfile(const std::u16string& path, const std::string& text) {
  if (text.empty() || path.find(u'\0') != std::u16string::npos) return false;
  // Written as every output is: the old file stays until the new one is whole.
  return write_whole_file(path.c_str(), text.data(), text.size());
}
