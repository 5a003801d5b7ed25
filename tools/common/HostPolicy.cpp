#include "HostPolicy.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string generatorPlugInPath(const std::string& option) {
    if (!option.empty()) return option;
    if (const char* variable = std::getenv("VANTLER_GENERATOR"); variable && *variable)
        return variable;
    std::error_code failed;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", failed);
    // Without /proc the plug-in is looked for from the working directory.
    const auto directory = failed ? std::filesystem::path(".") : program.parent_path();
    return (directory / VANTLER_LIBDIR_FROM_BINDIR / "VantlerQuickLook.so")
        .lexically_normal()
        .string();
}
