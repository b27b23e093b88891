// The conversion driver and output naming.
//
// convert_file runs once per process after start-up: it completes the output
// name, loads the source, prints the progress line and writes the other
// form. Every failure prints the one console message the user sees and
// yields 0.
#pragma once

struct sAppState;
struct sDefinitions;
struct sReporter;

int convert_file(sAppState& app, const sDefinitions& defs, const sReporter& rep);
