// The conversion driver and output naming.
//
// convert_source converts one source: it loads it (a file, or standard
// input for "-"), prints the progress line and writes the other form (to a
// file, or to standard output for "-"). Every failure prints the one
// console message the user sees and yields false. convert_file runs it once
// for the command line's source; run_batch (app/batch.h) for many.
#pragma once

#include <string>
#include <vector>

struct sAppState;
struct sDefinitions;
struct sReporter;

// The names standing for the standard streams.
inline constexpr char16_t kStandardStream[] = u"-";

struct sSourceJob {
  std::u16string source;
  std::u16string output;  // completed; empty when only checked
};

bool convert_source(const sAppState& app, const sDefinitions& defs, const sReporter& rep, const sSourceJob& job,
                    bool show_progress);

// The output name for `source` completed from the /o spec; false when the
// name is refused (too long, no base name, or standard input with a spec
// that has to be completed from the source's name).
bool complete_output_name(const std::u16string& spec, const std::u16string& source, std::u16string& output);

// Writes the dependency file for the outputs converted (in order).
bool write_dependencies(const std::u16string& depfile, const sDefinitions& defs, const std::vector<sSourceJob>& done);

int convert_file(sAppState& app, const sDefinitions& defs, const sReporter& rep);
