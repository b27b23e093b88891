// The public API over the engine: definitions, conversions and the loaded
// tree behind value types that never expose the engine's records.
#include <cstdarg>
#include <cstring>
#include <new>

#include "bnf/bnf_registry.h"
#include "common/format.h"
#include "common/report.h"
#include "common/strings.h"
#include "common/utf8.h"
#include "container/fioshare.h"
#include "engine/definitions.h"
#include "engine/messages.h"
#include "engine/token_io.h"
#include "platform/platform.h"
#include "shape/binary_dump.h"
#include "shape/conversion.h"
#include "shape/shape_tree.h"
#include "shape/value_text.h"
#include "vexlor/vexlor.h"

namespace vexlor {

struct Definitions::Impl {
  sDefinitions defs;
};

struct Document::Impl {
  std::shared_ptr<const Definitions> definitions;  // the grammar the tree refers to
  sLoadedSource loaded;
};

namespace {

constexpr sUInt kMessageUnits = 2048;

std::string format_message(const char16_t* format, ...) {
  char16_t text[kMessageUnits];
  va_list args;
  va_start(args, format);
  vformat_text_n(text, kMessageUnits, format, args);
  va_end(args);
  return u16_to_utf8(text);
}

void set_error(Error* error, ErrorCode code, std::string file, std::string message, std::uint32_t position = 0) {
  if (error == nullptr) return;
  error->code = code;
  error->file = std::move(file);
  error->second_file.clear();
  error->position = position;
  error->message = std::move(message);
  error->diagnosis = Diagnosis{};
  error->read_diagnosis = ReadDiagnosis{};
}

ReadDiagnosis read_diagnosis_of(const sReadDiagnosis& d) {
  ReadDiagnosis out;
  out.reason = static_cast<ReadDiagnosis::Reason>(static_cast<int>(d.failure));
  out.binary = d.binary;
  out.line = d.line;
  out.column = d.column;
  out.source_line = u16_to_utf8(d.source_line);
  out.caret = d.caret;
  out.offset = d.offset;
  for (const std::u16string& block : d.blocks) out.blocks.push_back(u16_to_utf8(block));
  for (const std::u16string& item : d.expected) out.expected.push_back(u16_to_utf8(item));
  out.found = u16_to_utf8(d.found);
  return out;
}

void clear_error(Error* error) {
  if (error != nullptr) *error = Error{};
}

// A reporter whose debug lines go to `sink`, when there is one.
sReporter reporter_for(const DebugSink& sink) {
  sReporter rep;
  if (sink) {
    rep.sink.user = const_cast<DebugSink*>(&sink);
    rep.sink.debug_line = [](void* user, const char* line) { (*static_cast<DebugSink*>(user))(line); };
  }
  return rep;
}

Diagnosis to_diagnosis(const sFileDiagnosis& d) {
  Diagnosis out;
  if (!d.given()) return out;
  out.file = u16_to_utf8(d.file);
  out.line = d.line;
  out.column = d.column;
  out.what = u16_to_utf8(d.what);
  return out;
}

struct NoticeCollector {
  std::vector<Notice>* notices;
};

void collect_notice(void* user, const sGrammarNotice& notice) {
  auto* collector = static_cast<NoticeCollector*>(user);
  if (collector->notices == nullptr) return;
  Notice n;
  if (notice.kind == sGrammarNotice::kLoadFailed) {
    n.file = u16_to_utf8(notice.path);
    n.line = notice.line;
    n.message = format_message(kMsgGrammarFailed, notice.path.c_str(), u"", notice.line);
    n.diagnosis = to_diagnosis(notice.diagnosis);
  } else {
    n.file = u16_to_utf8(notice.name);
    n.message = format_message(kMsgGrammarDuplicate, notice.name.c_str(), notice.file_type, notice.file_type,
                               notice.file_type_ver, notice.file_type_ver, notice.known_name.c_str());
  }
  collector->notices->push_back(std::move(n));
}

// A directory as the search takes it: empty for the working directory,
// else ending in a separator.
std::u16string search_dir(const std::string& dir) {
  if (dir.empty() || dir == ".") return {};
  std::u16string wide = utf8_to_u16(dir);
  const char16_t last = wide.back();
  if (last != u'/' && last != u'\\') wide += platform::path_separator();
  return wide;
}

bool load_with(std::vector<std::u16string> dirs, Error* error, std::vector<Notice>* notices, const DebugSink& debug,
               Definitions::Impl& impl) {
  clear_error(error);
  sReporter rep = reporter_for(debug);
  NoticeCollector collector{notices};
  sDefinitionSearch search;
  search.dirs = std::move(dirs);
  search.notice = collect_notice;
  search.notice_user = &collector;
  sDefinitionsFailure failure;
  if (!load_definitions(rep, search, impl.defs, failure)) {
    const std::string file = u16_to_utf8(failure.file);
    switch (failure.stage) {
      case sDefinitionsFailure::kConfig:
        set_error(error, ErrorCode::kConfiguration, file, format_message(kMsgConfigFailed, failure.file.c_str(), u""));
        break;
      case sDefinitionsFailure::kSidn:
        set_error(error, ErrorCode::kSidn, file, format_message(kMsgSidnFailed, failure.file.c_str(), u""));
        break;
      case sDefinitionsFailure::kTokenDefinitions:
        set_error(error, ErrorCode::kTokenDefinitions, file,
                  format_message(kMsgTokenDefsFailed, failure.file.c_str(), failure.second_file.c_str(), u""));
        if (error != nullptr) error->second_file = u16_to_utf8(failure.second_file);
        break;
      case sDefinitionsFailure::kNoGrammars:
        set_error(error, ErrorCode::kNoGrammars, "", format_message(kMsgNoGrammars));
        break;
      default:
        set_error(error, ErrorCode::kOutOfMemory, "", "Out of memory");
        break;
    }
    if (error != nullptr) error->diagnosis = to_diagnosis(failure.diagnosis);
    return false;
  }
  return true;
}

const sShapeItemNode* as_node(const void* p) { return static_cast<const sShapeItemNode*>(p); }

bool is_syntax_bracket(const sShapeItemNode* node, char16_t bracket) {
  return node != nullptr && node->type == SHN_LITERAL && node->bnf_entry == nullptr && node->text != nullptr &&
         node->text[0] == bracket && node->text[1] == 0;
}

bool is_block(const sShapeItemNode* node) {
  return node->type == SHN_PARENT && node->bnf_entry != nullptr && node->bnf_entry->def != nullptr &&
         node->bnf_entry->def->type == BNFT_TOKENDEF;
}

// The content of a block: behind its token name, its block name (if any)
// and its opening bracket, up to its closing bracket, the last child.
void block_content(const sShapeItemNode* block, const sShapeItemNode** first, const sShapeItemNode** end) {
  const sShapeItemNode* name = block->child;
  *first = nullptr;
  *end = nullptr;
  if (name == nullptr) return;
  const sShapeItemNode* second = name->next;
  const bool named = second != nullptr && !(is_syntax_bracket(second, u'(') && !is_syntax_bracket(second->next, u'('));
  const sShapeItemNode* open = named ? second->next : second;
  if (open == nullptr) return;
  const sShapeItemNode* last = open;
  while (last->next != nullptr) last = last->next;
  *end = is_syntax_bracket(last, u')') ? last : nullptr;
  *first = open->next != *end ? open->next : nullptr;
}

std::string text_of(const char16_t* text) { return text != nullptr ? u16_to_utf8(text) : std::string(); }

sUInt comp_mark_of(Compression compression) {
  switch (compression) {
    case Compression::kZlib: return FIO_COMP_ZLIB;
    case Compression::kHuffman: return FIO_COMP_HUFF;
    default: return FIO_COMP_NONE;
  }
}

// The conversion's fault in words (a source that is no token file, a
// block name too long for a binary) as the diagnosis of the file the error
// names.
void take_fault(Error* error, const sConversion& conv) {
  if (error == nullptr || conv.fault.empty()) return;
  error->diagnosis.file = error->file;
  error->diagnosis.what = u16_to_utf8(conv.fault);
}

void set_load_error(Error* error, sLoadStatus status, const sConversion& conv, const char16_t* name) {
  const std::string file = text_of(name);
  const std::string failed = format_message(kMsgFailedToLoad, name);
  switch (status) {
    case sLoadStatus::kNoGrammar:
      set_error(error, ErrorCode::kNoGrammarForType, file, format_message(kMsgNoGrammar) + failed);
      break;
    case sLoadStatus::kReadFailed:
      set_error(error, ErrorCode::kReadFailed, file,
                format_message(kMsgReadError, name, u"", conv.error_position) + failed, conv.error_position);
      if (error != nullptr) error->read_diagnosis = read_diagnosis_of(conv.diagnosis);
      break;
    default: set_error(error, ErrorCode::kCannotOpen, file, failed); break;
  }
  if (error == nullptr || status == sLoadStatus::kReadFailed) return;
  // Why the source did not open (a JSON header: where), or has no grammar.
  take_fault(error, conv);
  if (conv.diagnosis.failure != sReadFailure::kNone) error->read_diagnosis = read_diagnosis_of(conv.diagnosis);
}

}  // namespace

// ---- Definitions

Definitions::Definitions(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Definitions::~Definitions() = default;

std::shared_ptr<const Definitions> Definitions::load(const std::vector<std::string>& directories, Error* error,
                                                     std::vector<Notice>* notices, const DebugSink& debug) {
  std::vector<std::u16string> dirs;
  for (const std::string& dir : directories) dirs.push_back(search_dir(dir));
  if (dirs.empty()) dirs.emplace_back();
  auto impl = std::make_unique<Impl>();
  if (!load_with(std::move(dirs), error, notices, debug, *impl)) return nullptr;
  return std::shared_ptr<const Definitions>(new Definitions(std::move(impl)));
}

std::shared_ptr<const Definitions> Definitions::load_like_program(const std::string& program_dir, Error* error,
                                                                  std::vector<Notice>* notices,
                                                                  const DebugSink& debug) {
  auto impl = std::make_unique<Impl>();
  if (!load_with(program_search_dirs(program_dir.empty() ? std::u16string() : search_dir(program_dir)), error,
                 notices, debug, *impl)) {
    return nullptr;
  }
  return std::shared_ptr<const Definitions>(new Definitions(std::move(impl)));
}

std::vector<std::string> Definitions::files() const {
  std::vector<std::string> files;
  for (const std::u16string& file : impl_->defs.files) files.push_back(u16_to_utf8(file));
  return files;
}

std::optional<std::uint32_t> Definitions::token_id(std::string_view name) const {
  const std::u16string wide = utf8_to_u16(name);
  const sShapeTokenDef* def = tokutil_find_stoken_by_name(impl_->defs.tokens, wide.c_str());
  if (def == nullptr) return std::nullopt;
  return def->id;
}

std::optional<std::string> Definitions::token_name(std::uint32_t id) const {
  const sShapeTokenDef* def = tokutil_find_stoken_by_id(impl_->defs.tokens, id);
  if (def == nullptr) return std::nullopt;
  return text_of(def->name);
}

std::vector<std::pair<std::uint8_t, std::uint8_t>> Definitions::grammars() const {
  std::vector<std::pair<std::uint8_t, std::uint8_t>> found;
  const sListNode* list = impl_->defs.grammars;
  for (sListNode* node = list->next; node != list; node = node->next) {
    const auto* table = static_cast<const sBNFTable*>(node->data);
    found.emplace_back(table->file_type, table->file_type_ver);
  }
  return found;
}

// ---- Node

namespace {

// The node type of the value a Node designates (one of a run's values, or
// the node itself).
sUInt value_type(const sShapeItemNode* node, std::uint32_t index) {
  return node->type == SHN_RUN ? shape_run_type(node, index) : node->type;
}

bool is_number_type(sUInt type) { return type >= SHN_SINT && type <= SHN_FLOAT; }

}  // namespace

NodeKind Node::kind() const {
  const sShapeItemNode* node = as_node(node_);
  if (node->type == SHN_PARENT) return is_block(node) ? NodeKind::kBlock : NodeKind::kArray;
  return static_cast<NodeKind>(static_cast<int>(NodeKind::kLiteral) + static_cast<int>(value_type(node, index_)));
}

std::string Node::token_name() const {
  const sShapeItemNode* node = as_node(node_);
  if (node == nullptr || !is_block(node)) return {};
  return text_of(node->bnf_entry->def->text);
}

std::uint32_t Node::token_id() const {
  const sShapeItemNode* node = as_node(node_);
  if (node == nullptr || !is_block(node)) return 0;
  // A block's id is its token definition's.
  const auto* document = static_cast<const Document::Impl*>(document_);
  const sShapeTokenDef* def =
      tokutil_find_stoken_by_name(document->definitions->impl().defs.tokens, node->bnf_entry->def->text);
  return def != nullptr ? def->id : 0;
}

std::string Node::block_name() const {
  const sShapeItemNode* node = as_node(node_);
  if (node == nullptr || !is_block(node) || node->child == nullptr) return {};
  const sShapeItemNode* second = node->child->next;
  const bool named = second != nullptr && !(is_syntax_bracket(second, u'(') && !is_syntax_bracket(second->next, u'('));
  return named ? text_of(second->text) : std::string();
}

std::string Node::text() const {
  const sShapeItemNode* node = as_node(node_);
  if (node == nullptr || node->type == SHN_PARENT) return {};
  const sUInt type = value_type(node, index_);
  if (is_number_type(type)) {
    char16_t text[kValueTextUnits];
    text[shape_format_number(type, bits(), text)] = 0;
    return text_of(text);
  }
  return text_of(node->text);
}

std::uint32_t Node::bits() const {
  const sShapeItemNode* node = as_node(node_);
  if (node == nullptr || node->type == SHN_PARENT) return 0;
  return node->type == SHN_RUN ? shape_run_value(node, index_) : node->value;
}

float Node::as_float() const {
  const std::uint32_t value = bits();
  float f;
  std::memcpy(&f, &value, sizeof f);
  return f;
}

Node Node::first_child() const {
  const sShapeItemNode* node = as_node(node_);
  if (node == nullptr || node->type != SHN_PARENT) return {};
  if (!is_block(node)) return node->child != nullptr ? Node(node->child, nullptr, document_) : Node();
  const sShapeItemNode* first = nullptr;
  const sShapeItemNode* end = nullptr;
  block_content(node, &first, &end);
  return first != nullptr ? Node(first, end, document_) : Node();
}

Node Node::next_sibling() const {
  const sShapeItemNode* node = as_node(node_);
  if (node == nullptr) return {};
  if (node->type == SHN_RUN && index_ + 1 < shape_run_count(node)) return Node(node_, end_, document_, index_ + 1);
  if (node->next == nullptr || node->next == end_) return {};
  return Node(node->next, end_, document_);
}

std::vector<Node> Node::children() const {
  std::vector<Node> nodes;
  for (Node child = first_child(); child; child = child.next_sibling()) nodes.push_back(child);
  return nodes;
}

// ---- Document

Document::Document(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

Form Document::source_form() const {
  if (impl_->loaded.json_source) return Form::kJson;
  return impl_->loaded.binary_source ? Form::kBinary : Form::kText;
}

Compression Document::source_compression() const {
  switch (impl_->loaded.comp_mark) {
    case FIO_COMP_ZLIB: return Compression::kZlib;
    case FIO_COMP_HUFF: return Compression::kHuffman;
    default: return Compression::kNone;
  }
}

std::uint8_t Document::file_type() const { return impl_->loaded.file->header[kBodyTypeByte]; }
std::uint8_t Document::file_version() const { return impl_->loaded.file->header[kBodyVersionByte]; }

std::array<std::uint8_t, 16> Document::body_header() const {
  std::array<std::uint8_t, 16> header{};
  std::memcpy(header.data(), impl_->loaded.file->header, header.size());
  return header;
}

std::vector<Node> Document::top() const {
  std::vector<Node> nodes;
  for (const sShapeItemNode* node = impl_->loaded.file->first; node != nullptr; node = node->next) {
    nodes.push_back(Node(node, nullptr, impl_.get()));
  }
  return nodes;
}

// ---- Converter

Converter::Converter(std::shared_ptr<const Definitions> definitions, DebugSink debug)
    : definitions_(std::move(definitions)), debug_(std::move(debug)) {}
Converter::~Converter() = default;

std::optional<Document> Converter::read_file(const std::string& path, Error* error) const {
  clear_error(error);
  if (definitions_ == nullptr || path.empty()) {
    set_error(error, ErrorCode::kInvalidArgument, path, "No definitions or no file name");
    return std::nullopt;
  }
  const std::u16string name = utf8_to_u16(path);
  sConversion conv(definitions_->impl().defs.tokens);
  conv.rep = reporter_for(debug_);
  auto impl = std::make_unique<Document::Impl>();
  const sLoadStatus status = load_source_file(conv, definitions_->impl().defs, name.c_str(), impl->loaded);
  if (status != sLoadStatus::kLoaded) {
    set_load_error(error, status, conv, name.c_str());
    return std::nullopt;
  }
  impl->definitions = definitions_;
  return Document(std::move(impl));
}

std::optional<Document> Converter::read_memory(std::span<const std::uint8_t> bytes, const std::string& name,
                                               Error* error) const {
  clear_error(error);
  if (definitions_ == nullptr || bytes.size() > 0xFFFFFFFFu) {
    set_error(error, ErrorCode::kInvalidArgument, name, "No definitions, or more bytes than a token file can hold");
    return std::nullopt;
  }
  const std::u16string wide = utf8_to_u16(name);
  sConversion conv(definitions_->impl().defs.tokens);
  conv.rep = reporter_for(debug_);
  auto impl = std::make_unique<Document::Impl>();
  const sLoadStatus status = load_source_memory(conv, definitions_->impl().defs, bytes.data(),
                                                static_cast<sUInt>(bytes.size()), impl->loaded);
  if (status != sLoadStatus::kLoaded) {
    set_load_error(error, status, conv, wide.c_str());
    return std::nullopt;
  }
  impl->definitions = definitions_;
  return Document(std::move(impl));
}

bool Converter::check_file(const std::string& path, Error* error) const { return read_file(path, error).has_value(); }

bool Converter::check_memory(std::span<const std::uint8_t> bytes, const std::string& name, Error* error) const {
  return read_memory(bytes, name, error).has_value();
}

namespace {

sTokenForm token_form_of(Form form) {
  switch (form) {
    case Form::kBinary: return sTokenForm::kBinary;
    case Form::kJson: return sTokenForm::kJson;
    case Form::kText: break;
  }
  return sTokenForm::kText;
}

// JSON has no container, so nothing to compress.
bool form_takes(Form form, Compression compression, const std::string& path, Error* error) {
  if (form != Form::kJson || compression == Compression::kNone) return true;
  set_error(error, ErrorCode::kInvalidArgument, path, "A JSON document is never compressed");
  return false;
}

}  // namespace

bool Converter::write_file(const Document& document, const std::string& path, Form form, Compression compression,
                           Error* error) const {
  clear_error(error);
  if (path.empty()) {
    set_error(error, ErrorCode::kInvalidArgument, path, "No file name");
    return false;
  }
  if (!form_takes(form, compression, path, error)) return false;
  const std::u16string name = utf8_to_u16(path);
  sConversion conv(document.impl().definitions->impl().defs.tokens);
  conv.rep = reporter_for(debug_);
  if (save_to_file(conv, document.impl().loaded, name.c_str(), token_form_of(form), comp_mark_of(compression))) {
    return true;
  }
  if (conv.last_error_code == kErrorCannotWrite) {
    set_error(error, ErrorCode::kCannotWrite, path, format_message(kMsgCannotWrite, name.c_str()));
  } else {
    set_error(error, ErrorCode::kWriteFailed, path, format_message(kMsgWriteError, name.c_str(), u""));
    take_fault(error, conv);
  }
  return false;
}

std::optional<std::vector<std::uint8_t>> Converter::write_memory(const Document& document, Form form,
                                                                 Compression compression, Error* error) const {
  clear_error(error);
  if (!form_takes(form, compression, "-", error)) return std::nullopt;
  sConversion conv(document.impl().definitions->impl().defs.tokens);
  conv.rep = reporter_for(debug_);
  std::vector<std::uint8_t> out;
  if (save_to_memory(conv, document.impl().loaded, token_form_of(form), comp_mark_of(compression), out)) return out;
  set_error(error, ErrorCode::kWriteFailed, "-", format_message(kMsgWriteError, u"-", u""));
  take_fault(error, conv);
  return std::nullopt;
}

namespace {

void to_dump_sink(void* user, std::string_view line) { (*static_cast<const DumpSink*>(user))(line); }

}  // namespace

bool dump_file(const std::string& path, const DumpSink& line, const Definitions* definitions, Error* error) {
  clear_error(error);
  if (path.empty() || !line) {
    set_error(error, ErrorCode::kInvalidArgument, path, "No file name or no sink");
    return false;
  }
  const std::u16string name = utf8_to_u16(path);
  sReporter rep;
  sFioShareFile* stream = fioshare_file_open(rep, name.c_str(), FIO_READ, FIO_COMP_NONE, 0);
  if (stream == nullptr) {
    set_error(error, ErrorCode::kCannotOpen, path, format_message(kMsgFailedToLoad, name.c_str()));
    return false;
  }
  const sDumpSink sink{to_dump_sink, const_cast<DumpSink*>(&line)};
  const bool ok = dump_token_stream(*stream, definitions != nullptr ? &definitions->impl().defs.tokens : nullptr, sink);
  fioshare_file_close(stream);
  return ok;
}

bool dump_memory(std::span<const std::uint8_t> bytes, const DumpSink& line, const Definitions* definitions) {
  if (!line || bytes.size() > 0xFFFFFFFFu) return false;
  const sDumpSink sink{to_dump_sink, const_cast<DumpSink*>(&line)};
  return dump_token_bytes(bytes.data(), static_cast<sUInt>(bytes.size()),
                          definitions != nullptr ? &definitions->impl().defs.tokens : nullptr, sink);
}

}  // namespace vexlor
