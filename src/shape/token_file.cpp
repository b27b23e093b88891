// Loading a token file: the body header, then the body through the reader
// of its form, into a shape item tree.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bnf/tokenizer.h"
#include "common/diagnosis.h"
#include "common/memory.h"
#include "common/strings.h"
#include "container/fioshare.h"
#include "shape/binary_reader.h"
#include "shape/json_reader.h"
#include "shape/conversion.h"
#include "shape/shape_tree.h"
#include "shape/text_reader.h"
#include "shape/token_file.h"

namespace {

constexpr sByte kHighestFormat = 0x30;

// A path has an extension when a "." comes before any separator, scanning
// back from its end.
bool has_extension(const char16_t* path) {
  const char16_t* end = path;
  while (*end != 0) ++end;
  while (end != path) {
    const char16_t c = *--end;
    if (c == u'.') return true;
    if (c == u'\\' || c == u'/' || c == u':') return false;
  }
  return false;
}

// The text body starts right behind the header; the tokenizer owns the
// stream from here on and closes it.
bool match_text_body(sConversion& conv, sFioShareFile* stream, sShapeFile* file, sShapeItemNode** cursor,
                     bool* complete) {
  if (conv.tokenizer == nullptr) conv.tokenizer = std::make_unique<sTokenizer>();
  sTokenizer& tz = *conv.tokenizer;
  if (tokenizer_is_open(tz)) {
    fioshare_file_close(stream);
    return false;
  }
  if (!tokenizer_open_stream(tz, stream)) {
    if (tokenizer_is_open(tz)) {
      tokenizer_close(tz);
    } else {
      fioshare_file_close(stream);
    }
    return false;
  }
  // Node texts may stay in the text body where they stand: the file's arena
  // owns the body from here on.
  shape_arena_adopt(file->arena, stream->body, stream->body_size);
  // A tokenizer that ran out of memory for its saved states read an end of
  // input that is not there: nothing it matched can be trusted.
  int resolved = 0;
  const bool matched =
      match_text(conv, tz, file->arena, &file->root_entry, cursor, &resolved) != 0 && !tokenizer_state_lost(tz);
  *complete = resolved != 0;
  tokenizer_detach_text(tz);
  tokenizer_close(tz);
  return matched;
}

// The binary reader works on the stream's body in place: the whole body,
// header included, with the position behind the header.
bool match_binary_body(sConversion& conv, sFioShareFile* stream, sShapeFile* file, sShapeItemNode** cursor,
                       bool* complete) {
  const sUInt size = fioshare_seek(stream, 0, 1);
  bool matched = false;
  if (size != kSeekFailed && fioshare_seek(stream, 0, 0) == 0) {
    sUInt position = kBodyHeaderBytes;
    int resolved = 0;
    matched = match_binary(conv, file->arena, stream->body, size, &position, &file->root_entry, cursor, &resolved) != 0;
    *complete = resolved != 0;
    conv.error_position = position;
  }
  fioshare_file_close(stream);
  return matched;
}

// A JSON document is read from its bytes in place, from its first byte.
bool match_json_body(sConversion& conv, sFioShareFile* stream, sShapeFile* file, sShapeItemNode** cursor,
                     bool* complete) {
  int resolved = 0;
  sJsonPlace stop{};
  const bool matched = match_json(conv, file->arena, stream->body, stream->body_size, &file->root_entry, cursor,
                                  &resolved, &stop) != 0;
  *complete = resolved != 0;
  conv.error_position = stop.line;
  fioshare_file_close(stream);
  return matched;
}

// A stream without a container header whose bytes begin as a JSON
// document does (read from its start).
bool holds_json(sFioShareFile* stream) {
  return fioshare_is_headerless(stream) && stream->position == 0 && is_json_document(stream->body, stream->body_size);
}

// What stops a body header from reading (kNone: it reads).
enum class sBodyHeaderFault { kNone, kShort, kNotTorv, kForm, kFormat, kJson };

// Reads the body header's 16 bytes (the low bytes of a UTF-16 body's units)
// into `bytes` and checks them.
sBodyHeaderFault take_body_header(sFioShareFile* stream, sByte* bytes) {
  if (holds_json(stream)) {
    return read_json_header(stream->body, stream->body_size, bytes) != 0 ? sBodyHeaderFault::kNone
                                                                          : sBodyHeaderFault::kJson;
  }
  if (fioshare_is_unicode(stream)) {
    sByte units[kBodyHeaderBytes * 2];
    if (fioshare_read(stream, units, sizeof units) < sizeof units) return sBodyHeaderFault::kShort;
    for (sUInt i = 0; i < kBodyHeaderBytes; ++i) bytes[i] = units[2 * i];
  } else if (fioshare_read(stream, bytes, kBodyHeaderBytes) < kBodyHeaderBytes) {
    return sBodyHeaderFault::kShort;
  }
  if (std::memcmp(bytes, "TORV", 4) != 0) return sBodyHeaderFault::kNotTorv;
  if (bytes[kBodyFormByte] != kTextForm && bytes[kBodyFormByte] != kBinaryForm) return sBodyHeaderFault::kForm;
  if (bytes[kBodyFormatByte] > kHighestFormat) return sBodyHeaderFault::kFormat;
  return sBodyHeaderFault::kNone;
}

// The body header's fault in words; a JSON header's goes into `json`.
std::u16string describe_body_header(sFioShareFile* stream, sReadDiagnosis& json) {
  const sUInt start = stream->position;
  sByte bytes[kBodyHeaderBytes];
  const sBodyHeaderFault fault = take_body_header(stream, bytes);
  const bool unicode = fioshare_is_unicode(stream);
  switch (fault) {
    case sBodyHeaderFault::kNone: break;
    case sBodyHeaderFault::kJson: diagnose_json_header(stream->body, stream->body_size, json); break;
    case sBodyHeaderFault::kShort: {
      const sUInt left = stream->body_size - start;
      return u"the body has " + decimal_text(unicode ? left / 2 : left) + (unicode ? u" units" : u" bytes") +
             u", too few for the 16 of the body header";
    }
    case sBodyHeaderFault::kNotTorv: {
      std::u16string what = u"the body header begins with " + quoted_bytes(bytes, 4) + u", not 'TORV'";
      if (!unicode && bytes[1] == 0 && bytes[3] == 0) {
        what += u"; a UTF-16 body needs the UTF-16 form of the container header";
      } else if (fioshare_is_headerless(stream)) {
        what += u"; without a container header the body starts at the file's first byte";
      }
      return what;
    }
    case sBodyHeaderFault::kForm:
      return u"the body header gives the form " + quoted_bytes(&bytes[kBodyFormByte], 1) +
             u"; expected 't' (text) or 'b' (binary)";
    case sBodyHeaderFault::kFormat:
      return u"the body header gives the format " + quoted_bytes(&bytes[kBodyFormatByte], 1) +
             u"; formats up to '0' are read";
  }
  return {};
}

}  // namespace

