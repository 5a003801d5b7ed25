#include "ProgramCommandLine.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

template <class T>
std::optional<T> fromWholeText(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<int64_t> parseWholeNumber(std::string_view text, int64_t low, int64_t high) {
    const auto value = fromWholeText<int64_t>(text);
    if (!value || *value < low || *value > high) return std::nullopt;
    return value;
}

std::optional<double> parseDecimal(std::string_view text) {
    // from_chars reads "inf" and "nan" too; only finite values pass.
    const auto value = fromWholeText<double>(text);
    if (!value || !std::isfinite(*value)) return std::nullopt;
    return value;
}

std::optional<double> parseTimeout(std::string_view text) {
    constexpr double kMaxTimeoutSeconds = 24 * 60 * 60;
    const auto seconds = parseDecimal(text);
    if (!seconds || *seconds < 0 || *seconds > kMaxTimeoutSeconds) return std::nullopt;
    return seconds;
}

std::string badValue(std::string_view option, std::string_view what, std::string_view text) {
    return std::string(option) + " needs " + std::string(what) + ", not \"" + std::string(text) +
           "\"";
}

int usageError(const char* program, const std::string& message) {
    std::fprintf(stderr, "%s: %s (see %s --help)\n", program, message.c_str(), program);
    return 2;
}

int printVersion(const char* program) {
    std::printf("%s %s\n", program, VANTLER_VERSION);
    return 0;
}
