// Writing a shape item tree as a binary body.
//
// The binary body, little-endian throughout, texts as UTF-16 units without
// terminator:
//   body header   16 bytes, the loaded file's with the form byte "b"
//   block         token id (4), size of the rest of the block (4), name
//                 length in units (1), name (2n), content
//   array         its children, one after the other, nothing of its own
//   literal       the id of the token definition named by its text (4), or
//                 nothing when no definition has that name
//   string        length in units (2), units (2L)
//   sint, uint, dword, float, token   4 bytes;  byte   1 byte
// The binary reader reads exactly this.
#include "shape/binary_writer.h"

#include <bit>
#include <cstring>

#include "bnf/bnf_model.h"
#include "common/byte_order.h"
#include "common/report.h"
#include "common/strings.h"
#include "container/fioshare.h"
#include "shape/conversion.h"
#include "shape/shape_tree.h"
#include "tables/stoken.h"

namespace {

constexpr sUInt kSizePlaceholder = 0xD0D0D0D0u;
constexpr sUInt kMaxBlockNameUnits = 255;
constexpr sUInt kMaxStringUnits = 65535;

bool put_bytes(sFioShareFile* stream, const void* bytes, sUInt count) {
  return count == 0 || fioshare_write(stream, bytes, count) == count;
}

bool put_u8(sFioShareFile* stream, sUInt value) {
  const sByte byte = static_cast<sByte>(value);
  return put_bytes(stream, &byte, 1);
}

bool put_u16(sFioShareFile* stream, sUInt value) {
  sByte bytes[2];
  put_le16(bytes, value);
  return put_bytes(stream, bytes, 2);
}

bool put_u32(sFioShareFile* stream, sUInt value) { return fioshare_write_le32(stream, value) == 4; }

bool put_units(sFioShareFile* stream, const char16_t* text, sUInt count) {
  if constexpr (std::endian::native == std::endian::little) {
    return put_bytes(stream, text, count * 2);
  } else {
    for (sUInt i = 0; i < count; ++i) {
      if (!put_u16(stream, text[i])) return false;
    }
    return true;
  }
}

const char16_t* text_or_empty(const sShapeItemNode* node) { return node->text != nullptr ? node->text : u""; }

bool write_content_node(sConversion& conv, sFioShareFile* stream, sBNFTable* table, sShapeItemNode* node) {
  const sUInt offset = fioshare_tell(stream);
  switch (node->type) {
    case SHN_LITERAL: {
      // Grammar words that name no token, and the bracket nodes, leave no trace.
      const sShapeTokenDef* def = node->text != nullptr ? tokutil_find_stoken_by_name(conv.tokens, node->text) : nullptr;
      if (def == nullptr) return true;
      debug_trace(0, u"Bin data: %02x\toffset: %d\t(literal: %s)\n", def->id, offset, node->text);
      return put_u32(stream, def->id);
    }
    case SHN_STRING: {
      const sUInt length = wstr_len(node->text);
      // A longer text does not fit its length field; cutting it would lose
      // data without notice.
      if (length > kMaxStringUnits) return false;
      debug_trace(0, u"Bin data: %04x\toffset: %d\t(string: %s)\n", length, offset, text_or_empty(node));
      return put_u16(stream, length) && put_units(stream, node->text, length);
    }
    case SHN_SINT:
      debug_trace(0, u"Bin data: %08x\toffset: %d\t(sint: %d)\n", node->value, offset, node->value);
      return put_u32(stream, node->value);
    case SHN_UINT:
      debug_trace(0, u"Bin data: %08x\toffset: %d\t(uint: %u)\n", node->value, offset, node->value);
      return put_u32(stream, node->value);
    case SHN_DWORD:
      debug_trace(0, u"Bin data: %08x\toffset: %d\t(dword)\n", node->value, offset);
      return put_u32(stream, node->value);
    case SHN_BYTE:
      debug_trace(0, u"Bin data: %02x\toffset: %d\t(byte)\n", node->value & 0xFF, offset);
      return put_u8(stream, node->value);
    case SHN_FLOAT:
      debug_trace(0, u"Bin data: %08x\toffset: %d\t(float: %g)\n", node->value, offset,
                  static_cast<double>(std::bit_cast<float>(node->value)));
      return put_u32(stream, node->value);
    case SHN_TOKEN:
      debug_trace(0, u"Bin data: %08x\toffset: %d\t(token: %s)\n", node->value, offset, text_or_empty(node));
      return put_u32(stream, node->value);
    case SHN_PARENT: return write_binary_parent(conv, stream, table, node) != 0;
    default: return true;
  }
}

// A run of numbers: their binary form is the run's values one after the
// other, little-endian.
bool write_run(sFioShareFile* stream, const sShapeItemNode* node) {
  const sShapeRun* run = shape_run(node);
  const sUInt count = shape_run_count(node);
  if constexpr (std::endian::native == std::endian::little) {
    return put_bytes(stream, run->data, count * run->width);
  } else {
    for (sUInt i = 0; i < count; ++i) {
      const sUInt value = shape_run_value(node, i);
      if (!(run->width == 1 ? put_u8(stream, value) : put_u32(stream, value))) return false;
    }
    return true;
  }
}

// The "(" node of a block: a literal without grammar entry. A block name has
// no entry either, but is a string node when read from a text body.
bool is_open_bracket(const sShapeItemNode* node) {
  return node != nullptr && node->type == SHN_LITERAL && node->bnf_entry == nullptr &&
         wstr_equal(text_or_empty(node), u"(");
}

// Id, size placeholder and name of a block; returns the node its content
// starts with through `content`, and where the size goes through `size_at`.
bool write_block_start(sConversion& conv, sFioShareFile* stream, sShapeItemNode* parent, sShapeItemNode** content, sUInt* size_at) {
  sShapeItemNode* name_node = parent->child;
  const sBNFTokenDef* rule = name_node->bnf_entry != nullptr ? name_node->bnf_entry->def : nullptr;
  const sShapeTokenDef* def =
      rule != nullptr && rule->text != nullptr ? tokutil_find_stoken_by_name(conv.tokens, rule->text) : nullptr;
  if (def != nullptr) debug_trace(0, u"Bin data: block ID: %08x (%s)\n", def->id, def->name);
  if (name_node->type != SHN_LITERAL || def == nullptr) return false;
  if (!put_u32(stream, def->id)) return false;

  sShapeItemNode* next = name_node->next;
  if (next == nullptr) return false;  // no brackets: not a block the readers build
  *size_at = fioshare_tell(stream);
  debug_trace(0, u"Bin data: block size dummy write: offset %d\n", *size_at);
  if (!put_u32(stream, kSizePlaceholder)) return false;
  // The node after the token name is the "(" unless the block has a name,
  // which may itself read "(": then the bracket follows it.
  const bool named = !is_open_bracket(next) || is_open_bracket(next->next);
  if (!named) {
    if (!put_u8(stream, 0)) return false;
  } else {
    const sUInt length = wstr_len(next->text);
    if (length > kMaxBlockNameUnits) {
      conv.fault = u"the block name " + quote_found(next->text) + u" of a " + quote_found(def->name) + u" block has " +
                   decimal_text(length) + u" units; a binary block name holds at most " +
                   decimal_text(kMaxBlockNameUnits);
      return false;
    }
    if (!put_u8(stream, length) || !put_units(stream, next->text, length)) return false;
  }
  *content = next->next;
  return true;
}

}  // namespace

