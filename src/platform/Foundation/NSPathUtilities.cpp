#include "NSPathUtilities.h"

#include <cstdlib>

std::string NSTemporaryDirectory() {
    const char* variable = std::getenv("TMPDIR");
    std::string directory = variable && *variable ? variable : "/tmp/";
    if (!directory.ends_with('/')) directory.push_back('/');
    return directory;
}
