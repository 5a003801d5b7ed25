#pragma once
// Free functions of the design tool's sources that belong to no class: timing a piece of work and
// removing a scratch file. The editor's questions about the keyboard and the system version join
// them here.

#include <functional>

#include "NSURL.h"

#pragma GCC visibility push(default)  // exported from libVantler

// `profile`: the seconds that running `work` once took, by the wall clock (a steady one: a clock
// set meanwhile does not count).
double profile(const std::function<void()>& work);

// `cleanupFile`: removes what is at the file URL's path when there is a URL and the process can
// read what is there (a folder is removed with everything in it); every failure is ignored, as is
// a URL of another scheme.
void cleanupFile(const NSURL* url);

#pragma GCC visibility pop
