// The test generator's request handlers: what a request does follows the start of the document's
// file name, so that a test picks a behaviour by naming a file.
//   bytes...        hands over the file's own bytes (previews: as kUTTypeImage)
//   draw-WxH...     a context of W × H points, blue, red at (0, 0, 10, 10); flushed
//   maxsize...      a blue context of the thumbnail's maxSize (previews: 100 × 100); flushed
//   props...        a 20 × 20 bitmap context asked with properties {"answer": "42"}; flushed
//   noflush...      a 20 × 20 context, drawn into, never flushed
//   absurd-nan|zero|negative|huge...  a context of that size; drawn and flushed if one comes
//   refuse...       answers 1
//   crash...        dies of SIGSEGV
//   hang...         never returns
//   anything else   answers 0 having done nothing

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <limits>
#include <string>
#include <type_traits>

#include "CGColor.h"
#include "NSString.h"
#include "TestGenerator.h"

namespace {

template <class Request>
constexpr bool kIsThumbnail = std::is_same_v<Request, QLThumbnailRequestRef>;

template <class Request>
CGContextRef createContext(Request request, CGSize size, Boolean isBitmap, CFDictionaryRef props) {
    if constexpr (kIsThumbnail<Request>)
        return QLThumbnailRequestCreateContext(request, size, isBitmap, props);
    else
        return QLPreviewRequestCreateContext(request, size, isBitmap, props);
}

void fill(const CGContextRef& context, CGRect rect, CGFloat red, CGFloat blue) {
    CGContextSetFillColorWithColor(
        context, CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {red, 0, blue, 1}));
    CGContextFillRect(context, rect);
}

template <class Request>
OSStatus draw(Request request, CGSize size, bool flushes = true, Boolean isBitmap = false,
              CFDictionaryRef properties = nullptr) {
    CGContextRef context = createContext(request, size, isBitmap, properties);
    if (!context) return 0;
    fill(context, CGRect{{0, 0}, size}, 0, 1);
    fill(context, CGRect{{0, 0}, {10, 10}}, 1, 0);
    if (!flushes) return 0;
    if constexpr (kIsThumbnail<Request>)
        QLThumbnailRequestFlushContext(request, context);
    else
        QLPreviewRequestFlushContext(request, context);
    return 0;
}

CGSize absurdSize(const std::string& name) {
    if (name.starts_with("absurd-nan")) return {std::numeric_limits<CGFloat>::quiet_NaN(), 10};
    if (name.starts_with("absurd-zero")) return {0, 10};
    if (name.starts_with("absurd-negative")) return {-10, 10};
    return {1e7, 1e7};  // beyond every surface's limits
}

template <class Request>
OSStatus answer(Request request, CFURLRef url, CGSize maxSize) {
    const std::string path = url ? url->path() : std::string();
    const std::string name = path.substr(path.find_last_of('/') + 1);
    double width = 0, height = 0;
    if (name.starts_with("bytes")) {
        const auto bytes = NSData::dataWithContentsOfFile_options(path, 0);
        if (!bytes) return 1;
        const auto none = NSDictionary::dictionaryWithEntries({});
        if constexpr (kIsThumbnail<Request>)
            QLThumbnailRequestSetImageWithData(request, bytes.get(), none.get());
        else
            QLPreviewRequestSetDataRepresentation(request, bytes.get(), kUTTypeImage, none.get());
        return 0;
    }
    if (std::sscanf(name.c_str(), "draw-%lfx%lf", &width, &height) == 2)
        return draw(request, {width, height});
    if (name.starts_with("maxsize")) return draw(request, maxSize);
    if (name.starts_with("props")) {
        const auto properties = NSDictionary::dictionaryWithEntries(
            {{NSString::stringWithUTF8String("answer"), NSString::stringWithUTF8String("42")}});
        return draw(request, {20, 20}, true, true, properties.get());
    }
    if (name.starts_with("noflush")) return draw(request, {20, 20}, false);
    if (name.starts_with("absurd")) return draw(request, absurdSize(name));
    if (name.starts_with("refuse")) return 1;
    if (name.starts_with("crash")) {
        // The default action, whatever a sanitizer installed: the process dies of the signal.
        signal(SIGSEGV, SIG_DFL);
        raise(SIGSEGV);
    }
    if (name.starts_with("hang"))
        for (;;) pause();
    return 0;
}

}  // namespace

OSStatus TestGenerateThumbnail(void*, QLThumbnailRequestRef thumbnail, CFURLRef url, CFStringRef,
                               CFDictionaryRef, CGSize maxSize) {
    return answer(thumbnail, url, maxSize);
}

void TestCancelThumbnail(void*, QLThumbnailRequestRef) {}

OSStatus TestGeneratePreview(void*, QLPreviewRequestRef preview, CFURLRef url, CFStringRef,
                             CFDictionaryRef) {
    return answer(preview, url, {100, 100});
}

void TestCancelPreview(void*, QLPreviewRequestRef) {}
