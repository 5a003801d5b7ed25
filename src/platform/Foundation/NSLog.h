#pragma once
// The system log: one function for every log line. Lines go to
// stderr unless a sink is installed; tests install one to capture what was logged.

#include <functional>
#include <string>

#pragma GCC visibility push(default)  // exported from libVantler

using NSLogSink = std::function<void(const std::string& line)>;

void NSLog(const std::string& line);

// Installs a sink for the calling process and returns the previous one; an empty sink restores
// stderr.
NSLogSink NSLogSetSink(NSLogSink sink);

#pragma GCC visibility pop