int read_body_header(sFioShareFile* stream, sByte* header) {
  if (stream == nullptr || header == nullptr) return 0;
  sByte bytes[kBodyHeaderBytes];
  if (take_body_header(stream, bytes) != sBodyHeaderFault::kNone) return 0;
  std::memcpy(header, bytes, sizeof bytes);
  return 1;
}

std::u16string explain_unopened(sFioShareFile* stream, const sContainerFault& fault, sReadDiagnosis& json) {
  if (stream == nullptr) return describe_container_fault(fault);
  if (fioshare_seek(stream, 0, 0) != 0) return {};
  return describe_body_header(stream, json);
}

void sPeekedStream::keep(const char16_t* path, sFioShareFile* stream) {
  drop();
  path_ = alloc_string(path, 0);
  if (path_ == nullptr) {
    fioshare_file_close(stream);
    return;
  }
  stream_ = stream;
}

sFioShareFile* sPeekedStream::take(const char16_t* path) {
  if (stream_ == nullptr || !wstr_equal(path_, path)) return nullptr;
  sFioShareFile* stream = stream_;
  stream_ = nullptr;
  drop();
  if (fioshare_seek(stream, 0, 0) != 0) {
    fioshare_file_close(stream);
    return nullptr;
  }
  return stream;
}

