// NSURL resolves a relative reference against its base (RFC 3986, section 5.2) and reads the path,
// percent-decoded, as documents refer to their images and videos.

#include "NSURL.h"

#include <gtest/gtest.h>

TEST(NSURL, ResolvesAgainstItsBaseAndDecodesThePath) {
    // clang-format off
    const struct { const char *base, *relative, *absolute, *path; } cases[] = {
        {"http://a/b/c/d;p?q", "g", "http://a/b/c/g", "/b/c/g"},
        {"http://a/b/c/d;p?q", "./g/", "http://a/b/c/g/", "/b/c/g/"},
        {"http://a/b/c/d;p?q", "/./g", "http://a/g", "/g"},
        {"http://a/b/c/d;p?q", "//g", "http://g", ""},
        {"http://a/b/c/d;p?q", "?y", "http://a/b/c/d;p?y", "/b/c/d;p"},
        {"http://a/b/c/d", "#s", "http://a/b/c/d#s", "/b/c/d"},
        {"http://a/b/c/d;p?q", ".", "http://a/b/c/", "/b/c/"},
        {"http://a/b/c/d;p?q", "..", "http://a/b/", "/b/"},
        {"http://a/b/c/d;p?q", "../..", "http://a/", "/"},
        {"http://a/b/c/d;p?q", "../../../g", "http://a/g", "/g"},
        {"http://a/b/c/d;p?q", "/../g", "http://a/g", "/g"},
        {"http://a/b/c/d;p?q", "g;x=1/../y", "http://a/b/c/y", "/b/c/y"},
        {"http://a/b/c/d;p?q", "http:g", "http:g", "g"},
        {"https://www.example.com", "foo.xml", "https://www.example.com/foo.xml", "/foo.xml"},
        {"file:///Users/me/", "a%20b/%zz.vantler", "file:///Users/me/a%20b/%zz.vantler", "/Users/me/a b/%zz.vantler"},
        {"dir/file", "other", "dir/other", "dir/other"},
        {"1http://x/y", "z", "1http://x/z", "1http://x/z"},
        {nullptr, "https://example.com", "https://example.com", ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.base ? c.base : "no base") + " + " + c.relative);
        const auto url = NSURL::URLWithString_relativeToURL(
            c.relative, c.base ? NSURL::URLWithString(c.base) : nullptr);
        EXPECT_EQ(url->absoluteString(), c.absolute);
        EXPECT_EQ(url->path(), c.path);
    }
    EXPECT_EQ(NSURL::fileURLWithPath("/tmp/a b#\xC3\xA9")->absoluteString(),
              "file:///tmp/a%20b%23%C3%A9");
}
