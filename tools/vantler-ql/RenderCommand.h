#pragma once
// `vantler-ql thumbnail|preview FILE -o OUT`: one request through the generator plug-in, its
// result written to OUT.

#include "RenderCommandLine.h"

// The exit status: 0 written; 1 the generator could not be loaded, refused FILE or drew nothing,
// or OUT could not be written (one line on standard error says which).
int renderOneFile(const RenderCommandLine& commandLine);
