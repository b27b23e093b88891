#include "shape/shape_tree.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/memory.h"
#include "common/report.h"
#include "common/strings.h"
#include "shape/value_text.h"
#include "tables/stoken.h"

namespace {

// Every node block holds the record and, right behind it, room for its own
// text (at least the terminator). A text held there is freed with the block;
// any other text is a separate string. No foreign string can start inside a
// node's own block, so the address tells the two apart.
char16_t* own_text(sShapeItemNode* node) { return reinterpret_cast<char16_t*>(node + 1); }

sShapeItemNode* allocate_node(sUInt text_units) {
  const std::uint64_t size = sizeof(sShapeItemNode) + (std::uint64_t{text_units} + 1) * sizeof(char16_t);
  if (size > 0xFFFFFFFFu) return nullptr;
  auto* node = static_cast<sShapeItemNode*>(vexlor_mem_alloc_fixed(static_cast<sUInt>(size)));
  if (node == nullptr) return nullptr;
  std::memset(node, 0, sizeof(sShapeItemNode));
  own_text(node)[0] = 0;
  return node;
}

void link_at(sShapeItemNode** cursor, sShapeItemNode* node) {
  sShapeItemNode* at = *cursor;
  if (at->type == SHN_PARENT && at->child == nullptr) {
    at->child = node;
  } else {
    at->next = node;
  }
  *cursor = node;
}

constexpr const char16_t* kNodeTypeNames[] = {u"SHN_LITERAL", u"SHN_STRING", u"SHN_SINT",
                                              u"SHN_UINT",    u"SHN_DWORD",  u"SHN_BYTE",
                                              u"SHN_FLOAT",   u"SHN_TOKEN",  u"SHN_PARENT"};

const char16_t* node_type_name(sUInt type) {
  return type < sizeof kNodeTypeNames / sizeof kNodeTypeNames[0] ? kNodeTypeNames[type] : u"???";
}

void free_node(sShapeItemNode* node) {
  debug_trace(0, u"** Freeing shape item node: %s: %s\n", node_type_name(node->type),
              node->text != nullptr ? node->text : u"");
  if (node->text != own_text(node)) free_string(node->text);
  std::free(node);
}

}  // namespace

sShapeItemNode* shape_node_create(sShapeItemNode** cursor) {
  if (cursor != nullptr && *cursor == nullptr) return nullptr;
  sShapeItemNode* node = allocate_node(0);
  if (node != nullptr && cursor != nullptr) link_at(cursor, node);
  return node;
}

sShapeItemNode* shape_node_create_text(sShapeItemNode** cursor, const char16_t* text, sUInt length) {
  if (cursor != nullptr && *cursor == nullptr) return nullptr;
  sShapeItemNode* node = allocate_node(length);
  if (node == nullptr) return nullptr;
  char16_t* copy = own_text(node);
  if (length != 0) std::memcpy(copy, text, length * sizeof(char16_t));
  copy[length] = 0;
  node->text = copy;
  if (cursor != nullptr) link_at(cursor, node);
  return node;
}

void shape_tree_free(sShapeItemNode* node) {
  // Trees may be thousands of levels deep: free without recursion by
  // rotating each first child in front of its parent, so that every node
  // is freed once it has no child left.
  while (node != nullptr) {
    sShapeItemNode* child = node->child;
    if (child != nullptr) {
      node->child = child->next;
      child->next = node;
      node = child;
    } else {
      sShapeItemNode* next = node->next;
      free_node(node);
      node = next;
    }
  }
}

void shape_tree_prune(sShapeItemNode* node, int whole) {
  if (node == nullptr) return;
  if (whole) {
    shape_tree_free(node);
    return;
  }
  shape_tree_free(node->next);
  node->next = nullptr;
}

void shape_tree_undo(sShapeItemNode** cursor, const sShapeMark& mark) {
  if (mark.node == nullptr) return;
  if (mark.childless_parent) {
    shape_tree_free(mark.node->child);
    mark.node->child = nullptr;
  }
  shape_tree_prune(mark.node, 0);
  if (cursor != nullptr) *cursor = mark.node;
}

