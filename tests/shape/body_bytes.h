// Binary bodies built byte by byte and a compact picture of a tree, for the
// binary reader tests.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/types.h"
#include "shape/shape_tree.h"

namespace vxtest {

// Little-endian bytes of a binary body.
struct Bytes {
  std::vector<sByte> v;
  Bytes& u8(sUInt x) {
    v.push_back(sByte(x));
    return *this;
  }
  Bytes& u16(sUInt x) { return u8(x).u8(x >> 8); }
  Bytes& u32(sUInt x) { return u16(x).u16(x >> 16); }
  Bytes& f32(float f) {
    sUInt bits;
    std::memcpy(&bits, &f, 4);
    return u32(bits);
  }
  Bytes& str(const std::u16string& s) {
    u16(sUInt(s.size()));
    for (char16_t c : s) u16(c);
    return *this;
  }
  Bytes& add(const Bytes& other) {
    v.insert(v.end(), other.v.begin(), other.v.end());
    return *this;
  }
  // A block as the binary writer lays it out: id, size, name, content.
  static Bytes block(sUInt id, const Bytes& content, const std::u16string& name = u"") {
    Bytes b;
    b.u32(id).u32(sUInt(1 + 2 * name.size() + content.v.size())).u8(sUInt(name.size()));
    for (char16_t c : name) b.u16(c);
    return b.add(content);
  }
};

inline std::string narrow_text(const char16_t* text) {
  std::string s;
  for (const char16_t* p = text; p != nullptr && *p != 0; ++p) s += char(*p);
  return s;
}

// A compact picture of a node chain: parents in braces, literals bare,
// strings quoted, numbers by a type letter and their value.
inline std::string describe(const sShapeItemNode* node) {
  std::string out;
  for (; node != nullptr; node = node->next) {
    if (!out.empty()) out += ' ';
    char buf[64];
    switch (node->type) {
      case SHN_PARENT:
        out += '{';
        out += describe(node->child);
        out += '}';
        continue;
      case SHN_LITERAL: out += narrow_text(node->text); continue;
      case SHN_STRING:
        out += '\'';
        out += narrow_text(node->text);
        out += '\'';
        continue;
      case SHN_SINT: std::snprintf(buf, sizeof buf, "i%d", sInt(node->value)); break;
      case SHN_UINT: std::snprintf(buf, sizeof buf, "u%u", node->value); break;
      case SHN_DWORD: std::snprintf(buf, sizeof buf, "x%x", node->value); break;
      case SHN_BYTE: std::snprintf(buf, sizeof buf, "b%x", node->value); break;
      case SHN_FLOAT: {
        float f;
        std::memcpy(&f, &node->value, 4);
        std::snprintf(buf, sizeof buf, "f%g", double(f));
        break;
      }
      case SHN_TOKEN: std::snprintf(buf, sizeof buf, "t%x", node->value); break;
      default: std::snprintf(buf, sizeof buf, "?%u", node->type); break;
    }
    out += buf;
  }
  return out;
}

}  // namespace vxtest
