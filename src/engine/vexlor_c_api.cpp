// The C interface over the C++ one: handles own C++ objects, and every
// entry catches whatever the C++ side throws.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "vexlor/vexlor.h"
#include "vexlor/vexlor_c.h"

struct vexlor_definitions {
  std::shared_ptr<const vexlor::Definitions> definitions;
};

struct vexlor_document {
  std::shared_ptr<const vexlor::Definitions> definitions;
  vexlor::Document document;
};

struct vexlor_error {
  vexlor::Error error;
};

namespace vexlor {

struct NodeHandle {
  static Node to_node(vexlor_node handle) {
    return Node(handle.opaque[0], handle.opaque[1], handle.opaque[2], handle.index);
  }
  static vexlor_node to_handle(const Node& node) {
    return vexlor_node{{node.node_, node.end_, node.document_}, node.index_};
  }
};

}  // namespace vexlor

namespace {

using vexlor::NodeHandle;

// Hands the error over (or null when there is none).
void give_error(vexlor_error** out, const vexlor::Error& error) {
  if (out == nullptr) return;
  *out = nullptr;
  if (!error) return;
  *out = new (std::nothrow) vexlor_error{error};
}

void give_code(vexlor_error** out, vexlor::ErrorCode code, const char* message) {
  vexlor::Error error;
  error.code = code;
  try {
    error.message = message;
  } catch (...) {
  }
  give_error(out, error);
}

// Runs `body`, turning an exception into an error value; `failed` is what
// the entry returns then.
template <typename Result, typename Body>
Result guarded(vexlor_error** error, Result failed, Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    give_code(error, vexlor::ErrorCode::kOutOfMemory, "Out of memory");
  } catch (...) {
    give_code(error, vexlor::ErrorCode::kOutOfMemory, "Internal error");
  }
  return failed;
}

size_t copy_text(const std::string& text, char* buffer, size_t capacity) {
  if (buffer != nullptr && capacity != 0) {
    const size_t n = text.size() < capacity ? text.size() : capacity - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
  }
  return text.size();
}

template <typename Text>
size_t node_text(vexlor_node node, char* buffer, size_t capacity, Text text) {
  try {
    const vexlor::Node n = NodeHandle::to_node(node);
    return copy_text(n ? text(n) : std::string(), buffer, capacity);
  } catch (...) {
    return copy_text(std::string(), buffer, capacity);
  }
}

vexlor::Form form_of(int form) {
  switch (form) {
    case VEXLOR_FORM_BINARY: return vexlor::Form::kBinary;
    case VEXLOR_FORM_JSON: return vexlor::Form::kJson;
    default: return vexlor::Form::kText;
  }
}

vexlor::Compression compression_of(int compression) {
  switch (compression) {
    case VEXLOR_COMPRESSION_ZLIB: return vexlor::Compression::kZlib;
    case VEXLOR_COMPRESSION_HUFFMAN: return vexlor::Compression::kHuffman;
    default: return vexlor::Compression::kNone;
  }
}

vexlor_definitions* wrap(std::shared_ptr<const vexlor::Definitions> definitions, const vexlor::Error& error,
                         vexlor_error** out) {
  give_error(out, error);
  if (definitions == nullptr) return nullptr;
  return new vexlor_definitions{std::move(definitions)};
}

}  // namespace

