// Why a read of a token body failed, and where.
//
// While they match, the readers keep the furthest point at which a terminal
// was refused and the grammar items refused there (sFurthestRefusal): that
// is where the body stops matching whatever the grammar tries, and those
// items are what it would have taken there. A failed read leaves the result
// in the conversion (sReadDiagnosis) as data; the program words and prints
// it.
#pragma once

#include <string>
#include <vector>

#include "common/types.h"

// Items of the expected list besides the grammar's terminals (BNFT_*).
inline constexpr sUInt kExpectBlockName = 0x100;  // a text block's name
inline constexpr sUInt kExpectBlockSize = 0x101;  // a binary block's size
inline constexpr sUInt kExpectBlockNameUnits = 0x102;  // a binary block's name

// At most this many items are kept (the first refused, in grammar order).
inline constexpr sUInt kMaxExpected = 5;

// A grammar item: a terminal kind with its word (BNFT_LITERAL, or a block's
// token name as BNFT_TOKENDEF), or a value kind.
struct sExpectedItem {
  sUInt kind;
  const char16_t* text;  // the grammar's own text, which outlives the read
};

class sFurthestRefusal {
 public:
  // An item was refused at `point` (a token count or a byte offset, growing
  // through the body). True when no refusal before came as far: the reader
  // then records what it needs about that place.
  bool note(sUInt point, sUInt kind, const char16_t* text) {
    if (count_ != 0 && point < point_) return false;
    const bool further = count_ == 0 || point > point_;
    if (further) {
      point_ = point;
      count_ = 0;
    }
    add(kind, text);
    return further;
  }

  bool any() const { return count_ != 0; }
  sUInt point() const { return point_; }
  sUInt count() const { return count_; }
  const sExpectedItem& item(sUInt i) const { return items_[i]; }

 private:
  void add(sUInt kind, const char16_t* text);

  sUInt point_ = 0;
  sUInt count_ = 0;
  sExpectedItem items_[kMaxExpected];
};

// In the order of vexlor::Diagnosis::Reason.
enum class sReadFailure {
  kNone,
  kMismatch,         // the body does not match at the point
  kUnknownToken,     // a token value names no token definition
  kTooDeep,          // nested deeper than the readers follow
  kTooManyAttempts,  // backtracking gave up (the point is the furthest reached)
  kOutOfMemory,
  kNoExtension,      // the source's name has no extension: nothing was read
};

struct sReadDiagnosis {
  sReadFailure failure = sReadFailure::kNone;
  bool binary = false;
  // Text: where the point is (line and column in code points, from 1, the
  // first line counted from the body header on), and its line: at most
  // kExcerptUnits around the point, with the caret's place (in code points),
  // and whether the line goes on before or after what is shown.
  sUInt line = 0;
  sUInt column = 0;
  std::u16string source_line;
  sUInt caret = 0;
  bool cut_before = false;
  bool cut_after = false;
  // Binary: the offset from the start of the body, and the blocks the point
  // is in, outermost first, each as its token name and block name
  // ("Mesh body").
  sUInt offset = 0;
  std::vector<std::u16string> blocks;
  // What the grammar would have taken, worded ('Smooth', a float), in
  // grammar order; what stood there instead ('shiny', end of file).
  std::vector<std::u16string> expected;
  std::u16string found;
};

inline constexpr sUInt kExcerptUnits = 160;
// A found text longer than this is cut and ends in "...".
inline constexpr sUInt kFoundCodePoints = 40;

// The wording of an item in the expected list.
std::u16string word_expected_item(const sExpectedItem& item);
// Fills expected from the refusals kept.
void word_expected(const sFurthestRefusal& refusals, sReadDiagnosis& diagnosis);
// `text` quoted in single quotes, cut after kFoundCodePoints code points.
std::u16string quote_found(std::u16string_view text);

// Text bodies: the line, column and excerpt of the UTF-16 text `body`
// (`size` bytes, little-endian) at byte offset `at`; zero units stand for
// blanks. The found token at `at` is worded into `found` when `word_found`.
void place_in_text(const sByte* body, sUInt size, sUInt at, bool word_found, sReadDiagnosis& diagnosis);
// The offset just behind the last unit of `body` that is no blank: where
// the end of the file is shown.
sUInt end_of_text(const sByte* body, sUInt size, sUInt from);
