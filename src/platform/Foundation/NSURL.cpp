#include "NSURL.h"

#include <unistd.h>

#include <climits>

#include "NSCoder.h"
#include "NSException.h"
#include "NSString.h"

namespace {

// The scheme of a URL string, or empty when it has none (RFC 3986, section 3.1).
std::string schemeOf(std::string_view url) {
    const size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0) return {};
    for (size_t i = 0; i < colon; ++i) {
        const char c = url[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return {};
    }
    return std::string(url.substr(0, colon));
}

// Removes "." and ".." segments (RFC 3986, section 5.2.4).
std::string removeDotSegments(std::string_view path) {
    std::string out;
    while (!path.empty()) {
        if (path.starts_with("../"))
            path.remove_prefix(3);
        else if (path.starts_with("./"))
            path.remove_prefix(2);
        else if (path.starts_with("/./"))
            path.remove_prefix(2);
        else if (path == "/.")
            path = "/";
        else if (path.starts_with("/../") || path == "/..") {
            path = path.size() == 3 ? std::string_view("/") : path.substr(3);
            const size_t slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (path == "." || path == "..")
            path = {};
        else {
            const size_t next = path.find('/', 1);
            const size_t take = next == std::string_view::npos ? path.size() : next;
            out.append(path.substr(0, take));
            path.remove_prefix(take);
        }
    }
    return out;
}

int hexValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

}  // namespace

std::shared_ptr<NSURL> NSURL::URLWithString_relativeToURL(std::string_view string,
                                                          std::shared_ptr<const NSURL> base) {
    auto url = std::make_shared<NSURL>();
    url->relative_ = string;
    url->base_ = std::move(base);
    return url;
}

std::shared_ptr<NSURL> NSURL::fileURLWithPath(std::string_view path) {
    std::string absolute(path);
    if (!absolute.starts_with('/')) {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd)) absolute = std::string(cwd) + "/" + absolute;
    }
    static const char* digits = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : absolute) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '_' || c == '.' ||
                           c == '~' || c == '!' || c == '$' || c == '&' || c == '\'' || c == '(' ||
                           c == ')' || c == '*' || c == '+' || c == ',' || c == ';' || c == '=' ||
                           c == ':' || c == '@';
        if (plain) {
            url.push_back(static_cast<char>(c));
        } else {
            url.push_back('%');
            url.push_back(digits[c >> 4]);
            url.push_back(digits[c & 0x0F]);
        }
    }
    return URLWithString(url);
}

std::string NSURL::absoluteString() const {
    if (!base_ || !schemeOf(relative_).empty()) return relative_;
    const std::string base = base_->absoluteString();
    const std::string scheme = schemeOf(base);
    // The base split into "scheme://authority" and its path, dropping its query and fragment.
    std::string_view rest = std::string_view(base).substr(scheme.empty() ? 0 : scheme.size() + 1);
    std::string authority;
    if (rest.starts_with("//")) {
        const size_t end = rest.find_first_of("/?#", 2);
        authority = std::string(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    std::string_view basePath = rest.substr(0, rest.find_first_of("?#"));
    const std::string prefix = (scheme.empty() ? "" : scheme + ":") + authority;

    std::string_view relative = relative_;
    if (relative.empty()) return prefix + std::string(basePath);
    if (relative.starts_with("//")) return (scheme.empty() ? "" : scheme + ":") + relative_;
    if (relative.starts_with('/')) return prefix + removeDotSegments(relative);
    if (relative.starts_with('?') || relative.starts_with('#'))
        return prefix + std::string(basePath) + relative_;
    const size_t slash = basePath.rfind('/');
    std::string merged =
        (slash == std::string_view::npos ? (authority.empty() ? "" : "/")
                                         : std::string(basePath.substr(0, slash + 1))) +
        relative_;
    return prefix + removeDotSegments(merged);
}

std::string NSURL::scheme() const {
    return schemeOf(absoluteString());
}

std::string NSURL::path() const {
    const std::string absolute = absoluteString();
    const std::string scheme = schemeOf(absolute);
    std::string_view rest =
        std::string_view(absolute).substr(scheme.empty() ? 0 : scheme.size() + 1);
    if (rest.starts_with("//")) {
        const size_t end = rest.find('/', 2);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    std::string decoded;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() + 0 && hexValue(rest[i + 1]) >= 0 &&
            hexValue(rest[i + 2]) >= 0) {
            decoded.push_back(
                static_cast<char>(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2])));
            i += 2;
        } else {
            decoded.push_back(rest[i]);
        }
    }
    return decoded;
}

bool NSURL::isEqual(const NSObject& other) const {
    const auto* url = dynamic_cast<const NSURL*>(&other);
    if (!url || url->relative_ != relative_) return false;
    if (!base_ || !url->base_) return !base_ && !url->base_;
    return base_->isEqual(*url->base_);
}

void NSURL::encodeWithCoder(NSCoder& coder) const {
    coder.encodeObject_forKey(base_, "NS.base");
    coder.encodeObject_forKey(NSString::stringWithUTF8String(relative_), "NS.relative");
}

bool NSURL::initWithCoder(NSCoder& coder) {
    base_ = coder.decodeObjectOfClass_forKey<NSURL>("NS.base");
    auto relative = coder.decodeObjectOfClass_forKey<NSString>("NS.relative");
    if (!relative)
        NSException::raise(NSInvalidUnarchiveOperationException, "URL has no NS.relative string");
    relative_ = relative->UTF8String();
    return true;
}
