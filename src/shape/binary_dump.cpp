#include "shape/binary_dump.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/byte_order.h"
#include "common/utf8.h"
#include "container/fioshare.h"
#include "tables/stoken.h"

namespace {

constexpr sUInt kBodyHeaderBytes = 16;
constexpr sUInt kBytesPerRow = 16;
// Deeper blocks are shown as content: the dump's stack stays small whatever
// the file holds.
constexpr sUInt kMaxDepth = 200;

// A block name in its quotes: control characters, quotes and backslashes
// escaped, so that every name stays on its line.
std::string escaped_name(const sByte* units, sUInt count) {
  std::u16string name;
  for (sUInt i = 0; i < count; ++i) {
    const auto unit = static_cast<char16_t>(get_le16(units + 2 * i));
    if (unit < 0x20 || unit == 0x7F || unit == u'"' || unit == u'\\') {
      char escape[8];
      std::snprintf(escape, sizeof escape, unit == u'"' || unit == u'\\' ? "\\%c" : "\\x%02X", unit);
      for (const char* c = escape; *c != 0; ++c) name += static_cast<char16_t>(*c);
    } else {
      name += unit;
    }
  }
  return u16_to_utf8(name);
}

struct Dumper {
  const sByte* body;
  sUInt size;
  const sTokenTable* tokens;
  const sDumpSink& sink;

  void emit(const std::string& text) const { sink.line(sink.user, text); }

  const char16_t* token_name(sUInt id) const {
    if (tokens == nullptr) return nullptr;
    const sShapeTokenDef* def = tokutil_find_stoken_by_id(*tokens, id);
    return def != nullptr ? def->name : nullptr;
  }

  // An id as the token table would give one: without a table, a range
  // number and an index that are both small and not zero.
  bool known_id(sUInt id) const {
    if (tokens != nullptr) return token_name(id) != nullptr;
    const sUInt range = id >> 16;
    const sUInt index = id & 0xFFFFu;
    return range >= 1 && range <= 0xFF && index >= 1 && index <= 0xFFF;
  }

  // Whether a block begins at `at` inside [at, end): a known id, a size of
  // at least the name length byte, and a name that fits the block and the
  // bytes there are. A size or a name that runs past where it may end is
  // taken only where that is the likely damage: for an id the table knows,
  // or (a size) at the top level.
  bool block_at(sUInt at, sUInt end, bool top) const {
    if (end - at < 9) return false;
    const sUInt id = get_le32(body + at);
    const sUInt block_size = get_le32(body + at + 4);
    if (block_size < 1 || !known_id(id)) return false;
    const bool fits = block_size <= end - at - 8;
    if (!fits && tokens == nullptr && !top) return false;
    const sUInt room = fits ? block_size : end - at - 8;
    const sUInt name_units = body[at + 8];
    if (1 + 2 * name_units > room) return tokens != nullptr;
    for (sUInt i = 0; i < name_units; ++i) {
      if (get_le16(body + at + 9 + 2 * i) == 0) return false;
    }
    return true;
  }

  static std::string indent(sUInt depth) { return std::string(2 * depth, ' '); }

  std::string id_text(sUInt id) const {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(id));
    const char16_t* name = token_name(id);
    if (name == nullptr) return hex;
    return u16_to_utf8(name) + " (" + hex + ")";
  }

