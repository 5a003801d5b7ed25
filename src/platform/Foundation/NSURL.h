#pragma once
// A URL: a string relative to an optional base URL. Archived as {NS.base: reference (to "$null"
// when there is no base), NS.relative: reference to the string} (Apple's form).

#include <memory>
#include <string>
#include <string_view>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSURL : public NSObject {
  public:
    NS_CLASS_RECORD("NSURL", NSObject::objcClass())

    static std::shared_ptr<NSURL> URLWithString_relativeToURL(std::string_view string,
                                                              std::shared_ptr<const NSURL> base);
    static std::shared_ptr<NSURL> URLWithString(std::string_view string) {
        return URLWithString_relativeToURL(string, nullptr);
    }
    // A "file://" URL for an absolute path (a relative one is taken from the working directory),
    // with the characters a URL cannot hold percent-encoded.
    static std::shared_ptr<NSURL> fileURLWithPath(std::string_view path);

    const std::string& relativeString() const { return relative_; }
    const std::shared_ptr<const NSURL>& baseURL() const { return base_; }
    // The relative string resolved against the base (RFC 3986, section 5.2).
    std::string absoluteString() const;
    std::string scheme() const;
    bool isFileURL() const { return scheme() == "file"; }
    // The percent-decoded path of the absolute URL ("/tmp/a b.vantler" for
    // "file:///tmp/a%20b.vantler").
    std::string path() const;

    bool isEqual(const NSObject& other) const override;
    size_t hash() const override { return std::hash<std::string>()(relative_); }

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  private:
    std::string relative_;
    std::shared_ptr<const NSURL> base_;
};

#pragma GCC visibility pop
