#pragma once
// What the programs' command lines answer alike: wrong usage and --version.

#include <string>

// "PROGRAM: MESSAGE (see PROGRAM --help)" on standard error; returns exit status 2.
int usageError(const char* program, const std::string& message);

// "PROGRAM VERSION" on standard output, the project's version; returns exit status 0.
int printVersion(const char* program);
