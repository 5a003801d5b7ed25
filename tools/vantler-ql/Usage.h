#pragma once
// vantler-ql's help text and its wrong-usage answer (exit status 2).

#include <string>

extern const char* const kUsage;

// Prints "vantler-ql: MESSAGE (see vantler-ql --help)" to standard error; returns exit status 2.
int usageError(const std::string& message);