int write_binary_parent(sConversion& conv, sFioShareFile* stream, sBNFTable* table, sShapeItemNode* parent) {
  if (stream == nullptr || parent == nullptr) return 0;
  const sBNFTokenDef* def = parent->bnf_entry != nullptr ? parent->bnf_entry->def : nullptr;
  const bool block = def != nullptr && def->type == BNFT_TOKENDEF;
  const bool array = def != nullptr && def->type == BNFT_CON_ARRAY;
  if (parent->type != SHN_PARENT || (!block && !array)) {
    report_at(conv.rep, kModuleShpFile, 2108,
              u"Parent shape item node doesn't reference BNF def type BNFT_TOKENDEF or BNFT_CON_ARRAY [BNFParse %d]\n",
              2109);
    return 0;
  }
  if (parent->child == nullptr) {
    report_at(conv.rep, kModuleShpFile, 2116, u"Parent shape item node without children! [BNFParse %d]\n", 2116);
    return 1;
  }
  sShapeItemNode* node = parent->child;
  sUInt size_at = 0;
  if (block && !write_block_start(conv, stream, parent, &node, &size_at)) return 0;
  for (; node != nullptr; node = node->next) {
    if (node->type == SHN_RUN) {
      if (!write_run(stream, node)) return 0;
      continue;
    }
    // The four-byte values that make up most of a model go straight into
    // the body while it has room; everything else takes the full path.
    const sUInt type = node->type;
    if ((type == SHN_FLOAT || type == SHN_UINT || type == SHN_SINT || type == SHN_DWORD || type == SHN_TOKEN) &&
        stream->capacity - stream->position >= 4) {
      fioshare_write_le32(stream, node->value);
      continue;
    }
    if (!write_content_node(conv, stream, table, node)) return 0;
  }
  if (block) {
    // The size counts every byte behind its own field: nested blocks are
    // complete, and patched, before their parent.
    const sUInt end = fioshare_tell(stream);
    const sUInt size = end - size_at - 4;
    if (fioshare_seek(stream, size_at, 0) == kSeekFailed || !put_u32(stream, size) ||
        fioshare_seek(stream, end, 0) == kSeekFailed) {
      return 0;
    }
    debug_trace(0, u"Bin data: %08x\toffset: %d\t(block size: %u)\n", size, size_at, size);
  }
  return 1;
}

int write_binary_stream(sConversion& conv, sFioShareFile* stream, sBNFTable* table, sShapeFile* file,
                        sShapeItemNode* first) {
  if (stream == nullptr || table == nullptr || file == nullptr) return 0;
  sByte header[kBodyHeaderBytes];
  std::memcpy(header, file->header, sizeof header);
  header[kBodyFormByte] = kBinaryForm;
  if (fioshare_write(stream, header, sizeof header) != sizeof header) return 0;
  for (sShapeItemNode* node = first; node != nullptr; node = node->next) {
    if (!write_binary_parent(conv, stream, table, node)) return 0;
  }
  return 1;
}

int write_binary_file(sConversion& conv, const char16_t* path, sBNFTable* table, sShapeFile* file,
                      sShapeItemNode* first, sUInt comp) {
  if (path == nullptr || table == nullptr || file == nullptr) return 0;
  sFioShareFile* stream = fioshare_file_open(conv.rep, path, FIO_WRITE, comp, 0);
  if (stream == nullptr) {
    conv.last_error_code = kErrorCannotWrite;
    return 0;
  }
  if (!write_binary_stream(conv, stream, table, file, first)) {
    // The file keeps what it had rather than a body that stops part-way.
    fioshare_file_abandon(stream);
    return 0;
  }
  return fioshare_file_close(stream) ? 1 : 0;
}
