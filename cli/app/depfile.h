// Dependency files: one Make rule per output naming its source and every
// definition file the conversion depended on, in the syntax GCC writes with
// -MD and GNU Make, Ninja and CMake's DEPFILE read.
//
//   "out.b: in.t \"
//   "  Vexlor.cfg \"
//   "  sidn.txt"
//
// One name a line after the first, so that the text does not depend on any
// line width; UTF-8, "\n" line ends, the last line ended. Nothing but the
// names given is written (no time, no directory), so the same names give the
// same bytes.
//
// Names are escaped as GCC escapes them:
//   blank or tab  "\ ", "\<tab>", the backslashes right before it doubled
//                 ("a\ b" is written "a\\\ b": Make's 2N+1 rule; an
//                 escaped tab only Make reads back)
//   "#"           "\#" (backslashes before it stay as they are: Ninja and
//                 CMake keep all but the escaping one)
//   "$"           "$$"
// Every other character is written as it is: a backslash before anything
// else (Windows paths), and ":" (a drive such as "C:\data\x.t"; Ninja and
// CMake end a target only at a colon followed by a blank or the line end,
// and Make for Windows knows drive names). A name that no reader would get
// back is refused: an empty target or definition name, a line break or NUL,
// or a backslash at the end of a name (it would escape what follows).
#pragma once

#include <string>
#include <vector>

struct sDepRule {
  std::u16string target;  // the output as it was written to disk
  std::u16string source;  // empty: none to name (standard input)
  const std::vector<std::u16string>* definitions = nullptr;  // may be null: none
};

// The text for `rules`, in the order given; empty when there are no rules or
// a name is refused.
std::string make_depfile(const std::vector<sDepRule>& rules);

// Writes `text` to `path`, replacing the file there. False (and no file
// left behind) when the file cannot be written, its name cannot be opened
// (as every file name of the program: ASCII only), or `text` is empty.
bool write_depfile(const std::u16string& path, const std::string& text);
