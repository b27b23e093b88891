// The steps of a conversion that the program and the API share: loading a
// source (from a path or from memory) with the grammar its body header
// names, and saving a loaded tree in either form (to a path or to memory).
#pragma once

#include <vector>

#include "common/types.h"

struct sBNFTable;
struct sConversion;
struct sDefinitions;
struct sShapeFile;

// The three forms of a token file.
enum class sTokenForm { kText, kBinary, kJson };

// A loaded source: its grammar and its tree, released with it.
struct sLoadedSource {
  sLoadedSource() = default;
  sLoadedSource(const sLoadedSource&) = delete;
  sLoadedSource& operator=(const sLoadedSource&) = delete;
  sLoadedSource(sLoadedSource&& other) noexcept;
  sLoadedSource& operator=(sLoadedSource&& other) noexcept;
  ~sLoadedSource();

  sBNFTable* table = nullptr;  // owned by the definitions; the grammar chosen, even when the read failed
  sShapeFile* file = nullptr;  // owned
  bool binary_source = false;
  bool json_source = false;  // a JSON document (binary_source is then false)
  sUInt comp_mark = 0;  // the container's compression mark
};

enum class sLoadStatus {
  kLoaded,
  kCannotOpen,  // missing, unreadable or no token file
  kNoGrammar,   // no grammar for the body header's type and version
  kReadFailed,  // the body does not match; conv.error_position says where
};

sLoadStatus load_source_file(sConversion& conv, const sDefinitions& defs, const char16_t* path,
                             sLoadedSource& loaded);
// The same for a token file held in memory (the bytes are copied).
sLoadStatus load_source_memory(sConversion& conv, const sDefinitions& defs, const sByte* data, sUInt size,
                               sLoadedSource& loaded);

// Writes the loaded tree in the given form: a binary or a text body into a
// container with compression mark `comp`, or a JSON document (no container,
// `comp` must be FIO_COMP_NONE). On failure conv.last_error_code
// tells a file that could not be created (kErrorCannotWrite) from a tree
// that could not be written.
bool save_to_file(sConversion& conv, const sLoadedSource& loaded, const char16_t* path, sTokenForm form, sUInt comp);
bool save_to_memory(sConversion& conv, const sLoadedSource& loaded, sTokenForm form, sUInt comp,
                    std::vector<sByte>& out);