extern "C" {

vexlor_definitions* vexlor_definitions_load(const char* const* directories, size_t count, vexlor_error** error) {
  return guarded(error, static_cast<vexlor_definitions*>(nullptr), [&]() -> vexlor_definitions* {
    std::vector<std::string> dirs;
    for (size_t i = 0; i < count; ++i) dirs.emplace_back(directories[i] != nullptr ? directories[i] : "");
    vexlor::Error e;
    return wrap(vexlor::Definitions::load(dirs, &e), e, error);
  });
}

vexlor_definitions* vexlor_definitions_load_like_program(const char* program_dir, vexlor_error** error) {
  return guarded(error, static_cast<vexlor_definitions*>(nullptr), [&]() -> vexlor_definitions* {
    vexlor::Error e;
    return wrap(vexlor::Definitions::load_like_program(program_dir != nullptr ? program_dir : "", &e), e, error);
  });
}

void vexlor_definitions_free(vexlor_definitions* definitions) { delete definitions; }

vexlor_document* vexlor_read_file(const vexlor_definitions* definitions, const char* path, vexlor_error** error) {
  if (definitions == nullptr || path == nullptr) {
    give_code(error, vexlor::ErrorCode::kInvalidArgument, "No definitions or no file name");
    return nullptr;
  }
  return guarded(error, static_cast<vexlor_document*>(nullptr), [&]() -> vexlor_document* {
    vexlor::Error e;
    std::optional<vexlor::Document> document = vexlor::Converter(definitions->definitions).read_file(path, &e);
    give_error(error, e);
    if (!document) return nullptr;
    return new vexlor_document{definitions->definitions, std::move(*document)};
  });
}

vexlor_document* vexlor_read_memory(const vexlor_definitions* definitions, const void* bytes, size_t size,
                                    const char* name, vexlor_error** error) {
  if (definitions == nullptr || (bytes == nullptr && size != 0)) {
    give_code(error, vexlor::ErrorCode::kInvalidArgument, "No definitions or no bytes");
    return nullptr;
  }
  return guarded(error, static_cast<vexlor_document*>(nullptr), [&]() -> vexlor_document* {
    vexlor::Error e;
    std::span<const std::uint8_t> span(static_cast<const std::uint8_t*>(bytes), size);
    std::optional<vexlor::Document> document =
        vexlor::Converter(definitions->definitions).read_memory(span, name != nullptr ? name : "-", &e);
    give_error(error, e);
    if (!document) return nullptr;
    return new vexlor_document{definitions->definitions, std::move(*document)};
  });
}

void vexlor_document_free(vexlor_document* document) { delete document; }

int vexlor_write_file(const vexlor_document* document, const char* path, int form, int compression,
                      vexlor_error** error) {
  if (document == nullptr || path == nullptr) {
    give_code(error, vexlor::ErrorCode::kInvalidArgument, "No document or no file name");
    return 0;
  }
  return guarded(error, 0, [&]() {
    vexlor::Error e;
    const bool ok = vexlor::Converter(document->definitions)
                        .write_file(document->document, path, form_of(form), compression_of(compression), &e);
    give_error(error, e);
    return ok ? 1 : 0;
  });
}

int vexlor_write_memory(const vexlor_document* document, int form, int compression, void** bytes, size_t* size,
                        vexlor_error** error) {
  if (document == nullptr || bytes == nullptr || size == nullptr) {
    give_code(error, vexlor::ErrorCode::kInvalidArgument, "No document or nowhere to put the bytes");
    return 0;
  }
  *bytes = nullptr;
  *size = 0;
  return guarded(error, 0, [&]() {
    vexlor::Error e;
    std::optional<std::vector<std::uint8_t>> out =
        vexlor::Converter(document->definitions)
            .write_memory(document->document, form_of(form), compression_of(compression), &e);
    give_error(error, e);
    if (!out) return 0;
    void* block = std::malloc(out->empty() ? 1 : out->size());
    if (block == nullptr) {
      give_code(error, vexlor::ErrorCode::kOutOfMemory, "Out of memory");
      return 0;
    }
    if (!out->empty()) std::memcpy(block, out->data(), out->size());
    *bytes = block;
    *size = out->size();
    return 1;
  });
}

void vexlor_bytes_free(void* bytes) { std::free(bytes); }

int vexlor_document_file_type(const vexlor_document* document) {
  return document != nullptr ? document->document.file_type() : 0;
}

int vexlor_document_file_version(const vexlor_document* document) {
  return document != nullptr ? document->document.file_version() : 0;
}

vexlor_node vexlor_document_first(const vexlor_document* document) {
  if (document == nullptr) return vexlor_node{};
  try {
    const std::vector<vexlor::Node> top = document->document.top();
    return top.empty() ? vexlor_node{} : NodeHandle::to_handle(top.front());
  } catch (...) {
    return vexlor_node{};
  }
}

int vexlor_node_valid(vexlor_node node) { return node.opaque[0] != nullptr ? 1 : 0; }

vexlor_node vexlor_node_next(vexlor_node node) {
  const vexlor::Node n = NodeHandle::to_node(node);
  return n ? NodeHandle::to_handle(n.next_sibling()) : vexlor_node{};
}

vexlor_node vexlor_node_first_child(vexlor_node node) {
  const vexlor::Node n = NodeHandle::to_node(node);
  return n ? NodeHandle::to_handle(n.first_child()) : vexlor_node{};
}

int vexlor_node_kind(vexlor_node node) {
  const vexlor::Node n = NodeHandle::to_node(node);
  return n ? static_cast<int>(n.kind()) : -1;
}

uint32_t vexlor_node_token_id(vexlor_node node) {
  const vexlor::Node n = NodeHandle::to_node(node);
  return n ? n.token_id() : 0;
}

uint32_t vexlor_node_bits(vexlor_node node) {
  const vexlor::Node n = NodeHandle::to_node(node);
  return n ? n.bits() : 0;
}

size_t vexlor_node_token_name(vexlor_node node, char* buffer, size_t capacity) {
  return node_text(node, buffer, capacity, [](const vexlor::Node& n) { return n.token_name(); });
}

size_t vexlor_node_block_name(vexlor_node node, char* buffer, size_t capacity) {
  return node_text(node, buffer, capacity, [](const vexlor::Node& n) { return n.block_name(); });
}

size_t vexlor_node_text(vexlor_node node, char* buffer, size_t capacity) {
  return node_text(node, buffer, capacity, [](const vexlor::Node& n) { return n.text(); });
}

int vexlor_error_code(const vexlor_error* error) {
  return error != nullptr ? static_cast<int>(error->error.code) : VEXLOR_E_NONE;
}

const char* vexlor_error_message(const vexlor_error* error) {
  return error != nullptr ? error->error.message.c_str() : "";
}

const char* vexlor_error_file(const vexlor_error* error) { return error != nullptr ? error->error.file.c_str() : ""; }

uint32_t vexlor_error_position(const vexlor_error* error) { return error != nullptr ? error->error.position : 0; }

void vexlor_error_free(vexlor_error* error) { delete error; }

}  // extern "C"
