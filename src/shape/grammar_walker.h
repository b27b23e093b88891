// The matching rules both readers share: recursive descent over the grammar
// graph with backtracking, for a text body and a binary body alike.
//
// Every entry is an attempt: a construct saves the reading point and marks
// the tree cursor before it starts, and a failed attempt gives back what it
// read and removes the nodes it linked. Repetitions and arrays run their
// iterations until one fails (it is undone entirely) or consumes nothing
// (it is kept and ends the repetition, which would otherwise never end);
// an array whose iterations linked no node is dropped. Nesting is bounded
// (kMaxMatchDepth) and so is the number of attempts, because a grammar can
// make backtracking exponential. Once a read cannot succeed whatever is
// tried next (nesting too deep, memory exhausted, too many attempts) it is
// aborted: every attempt in progress fails, optional parts and repetitions
// included, so nothing is silently dropped.
//
// A reader tells the walker of every terminal it refuses (refuse): the
// walker keeps the furthest point of those and what was refused there, for
// the diagnosis of a failed read. It costs nothing while terminals match.
//
// What differs between the forms is the reader's, which the walker is built
// on (CRTP): `Reader` derives from sGrammarWalker<Reader> and provides
//   using Bound                  what an attempt is bounded by (passed down)
//   using Point                  a saved reading point
//   Point save(); void restore(const Point&); void drop(const Point&);
//   sUInt progress() const       grows with every token or byte consumed
//   bool count_attempt()         false (reported) when the budget is spent
//   bool match_terminal(entry, def, cursor, bound)
//   bool match_block(entry, def, cursor, bound)
//   void mark_stop()             records where the read stopped, when
//                                nesting went too deep
//   sShapeArena* arena(); sReporter& rep()
//   static constexpr sReaderLines kLines
//   static constexpr const char16_t* kTooDeep   the nesting report
//   static constexpr bool kTerminalsNest        terminals count against
//                                               the nesting limit
//   static constexpr bool kArrayBrackets        an array's iterations are
//                                               enclosed in brackets of the
//                                               form: then also
//   using ArrayOpen; ArrayOpen open_array(); bool close_array(const ArrayOpen&)
//                                               around the iterations
#pragma once

#include "bnf/bnf_model.h"
#include "common/report.h"
#include "shape/read_diagnosis.h"
#include "shape/shape_tree.h"

// Grammar elements (rules, constructs, blocks, terminals) that may be in
// progress inside each other. A block costs at least one level, usually
// two or three (its rule, a repetition or choice, the nested block). A
// level takes under 200 bytes of machine stack in an optimised build, so
// the limit stays far below the 1 MB that a Windows thread starts with.
inline constexpr sUInt kMaxMatchDepth = 2000;

// The report lines of one reader (module ShpFile).
struct sReaderLines {
  sUInt null_definition;
  sUInt null_cursor;
  sUInt too_deep;
  sUInt internal_error;
  sUInt array_node;
};

inline constexpr char16_t kNullDefinition[] = u"NULL sBNFTokenDef pointer [ShpFile %d]\n";
inline constexpr char16_t kNullCursor[] = u"NULL previous item reference [ShpFile %d]\n";
inline constexpr char16_t kInternalError[] = u"Internal error [BNFParse %d]\n";
inline constexpr char16_t kNodeNotCreated[] = u"Failed to create new shape item node [ShpFile %d]\n";

template <typename Reader>
class sGrammarWalker {
 public:
  // Matches the root entry; false when it does not match or the read was
  // aborted on the way.
  template <typename Bound>
  bool walk(const sBNFSubtoken* entry, sShapeItemNode** cursor, Bound bound) {
    aborted_ = false;
    stop_ = sReadFailure::kNone;
    depth_ = 0;
    return match_entry(entry, cursor, bound) && !aborted_;
  }

  bool aborted() const { return aborted_; }
  // Why the read was aborted (kNone while it was not).
  sReadFailure stop() const { return stop_; }
  const sFurthestRefusal& refusals() const { return refusals_; }

  // Ends the read: nothing matched from now on is kept. `line` and
  // `message` (with `line` as its one argument) are reported first.
  void abort_read(const char16_t* message, sUInt line, sReadFailure why = sReadFailure::kOutOfMemory) {
    report_at(self().rep(), kModuleShpFile, line, message, line);
    aborted_ = true;
    if (stop_ == sReadFailure::kNone) stop_ = why;
  }

  // A terminal (of `kind`, with the grammar's `text`) was refused at
  // `point`; true when that is further than every refusal before.
  bool refuse(sUInt point, sUInt kind, const char16_t* text) { return refusals_.note(point, kind, text); }

