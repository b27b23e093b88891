// Batch mode: many sources per call, converted on several threads over one
// set of loaded definitions. Each source's console lines are printed
// together, in the order the sources were named; a last line counts the
// sources converted (or checked) and failed.
#pragma once

struct sAppState;
struct sDefinitions;
struct sReporter;

// The exit status of the batch: 1 when any source failed or the batch was
// refused before anything was converted.
int run_batch(sAppState& app, const sDefinitions& defs, const sReporter& rep);