  // A guess at what a 32-bit value is: a token id, a small whole number, a
  // float of everyday size, else its hexadecimal.
  std::string word_guess(sUInt w) const {
    char text[48];
    if (w != 0 && tokens != nullptr && token_name(w) != nullptr) return u16_to_utf8(token_name(w));
    const auto s = static_cast<std::int32_t>(w);
    if (w < 0x01000000u) {
      std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(w));
    } else if (s < 0 && s > -0x01000000) {
      std::snprintf(text, sizeof text, "%d", static_cast<int>(s));
    } else {
      float f;
      std::memcpy(&f, &w, 4);
      const float magnitude = std::fabs(f);
      if (std::isfinite(f) && magnitude >= 1e-4f && magnitude < 1e7f) {
        std::snprintf(text, sizeof text, "%gf", static_cast<double>(f));
      } else {
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(w));
      }
    }
    return text;
  }

  // Content bytes [from, to) in rows: offset, hexadecimal, and the 32-bit
  // guesses of the whole words counted from `from`.
  void data(sUInt from, sUInt to, sUInt depth) const {
    for (sUInt row = from; row < to; row += kBytesPerRow) {
      const sUInt row_end = to - row < kBytesPerRow ? to : row + kBytesPerRow;
      char head[32];
      std::snprintf(head, sizeof head, "@%u ", static_cast<unsigned>(row));
      std::string line = indent(depth) + head;
      for (sUInt i = row; i < row_end; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x ", body[i]);
        line += byte;
      }
      line.append(3 * (kBytesPerRow - (row_end - row)), ' ');
      line += "|";
      for (sUInt i = row; i + 4 <= row_end; i += 4) {
        line += ' ';
        line += word_guess(get_le32(body + i));
      }
      emit(line);
    }
  }

  // The items of [from, to): blocks where one begins, content between them.
  void items(sUInt from, sUInt to, sUInt depth) const {
    const bool top = depth == 0;
    sUInt data_from = from;
    sUInt at = from;
    while (at < to) {
      if (depth >= kMaxDepth || !block_at(at, to, top)) {
        ++at;
        continue;
      }
      if (data_from < at) data(data_from, at, depth);
      at = block(at, to, depth);
      data_from = at;
    }
    if (data_from < to) data(data_from, to, depth);
  }

  // The block at `at` inside [at, end); returns where the next item begins.
  sUInt block(sUInt at, sUInt end, sUInt depth) const {
    const sUInt id = get_le32(body + at);
    const sUInt block_size = get_le32(body + at + 4);
    const bool fits = block_size <= end - at - 8;
    const sUInt block_end = fits ? at + 8 + block_size : end;
    const sUInt name_units = body[at + 8];
    const bool name_fits = at + 9 + 2 * name_units <= block_end;
    char head[96];
    std::snprintf(head, sizeof head, "@%u block ", static_cast<unsigned>(at));
    std::string line = indent(depth) + head + id_text(id);
    std::snprintf(head, sizeof head, " size %u", static_cast<unsigned>(block_size));
    line += head;
    if (name_units > 0 && name_fits) {
      line += " name \"" + escaped_name(body + at + 9, name_units) + "\"";
    }
    if (!name_fits) {
      std::snprintf(head, sizeof head, " !! name of %u units runs past the block", static_cast<unsigned>(name_units));
      line += head;
    }
    if (!fits) {
      std::snprintf(head, sizeof head, " !! runs %u bytes past %s",
                    static_cast<unsigned>(block_size - (end - at - 8)), depth == 0 ? "the body" : "its parent");
      line += head;
    }
    emit(line);
    items(name_fits ? at + 9 + 2 * name_units : at + 9, block_end, depth + 1);
    return block_end;
  }
};

std::string printable(const sByte* bytes, sUInt count) {
  std::string text;
  for (sUInt i = 0; i < count; ++i) text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
  return text;
}

void emit_line(const sDumpSink& sink, const std::string& line) { sink.line(sink.user, line); }

}  // namespace

bool dump_token_stream(const sFioShareFile& stream, const sTokenTable* tokens, const sDumpSink& sink) {
  if (sink.line == nullptr) return false;
  const char mark = static_cast<char>(stream.header[kHeaderMarkOffset]);
  const char* coding = mark == 'F' ? "zlib" : mark == 'B' ? "Huffman code" : "plain";
  char line[160];
  std::snprintf(line, sizeof line, "container: %s header, mark '%c' (%s), body of %u bytes",
                stream.unicode != 0 ? "UTF-16" : "8-bit", mark, coding, static_cast<unsigned>(stream.body_size));
  emit_line(sink, line);

  // In a UTF-16 container the body header is the low bytes of 16 units.
  const sUInt unit = stream.unicode != 0 ? 2 : 1;
  if (stream.body == nullptr || stream.body_size < kBodyHeaderBytes * unit) {
    emit_line(sink, "body header: missing (the body is shorter than 16 bytes)");
    return false;
  }
  sByte header[kBodyHeaderBytes];
  for (sUInt i = 0; i < kBodyHeaderBytes; ++i) header[i] = stream.body[i * unit];
  std::string text = "body header: \"" + printable(header, kBodyHeaderBytes) + "\"";
  const bool torv = std::memcmp(header, "TORV", 4) == 0;
  const char form = static_cast<char>(header[7]);
  if (!torv) {
    emit_line(sink, text + ": no body header (it begins with TORV)");
    return false;
  }
  std::snprintf(line, sizeof line, ": type '%s' version '%s' form ",
                printable(header + 5, 1).c_str(), printable(header + 6, 1).c_str());
  text += line;
  if (form != 'b' || unit != 1) {
    emit_line(sink, text + (form == 't' ? "text: no blocks to show" : "unknown: no blocks to show"));
    return false;
  }
  emit_line(sink, text + "binary");
  const Dumper dumper{stream.body, stream.body_size, tokens, sink};
  dumper.items(kBodyHeaderBytes, stream.body_size, 0);
  return true;
}

bool dump_token_bytes(const sByte* data, sUInt size, const sTokenTable* tokens, const sDumpSink& sink) {
  sFioShareFile* stream = fioshare_open_memory(data, size);
  if (stream == nullptr) {
    if (sink.line != nullptr) sink.line(sink.user, "no token file: the container cannot be opened");
    return false;
  }
  const bool ok = dump_token_stream(*stream, tokens, sink);
  fioshare_file_close(stream);
  return ok;
}