void sPeekedStream::drop() {
  if (stream_ != nullptr) fioshare_file_close(stream_);
  stream_ = nullptr;
  free_string(path_);
  path_ = nullptr;
}

int peek_token_file(sConversion& conv, const char16_t* path, sByte* header) {
  conv.peeked.drop();
  sContainerFault fault;
  sFioShareFile* stream = fioshare_file_open(conv.rep, path, FIO_READ, FIO_COMP_NONE, 0, &fault);
  const int ok = stream != nullptr ? read_body_header(stream, header) : 0;
  if (!ok) conv.fault = explain_unopened(stream, fault, conv.diagnosis);
  if (stream == nullptr) return 0;
  if (ok && path != nullptr) {
    conv.peeked.keep(path, stream);
  } else {
    fioshare_file_close(stream);
  }
  return ok;
}

sShapeFile* read_token_file(sConversion& conv, const char16_t* path, sBNFTable* table, sUInt* comp_mark) {
  conv.error_position = 0;
  conv.diagnosis = sReadDiagnosis{};
  if (path == nullptr || table == nullptr) return nullptr;
  if (!has_extension(path)) {
    conv.diagnosis.failure = sReadFailure::kNoExtension;
    return nullptr;
  }
  sFioShareFile* stream = conv.peeked.take(path);
  if (stream == nullptr) stream = fioshare_file_open(conv.rep, path, FIO_READ, FIO_COMP_NONE, 0);
  if (stream == nullptr) return nullptr;
  if (comp_mark != nullptr) *comp_mark = fioshare_get_comp(stream);
  return read_token_stream(conv, stream, table);
}

sShapeFile* read_token_stream(sConversion& conv, sFioShareFile* stream, sBNFTable* table) {
  conv.error_position = 0;
  conv.diagnosis = sReadDiagnosis{};
  if (stream == nullptr) return nullptr;
  if (table == nullptr) {
    fioshare_file_close(stream);
    return nullptr;
  }
  sByte header[kBodyHeaderBytes];
  auto* file = static_cast<sShapeFile*>(vexlor_mem_alloc_fixed(sizeof(sShapeFile)));
  // Every node of the read, and every text normalising gives one, comes
  // from the file's arena.
  sShapeArena* arena = shape_arena_create();
  sShapeItemNode* root = arena != nullptr ? shape_node_create(nullptr, arena) : nullptr;
  const bool json = holds_json(stream);
  if (!read_body_header(stream, header) || file == nullptr || root == nullptr) {
    fioshare_file_close(stream);
    std::free(file);
    shape_arena_release(arena);
    return nullptr;
  }
  std::memset(file, 0, sizeof *file);
  std::memcpy(file->header, header, sizeof header);
  file->arena = arena;
  file->json_source = json;
  // Nodes matched by the root rule itself refer to this entry, so it lives
  // in the loaded file.
  file->root_entry.def = table->root_token;
  file->root_entry.label = nullptr;
  root->type = SHN_PARENT;
  root->bnf_entry = &file->root_entry;
  sShapeItemNode* cursor = root;

  // A tree whose token values all had definitions needs no normalising:
  // either reader gave every node its number and its text as it matched.
  bool tokens_complete = false;
  const bool matched = json                                 ? match_json_body(conv, stream, file, &cursor, &tokens_complete)
                       : header[kBodyFormByte] == kTextForm ? match_text_body(conv, stream, file, &cursor, &tokens_complete)
                                                            : match_binary_body(conv, stream, file, &cursor, &tokens_complete);
  sShapeItemNode* first = root->child;
  root->child = nullptr;
  shape_tree_free(root, arena);
  // A token value that names no token definition fails the read here.
  const bool complete =
      matched && (tokens_complete || shape_tree_normalise_matched(conv.rep, conv.tokens, first, arena));
  file->first = first;
  if (complete) conv.diagnosis = sReadDiagnosis{};
  if (!complete) {
    free_shape_file(file);
    return nullptr;
  }
  shape_arena_release_source(first, arena);
  return file;
}
