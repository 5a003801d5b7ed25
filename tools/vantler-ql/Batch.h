#pragma once
// `vantler-ql thumbnail|preview -d OUTDIR FILE...`: each FILE in a child process of its own
// (this program with the single-file command), several at once, each stopped at a deadline, so
// that a FILE that crashes or hangs the generator fails alone.

#include "RenderCommandLine.h"

// The exit status: 0 every FILE was written, 1 any failed (one line each on standard error).
int runBatch(const RenderCommandLine& commandLine);