  // One grammar entry at the reading point. On success what it matched is
  // consumed and its nodes are linked after the cursor; on failure the
  // reading point and the tree are as before.
  template <typename Bound>
  bool match_entry(const sBNFSubtoken* entry, sShapeItemNode** cursor, Bound bound) {
    Reader& r = self();
    const sBNFTokenDef* def = entry != nullptr ? entry->def : nullptr;
    if (def == nullptr) {
      report(Reader::kLines.null_definition, kNullDefinition);
      return false;
    }
    if (cursor == nullptr || *cursor == nullptr) {
      report(Reader::kLines.null_cursor, kNullCursor);
      return false;
    }
    if (aborted_) return false;
    if (!r.count_attempt()) {
      aborted_ = true;
      if (stop_ == sReadFailure::kNone) stop_ = sReadFailure::kTooManyAttempts;
      return false;
    }
    // A terminal links nothing and reads nothing when it fails: it needs no
    // saved point of its own.
    const bool terminal = bnf_is_terminal(def->type);
    if (terminal && (!Reader::kTerminalsNest || depth_ < kMaxMatchDepth)) {
      return r.match_terminal(entry, def, cursor, bound);
    }
    if (depth_ >= kMaxMatchDepth) {
      report_at(r.rep(), kModuleShpFile, Reader::kLines.too_deep, Reader::kTooDeep, kMaxMatchDepth,
                Reader::kLines.too_deep);
      aborted_ = true;
      if (stop_ == sReadFailure::kNone) {
        stop_ = sReadFailure::kTooDeep;
        r.mark_stop();
      }
      return false;
    }
    if (def->type > BNFT_CON_CHOICE) {
      report(Reader::kLines.internal_error, kInternalError);
      return false;
    }
    ++depth_;
    const sShapeMark mark = shape_tree_mark(*cursor, r.arena());
    const auto point = r.save();
    Outcome outcome = match_construct(entry, def, cursor, bound);
    if (aborted_) outcome = Outcome::kFailed;
    --depth_;
    if (outcome == Outcome::kMatched) {
      r.drop(point);
      return true;
    }
    // Failed, or an optional part that was not there: give back what the
    // attempt read and remove the nodes it linked.
    shape_tree_undo(cursor, mark, r.arena());
    r.restore(point);
    return outcome == Outcome::kMatchedNothing;
  }

  // Every subtoken of `def` in order; stops at the first failure.
  template <typename Bound>
  bool match_sequence(const sBNFTokenDef* def, sShapeItemNode** cursor, Bound bound) {
    for (sUInt i = 0; i < def->subtoken_count; ++i) {
      if (!match_entry(&def->subtokens[i], cursor, bound)) return false;
    }
    return true;
  }

 private:
  enum class Outcome { kFailed, kMatched, kMatchedNothing };

  Reader& self() { return static_cast<Reader&>(*this); }

  void report(sUInt line, const char16_t* message) { report_at(self().rep(), kModuleShpFile, line, message, line); }

  static Outcome as_outcome(bool matched) { return matched ? Outcome::kMatched : Outcome::kFailed; }

  // One or more iterations of the subtokens, linked at `cursor`.
  template <typename Bound>
  bool match_iterations(const sBNFTokenDef* def, sShapeItemNode** cursor, Bound bound) {
    if (def->subtoken_count == 0) return false;
    Reader& r = self();
    sUInt complete = 0;
    for (;;) {
      const sShapeMark iteration = shape_tree_mark(*cursor, r.arena());
      const sUInt progress_before = r.progress();
      const auto point = r.save();
      if (!match_sequence(def, cursor, bound) || aborted_) {
        shape_tree_undo(cursor, iteration, r.arena());
        r.restore(point);
        break;
      }
      r.drop(point);
      ++complete;
      if (r.progress() == progress_before) break;
    }
    return complete != 0 && !aborted_;
  }

  template <typename Bound>
  Outcome match_construct(const sBNFSubtoken* entry, const sBNFTokenDef* def, sShapeItemNode** cursor, Bound bound) {
    Reader& r = self();
    switch (def->type) {
      case BNFT_TOKENDEF: return as_outcome(r.match_block(entry, def, cursor, bound));
      case BNFT_RULEDEF:
      case BNFT_CON_GROUP: return as_outcome(def->subtoken_count != 0 && match_sequence(def, cursor, bound));
      case BNFT_CON_OPTIONAL:
        if (def->subtoken_count == 0) return Outcome::kFailed;
        if (match_sequence(def, cursor, bound)) return Outcome::kMatched;
        // Not there: the construct matches and leaves nothing behind.
        return aborted_ ? Outcome::kFailed : Outcome::kMatchedNothing;
      case BNFT_CON_REPEAT: return as_outcome(match_iterations(def, cursor, bound));
      case BNFT_CON_ARRAY: {
        sShapeItemNode* parent = shape_node_create(cursor, r.arena());
        if (parent == nullptr) {
          abort_read(kNodeNotCreated, Reader::kLines.array_node);
          return Outcome::kFailed;
        }
        parent->type = SHN_PARENT;
        parent->bnf_entry = entry;
        sShapeItemNode* local = parent;
        if constexpr (Reader::kArrayBrackets) {
          const auto opened = r.open_array();
          if (!match_iterations(def, &local, bound) || !r.close_array(opened)) return Outcome::kFailed;
        } else {
          if (!match_iterations(def, &local, bound)) return Outcome::kFailed;
        }
        // Iterations that matched without a node leave an array without
        // children; kept, it would take the next node as its first child.
        return parent->child != nullptr ? Outcome::kMatched : Outcome::kMatchedNothing;
      }
      case BNFT_CON_CHOICE:
        for (sUInt i = 0; i < def->subtoken_count; ++i) {
          if (match_entry(&def->subtokens[i], cursor, bound)) return Outcome::kMatched;
          if (aborted_) break;
        }
        return Outcome::kFailed;
      default: return Outcome::kFailed;
    }
  }

  bool aborted_ = false;
  sReadFailure stop_ = sReadFailure::kNone;
  sUInt depth_ = 0;
  sFurthestRefusal refusals_;
};