char16_t* shape_node_format_value(const sShapeItemNode* node) {
  if (node == nullptr) return nullptr;
  char16_t text[kValueTextUnits];
  sUInt length;
  switch (node->type) {
    case SHN_SINT: length = format_sint_text(static_cast<sInt>(node->value), text); break;
    case SHN_UINT: length = format_uint_text(node->value, text); break;
    case SHN_DWORD: length = format_dword_text(node->value, text); break;
    case SHN_BYTE: length = format_byte_text(node->value, text); break;
    case SHN_FLOAT: {
      float f;
      std::memcpy(&f, &node->value, sizeof f);
      length = format_float_text(f, text);
      break;
    }
    default: return nullptr;
  }
  return alloc_string(text, length);
}

namespace {

// Parses the node's text into its value; a text without a convertible
// prefix leaves the value as it was.
void scan_value(sShapeItemNode* node) {
  switch (node->type) {
    case SHN_SINT: {
      sInt v;
      if (scan_sint_text(node->text, &v) == kScanConverted) node->value = static_cast<sUInt>(v);
      break;
    }
    case SHN_UINT: scan_uint_text(node->text, &node->value); break;
    case SHN_DWORD:
    case SHN_BYTE: scan_hex_text(node->text, &node->value); break;
    case SHN_FLOAT: {
      float f;
      if (scan_float_text(node->text, &f) == kScanConverted) std::memcpy(&node->value, &f, sizeof f);
      break;
    }
    default: break;
  }
}

bool normalise_node(sShapeItemNode* node) {
  if (node->type < SHN_SINT || node->type > SHN_TOKEN) return true;
  if (node->type == SHN_TOKEN) {
    // A token value must name a token definition: without one neither form
    // of the file can hold it.
    if (node->text != nullptr) {
      const sShapeTokenDef* def = tokutil_find_stoken_by_name(node->text);
      if (def == nullptr) {
        report_at(kModuleShpFile, 1790, u"Token value %s names no token definition [ShpFile %d]\n", node->text, 1790);
        return false;
      }
      node->value = def->id;
    } else {
      const sShapeTokenDef* def = tokutil_find_stoken_by_id(node->value);
      if (def == nullptr) {
        report_at(kModuleShpFile, 1796, u"Token value %08x is no token id [ShpFile %d]\n", node->value, 1796);
        return false;
      }
      node->text = alloc_string(def->name, 0);
    }
    return node->text != nullptr;
  }
  if (node->text != nullptr) {
    scan_value(node);
    return true;
  }
  node->text = shape_node_format_value(node);
  return node->text != nullptr;
}

// A stack of the siblings still to visit, for walks without recursion.
class NodeStack {
 public:
  ~NodeStack() { std::free(items_); }
  bool push(sShapeItemNode* node) {
    if (count_ == capacity_) {
      sUInt capacity = capacity_ == 0 ? 64 : capacity_ * 2;
      auto* items = static_cast<sShapeItemNode**>(std::realloc(items_, capacity * sizeof(sShapeItemNode*)));
      if (items == nullptr) return false;
      items_ = items;
      capacity_ = capacity;
    }
    items_[count_++] = node;
    return true;
  }
  sShapeItemNode* pop() { return count_ == 0 ? nullptr : items_[--count_]; }

 private:
  sShapeItemNode** items_ = nullptr;
  sUInt count_ = 0;
  sUInt capacity_ = 0;
};

}  // namespace

int shape_tree_normalise(sShapeItemNode* node) {
  NodeStack pending;
  while (node != nullptr) {
    if (!normalise_node(node)) return 0;
    if (node->child != nullptr) {
      if (node->next != nullptr && !pending.push(node->next)) return 0;
      node = node->child;
    } else {
      node = node->next != nullptr ? node->next : pending.pop();
    }
  }
  return 1;
}

void free_shape_file(sShapeFile* file) {
  if (file == nullptr) return;
  shape_tree_free(file->first);
  std::free(file);
}
