// Vexlor: reading, checking and writing token files from a program.
//
// A token file is a container (plain, or with a zlib- or Huffman-coded
// body) whose body is a text (UTF-16) or a binary form of named blocks
// holding values and nested blocks. Its structure comes from definitions
// loaded at start-up: the configuration file "Vexlor.cfg", the SIDN file
// "sidn.txt", the token definition files the configuration names, and the
// grammar files "*.bnf".
//
// Using it:
//   Definitions::load(...)   loads the definitions once;
//   Converter                reads a file (from a path or from memory) into a
//                            Document, checks one, or writes a Document as
//                            text or binary, compressed or not, to a path or
//                            to memory;
//   Document / Node          walk what was read: blocks with their token
//                            name, id and block name, arrays, values with
//                            their kind and text.
//
// Threads: loaded Definitions are immutable and may be shared by any number
// of threads. A Converter keeps nothing between calls but its definitions
// and its debug sink: its calls may run on several threads at once as long
// as the sink copes with that. A Document is read-only and may be walked by
// several threads at once; Nodes are views into their Document and must not
// outlive it.
//
// Errors are values: every call that can fail takes an optional Error* and
// fills it with the same information the vexlor program prints (which
// file, which line or byte offset, and the program's own message text).
// Texts are UTF-8 at this interface. Nothing here prints or ends the
// process.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#if defined(_WIN32) && defined(VEXLOR_SHARED)
#if defined(VEXLOR_BUILDING)
#define VEXLOR_API __declspec(dllexport)
#else
#define VEXLOR_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define VEXLOR_API __attribute__((visibility("default")))
#else
#define VEXLOR_API
#endif

namespace vexlor {

enum class ErrorCode {
  kNone = 0,
  kInvalidArgument,   // a null or empty argument, a name the file system cannot take, a compressed JSON
  kConfiguration,     // the configuration file could not be loaded
  kSidn,              // the SIDN file could not be loaded
  kTokenDefinitions,  // the token definition files could not be loaded
  kNoGrammars,        // no grammar file could be loaded
  kCannotOpen,        // the source is missing or is no token file
  kNoGrammarForType,  // no grammar is loaded for the file's type and version
  kReadFailed,        // the body does not match its grammar
  kCannotWrite,       // the output file could not be created
  kWriteFailed,       // the document could not be written in that form
  kOutOfMemory,
};

// Where in a file a fault lies and what it is: what the vexlor program
// prints on standard error as "FILE:LINE:COLUMN: error: WHAT".
struct Diagnosis {
  std::string file;          // as it was opened
  std::uint32_t line = 0;    // from 1; 0 when the fault concerns the whole file
  std::uint32_t column = 0;  // characters from 1; 0 when no column applies
  std::string what;          // for example "unknown token name 'Mesh'"

  explicit operator bool() const { return !what.empty(); }
};

// kReadFailed: why and where the body stops matching, as the vexlor program
// tells it on standard error. The point is the furthest any attempt of the
// reader reached.
struct ReadDiagnosis {
  enum class Reason {
    kNone,
    kMismatch,         // `expected` was what the grammar would take, `found` stood there
    kUnknownToken,     // `found` is a token value (text) or id (binary) that names no token
    kTooDeep,          // nested deeper than the readers follow
    kTooManyAttempts,  // backtracking gave up; `expected`/`found` at the furthest point
    kOutOfMemory,
    kNoExtension,      // the source's name has no extension; nothing was read
  };
  Reason reason = Reason::kNone;
  bool binary = false;
  // Text: line and column (characters from 1, a TAB as one) and the source
  // line, or the part of a long line around the point, with `caret`
  // characters before the point.
  std::uint32_t line = 0;
  std::uint32_t column = 0;
  std::string source_line;
  std::uint32_t caret = 0;
  // Binary: the offset from the start of the body, and the enclosing blocks,
  // outermost first, each as token name and block name ("Mesh body").
  std::uint32_t offset = 0;
  std::vector<std::string> blocks;
  // At most five items, in grammar order, worded as the program words them
  // ('Smooth', a float, a block name), and what stood there ('shiny', end of
  // file, end of block).
  std::vector<std::string> expected;
  std::string found;

