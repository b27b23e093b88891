// One conversion: everything a read or a write of a token file changes
// while it runs. A conversion belongs to one thread at a time; any number
// of them may run at once over the same definitions, which they only read.
#pragma once

#include <memory>
#include <string>

#include "bnf/tokenizer.h"
#include "common/report.h"
#include "common/types.h"
#include "shape/read_diagnosis.h"

struct sFioShareFile;
struct sShapeArena;
struct sTokenTable;

// A file peeked at to choose its grammar is read right after: the stream
// the peek loaded (and decompressed) is kept for that read instead of
// loading the file a second time. Only the latest peek is kept; it is given
// up by the next peek, taken by a read of the same name, or released with
// the conversion.
class sPeekedStream {
 public:
  sPeekedStream() = default;
  sPeekedStream(const sPeekedStream&) = delete;
  sPeekedStream& operator=(const sPeekedStream&) = delete;
  ~sPeekedStream() { drop(); }
  void keep(const char16_t* path, sFioShareFile* stream);
  // The kept stream, rewound, when it was loaded from `path`.
  sFioShareFile* take(const char16_t* path);
  void drop();

 private:
  char16_t* path_ = nullptr;
  sFioShareFile* stream_ = nullptr;
};

struct sConversion {
  explicit sConversion(const sTokenTable& token_table) : tokens(token_table) {}

  // Debug channel and message boxes of this conversion.
  sReporter rep;
  // The token definitions of the loaded definitions (read only).
  const sTokenTable& tokens;
  // Made for the first text read and kept for the next.
  std::unique_ptr<sTokenizer> tokenizer;
  // The line (text) or byte offset (binary) where the last read was.
  sUInt error_position = 0;
  // Why and where the last read failed (failure kNone after a good read).
  // A JSON source whose header does not read has its place here too.
  sReadDiagnosis diagnosis;
  // Why the last source could not be opened as a token file or has no
  // grammar, or why the last write could not give the form asked for, in
  // words ("unknown compression mark ..."); empty when there is nothing
  // more to tell than the failure.
  std::u16string fault;
  // Set by a writer that failed for a reason of its own (kErrorCannotWrite).
  sUInt last_error_code = 0;
  sPeekedStream peeked;
};
