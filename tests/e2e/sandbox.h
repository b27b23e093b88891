// A place to run the program: a copy of the executable alone in its own
// directory (so that its directory supplies only what a test puts there) and
// an empty working directory.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/run.h"
#include "support/test_support.h"

namespace vxtest {

// The repository's top directory (defs/ and examples/ live there).
std::filesystem::path source_root();

class Sandbox {
 public:
  Sandbox();

  const std::filesystem::path& work() const { return work_.path(); }
  const std::filesystem::path& prog() const { return prog_.path(); }
  // The program directory as the program sees it: resolved, with its
  // trailing separator (the Windows form under wine).
  std::string prog_text() const;

  // Runs the copy with `args` in the working directory.
  RunResult run(const std::vector<std::string>& args) const;
  const std::string& exe() const { return exe_; }

  void put(const std::string& name, const std::string& bytes) const { write_file(work() / name, bytes); }
  std::string get(const std::string& name) const { return read_file(work() / name); }
  bool has(const std::string& name) const { return std::filesystem::exists(work() / name); }

  // The definition set of the repository (defs/) into `dir`.
  static void shipped_defs(const std::filesystem::path& dir);
  // A small definition set: token Box (id 0x00010001) and grammar box.bnf
  // for file type "b" version "1": FILE = { :Box } . Box ==> :uint [ name :string ] .
  // The word name has no token id.
  static void box_defs(const std::filesystem::path& dir);

 private:
  TempDir prog_;
  TempDir work_;
  std::string exe_;
};

// A grammar file's bytes: UTF-16LE with a byte-order mark.
std::string grammar(const std::string& text);
// A text token file: UTF-16LE, byte-order mark, container header (mark "@"),
// body header "TORV0" + type + version + "t" + 8 blanks, then `body`.
std::string text_token_file(const std::string& type_version, const std::string& body);
// The 8-bit container header with mark "@".
inline const std::string kPlainHeader = "KALDOA@@@@@@@@@@";

// The body of a file with mark "F" (either header form), decompressed;
// empty when the file is not such a file.
std::string inflate_body(const std::string& file);

}  // namespace vxtest