  explicit operator bool() const { return reason != Reason::kNone; }
};

struct Error {
  ErrorCode code = ErrorCode::kNone;
  std::string file;         // the file concerned
  std::string second_file;  // kTokenDefinitions: the application definitions file
  // kReadFailed: the line (text source) or byte offset (binary source)
  // where the reader stopped, as the program's "Line/offset" gives it.
  std::uint32_t position = 0;
  // What the vexlor program prints for this failure.
  std::string message;
  // kConfiguration, kSidn, kTokenDefinitions: which definition file, where
  // and what is wrong there (a grammar's is in its Notice). kCannotOpen,
  // kNoGrammarForType: why the source is no token file this program reads
  // ("unknown compression mark ..."), for the whole file. kWriteFailed: why
  // the tree cannot be written in the form asked for, when that is the
  // reason.
  Diagnosis diagnosis;
  // kReadFailed: where the body stops matching and what would have.
  // kCannotOpen for a JSON document: where its header stops reading.
  ReadDiagnosis read_diagnosis;

  explicit operator bool() const { return code != ErrorCode::kNone; }
};

// A grammar file the load passed over (it did not parse, or repeats the
// file type and version of one loaded before); the load goes on without it.
struct Notice {
  std::string file;
  std::uint32_t line = 0;  // where the parser stopped; 0 for a repeat
  std::string message;     // what the vexlor program prints for it
  Diagnosis diagnosis;     // a file that did not parse: where and why
};

// Receives the debug channel's lines (failed internal checks), each
// without its line end. Empty: the lines are not even formatted.
using DebugSink = std::function<void(std::string_view line)>;

class VEXLOR_API Definitions {
 public:
  // Loads from `directories`, in order ("" or "." is the working
  // directory; a directory may end in its separator or not): the
  // configuration and the SIDN file from the first directory that has them,
  // the token definition files the configuration names (relative names in
  // the first directory, else beside the configuration), and every grammar
  // file of every directory. Null on failure.
  static std::shared_ptr<const Definitions> load(const std::vector<std::string>& directories,
                                                 Error* error = nullptr, std::vector<Notice>* notices = nullptr,
                                                 const DebugSink& debug = {});
  // Loads by the vexlor program's rules: the working directory, then
  // `program_dir` (or, when that holds no configuration file, an installed
  // "../share/vexlor/" beside it). An empty `program_dir` means the working
  // directory only.
  static std::shared_ptr<const Definitions> load_like_program(const std::string& program_dir,
                                                              Error* error = nullptr,
                                                              std::vector<Notice>* notices = nullptr,
                                                              const DebugSink& debug = {});
  ~Definitions();
  Definitions(const Definitions&) = delete;
  Definitions& operator=(const Definitions&) = delete;

  // Every definition file the load read, in the order it read them.
  std::vector<std::string> files() const;
  // The id of a token name (letters A-Z compared without case).
  std::optional<std::uint32_t> token_id(std::string_view name) const;
  // The name of a token id.
  std::optional<std::string> token_name(std::uint32_t id) const;
  // The file type and version bytes of every grammar loaded.
  std::vector<std::pair<std::uint8_t, std::uint8_t>> grammars() const;

  struct Impl;
  const Impl& impl() const { return *impl_; }

