// Pieces shared by the targets that read token files against the fixed
// grammars. The first input byte picks the grammar; the rest is the body
// behind the body header, which the target supplies so that the fuzzer
// spends its time on the readers rather than on headers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bnf/bnf_model.h"
#include "fuzz_support.h"
#include "shape/shape_tree.h"

namespace vxfuzz {

inline sBNFTable* pick_grammar(std::uint8_t selector) {
  const auto& tables = fixture_grammars();
  return tables[selector % tables.size()];
}

// A text token file as the program writes one: the UTF-16 container header
// form, the body header as 16 units, then the fuzzer's bytes.
inline std::string text_token_file(const sBNFTable* table, std::string_view body) {
  return "\xFF\xFE" + widen("KALDOA@@@@@@@@@@") + widen(body_header(table, 't')) + std::string(body);
}

// A binary token file: the 8-bit container header form, the body header,
// then the fuzzer's bytes.
inline std::string binary_token_file(const sBNFTable* table, std::string_view body) {
  return "KALDOA@@@@@@@@@@" + body_header(table, 'b') + std::string(body);
}

// Where the conversion driver starts writing: the first node whose first
// child is no parent.
inline sShapeItemNode* start_node(sShapeFile* file) {
  sShapeItemNode* node = file->first;
  while (node != nullptr && node->child != nullptr && node->child->type == SHN_PARENT) node = node->child;
  return node;
}

// True when some node's text holds a carriage return, which the text form
// drops by design, or some float is a NaN other than the plain quiet NaN:
// its text is "nan" or "-nan", which keeps the sign but not the payload.
// (U+0000 units, the other loss of the text form, never reach a tree: the
// binary reader refuses strings that hold them.)
inline bool is_lossy_nan(sUInt type, sUInt bits) {
  return type == SHN_FLOAT && (bits & 0x7F800000u) == 0x7F800000u && (bits & 0x007FFFFFu) != 0 &&
         (bits & 0x7FFFFFFFu) != 0x7FC00000u;
}

inline bool holds_text_form_losses(const sShapeItemNode* node) {
  for (; node != nullptr; node = node->next) {
    if (is_lossy_nan(node->type, node->value)) return true;
    if (node->type == SHN_RUN) {
      for (sUInt i = 0; i < shape_run_count(node); ++i) {
        if (is_lossy_nan(shape_run_type(node, i), shape_run_value(node, i))) return true;
      }
    }
    if (node->text != nullptr) {
      for (const char16_t* p = node->text; *p != 0; ++p) {
        if (*p == u'\r') return true;
      }
    }
    if (holds_text_form_losses(node->child)) return true;
  }
  return false;
}

}  // namespace vxfuzz
