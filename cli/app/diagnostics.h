// Diagnosis lines on standard error, in the form compilers use so that
// editors jump to the place: "FILE:LINE:COLUMN: error: WHAT", or with
// --errors=msvc the form Visual Studio reads, "FILE(LINE,COLUMN): error:
// WHAT". A fault of the whole file leaves out the line and column.
//
// They come after the console messages of the same fault, which keep their
// place on standard output.
#pragma once

#include <string>

#include "common/diagnosis.h"

enum class DiagnosisStyle { kGnu, kMsvc };

// Chosen once, before any conversion starts.
void set_diagnosis_style(DiagnosisStyle style);

// The line for `diagnosis` (no line end); `severity` is "error" or
// "warning".
std::u16string format_diagnosis(const sFileDiagnosis& diagnosis, const char16_t* severity, DiagnosisStyle style);
// Writes it, with a line end, to standard error.
void print_diagnosis(const sFileDiagnosis& diagnosis, const char16_t* severity = u"error");

struct sBNFTable;
struct sDefinitions;
// Warns of the constructs of the grammar `table` that a binary body cannot
// tell apart, the first time a conversion of this run uses that grammar.
void warn_about_grammar_once(const sDefinitions& defs, const sBNFTable* table);
struct sReadDiagnosis;

// Why and where a read of `source` failed, in the chosen style: the
// diagnosis line, the source line with a caret (text) or the enclosing
// blocks (binary). Nothing when the diagnosis names no failure. In a batch
// the lines are kept with the source's messages.
// A source as diagnoses name it: standard input as "<stdin>".
std::u16string display_name(const std::u16string& source);
void print_read_diagnosis(const std::u16string& source, const sReadDiagnosis& diagnosis);
// The same as UTF-8 text, every line ended.
std::string format_read_diagnosis(const std::u16string& source, const sReadDiagnosis& diagnosis,
                                  DiagnosisStyle style);