 private:
  explicit Definitions(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// A JSON document is never compressed: writing one with a compression
// fails with kInvalidArgument.
enum class Form { kText, kBinary, kJson };
enum class Compression { kNone, kZlib, kHuffman };

enum class NodeKind {
  kBlock,    // a token block: token name, id, block name, content
  kArray,    // an array: its items one after the other
  kLiteral,  // a word of the grammar
  kString,
  kSint,
  kUint,
  kDword,
  kByte,
  kFloat,
  kToken,  // a token value: a token name and its id
};

class Document;

// A view of one node of a Document. A default Node is "none" (false).
class VEXLOR_API Node {
 public:
  Node() = default;
  explicit operator bool() const { return node_ != nullptr; }

  NodeKind kind() const;
  bool is_value() const { return node_ != nullptr && kind() != NodeKind::kBlock && kind() != NodeKind::kArray; }

  // Blocks: the token name (as the grammar spells it), its id, and the
  // block name ("" when it has none).
  std::string token_name() const;
  std::uint32_t token_id() const;
  std::string block_name() const;

  // Values: the text (as the text form writes it), and the number as the
  // binary form stores it (two's complement for a sint, IEEE single bits
  // for a float, the id of a token value).
  std::string text() const;
  std::uint32_t bits() const;
  std::int32_t as_int() const { return static_cast<std::int32_t>(bits()); }
  float as_float() const;

  // The content of a block or an array, in order (never a block's name or
  // brackets); none for a value.
  Node first_child() const;
  Node next_sibling() const;
  std::vector<Node> children() const;

 private:
  friend class Document;
  friend struct NodeHandle;  // the C interface's node values
  Node(const void* node, const void* end, const void* document, std::uint32_t index = 0)
      : node_(node), end_(end), document_(document), index_(index) {}
  const void* node_ = nullptr;
  const void* end_ = nullptr;  // where the siblings stop (a closing bracket), or null
  const void* document_ = nullptr;
  std::uint32_t index_ = 0;  // the value's place in a packed run of numbers
};

class VEXLOR_API Document {
 public:
  Document(Document&&) noexcept;
  Document& operator=(Document&&) noexcept;
  ~Document();

  // What was read: the form and compression of the source, the file type
  // and version, and the whole 16-byte body header.
  Form source_form() const;
  Compression source_compression() const;
  std::uint8_t file_type() const;
  std::uint8_t file_version() const;
  std::array<std::uint8_t, 16> body_header() const;

  // The blocks and arrays at the top of the file.
  std::vector<Node> top() const;

  struct Impl;
  const Impl& impl() const { return *impl_; }

 private:
  friend class Converter;
  explicit Document(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

class VEXLOR_API Converter {
 public:
  explicit Converter(std::shared_ptr<const Definitions> definitions, DebugSink debug = {});
  ~Converter();

  // Reads a token file; `name` names a source in memory in messages.
  std::optional<Document> read_file(const std::string& path, Error* error = nullptr) const;
  std::optional<Document> read_memory(std::span<const std::uint8_t> bytes, const std::string& name = "-",
                                      Error* error = nullptr) const;
  // Reads and drops: whether the file matches its grammar.
  bool check_file(const std::string& path, Error* error = nullptr) const;
  bool check_memory(std::span<const std::uint8_t> bytes, const std::string& name = "-",
                    Error* error = nullptr) const;

  // Writes `document` in `form`: the same bytes the vexlor program writes
  // for it. A failed write to a path leaves what the program leaves.
  bool write_file(const Document& document, const std::string& path, Form form, Compression compression,
                  Error* error = nullptr) const;
  std::optional<std::vector<std::uint8_t>> write_memory(const Document& document, Form form,
                                                        Compression compression, Error* error = nullptr) const;

 private:
  std::shared_ptr<const Definitions> definitions_;
  DebugSink debug_;
};

// The block structure of a binary token file, without its grammar: the
// container and body header, then every block indented by its depth with
// its offset, id (and token name, when `definitions` are given and know
// it), size and block name, and content bytes in hexadecimal with a guess
// at their 32-bit values. Where content ends and a nested block begins is a
// guess: an id the token table knows, followed by a size that fits. Each
// line goes to `line` (UTF-8, no line end). False when the source cannot be
// read (`error`), or holds no binary body (the lines say what it holds).
using DumpSink = std::function<void(std::string_view line)>;
VEXLOR_API bool dump_file(const std::string& path, const DumpSink& line, const Definitions* definitions = nullptr,
                          Error* error = nullptr);
VEXLOR_API bool dump_memory(std::span<const std::uint8_t> bytes, const DumpSink& line,
                            const Definitions* definitions = nullptr);

}  // namespace vexlor
