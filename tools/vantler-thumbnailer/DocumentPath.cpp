// INPUT as a local path. See DocumentPath.h.

#include "DocumentPath.h"

#include <string_view>

namespace {

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string lowercase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return result;
}

// The URI scheme that `input` starts with (RFC 3986 section 3.1), or empty.
std::string_view schemeOf(std::string_view input) {
    const size_t colon = input.find(':');
    if (colon == std::string_view::npos || colon == 0 || !isLetter(input[0])) return {};
    for (size_t i = 1; i < colon; ++i) {
        const char c = input[i];
        if (!isLetter(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return {};
    }
    return input.substr(0, colon);
}

std::optional<std::string> refuse(std::string* reason, std::string text) {
    if (reason) *reason = std::move(text);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> documentPath(const std::string& input, std::string* reason) {
    const std::string_view scheme = input.starts_with('/') ? std::string_view() : schemeOf(input);
    if (scheme.empty()) return input;
    if (lowercase(scheme) != "file")
        return refuse(reason,
                      "only local files can be read, not \"" + std::string(scheme) + ":\" URIs");

    std::string_view rest = std::string_view(input).substr(scheme.size() + 1);
    if (rest.starts_with("//")) {
        // RFC 8089: file://host/path; only this machine's files are local.
        const size_t slash = rest.find('/', 2);
        const std::string_view host =
            rest.substr(2, slash == std::string_view::npos ? rest.npos : slash - 2);
        if (!host.empty() && lowercase(host) != "localhost")
            return refuse(reason,
                          "the file URI names another host (\"" + std::string(host) + "\")");
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    if (!rest.starts_with('/')) return refuse(reason, "the file URI has no absolute path");
    if (rest.find_first_of("?#") != std::string_view::npos)
        return refuse(reason, "the file URI has a query or fragment");

    std::string path;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path.push_back(rest[i]);
            continue;
        }
        const int high = i + 2 < rest.size() ? hexValue(rest[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(rest[i + 2]) : -1;
        if (low < 0) return refuse(reason, "the file URI has a malformed percent-encoding");
        if (high == 0 && low == 0) return refuse(reason, "the file URI encodes a NUL character");
        path.push_back(char(high * 16 + low));
        i += 2;
    }
    return path;
}
