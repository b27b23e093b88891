// Shared by the fuzz targets: a private working directory, input files, and
// the fixed definition set that the reader targets match against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/types.h"

struct sBNFTable;
struct sConversion;
struct sReporter;
struct sTokenizer;
struct sTokenTable;

namespace vxfuzz {

// A directory of this process alone (in /dev/shm when there is one),
// removed at exit. The working directory stays as it was, so that the
// inputs named on a target's command line are found.
const std::string& work_dir();

// The work directory with its trailing separator, as UTF-16: the base
// directory of loaders that open the names they read relative to one.
std::u16string work_dir_prefix();
// The full path of `name` in the work directory, as UTF-16.
std::u16string work_path(const std::string& name);
// Writes `bytes` to `name` in the work directory; returns its full path.
std::u16string put_file(const std::string& name, std::string_view bytes);
std::string read_file(const std::string& name);

// ASCII text as UTF-16 units.
std::u16string u16(std::string_view ascii);
// ASCII text as UTF-16 little-endian bytes.
std::string widen(std::string_view ascii);

// Loads the SIDN table, the token definitions and every grammar of the
// fixed set once: the shipped definitions (defs/) when they are there, and
// a recursive grammar of our own for file type "r" version "1" that uses
// every construct and value kind. Aborts when the set does not load, since
// every input would then be refused for the wrong reason.
const std::vector<sBNFTable*>& fixture_grammars();
// The token definitions of the fixed set (loaded with the grammars).
const sTokenTable& fixture_tokens();

// The reporter of the targets' loaders: nobody listens, as in a program run
// without a debug channel.
sReporter& reporter();
// The tokenizer the targets parse grammars with, made once.
sTokenizer& grammar_tokenizer();
// The conversion every read and write of a target goes through, over the
// fixed token definitions; made once (the targets make it when they start)
// and kept from input to input, as a conversion is kept from file to file.
sConversion& conversion();
// True while the conversion's tokenizer is open on a text.
bool conversion_tokenizer_open();

// The body header a token file of `table` opens with, form byte `form`.
std::string body_header(const sBNFTable* table, char form);

// Stops the process with a message: the set-up itself is broken.
[[noreturn]] void die(const std::string& why);
std::string slurp(const std::filesystem::path& path);

// A view of the fuzzer's bytes.
inline std::string_view bytes_of(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace vxfuzz
