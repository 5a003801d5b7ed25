#include "ProgramCommandLine.h"

#include <cstdio>

int usageError(const char* program, const std::string& message) {
    std::fprintf(stderr, "%s: %s (see %s --help)\n", program, message.c_str(), program);
    return 2;
}

int printVersion(const char* program) {
    std::printf("%s %s\n", program, VANTLER_VERSION);
    return 0;
}
