// The test generator's request handlers. What a request does depends on the start of the
// document's file name:
//   bytes...           hands over the file's own bytes (previews: as kUTTypeImage)
//   draw-WxH...        a context of W × H points: blue everywhere, red at (0, 0, 10, 10); flushed
//   maxsize...         a context of the thumbnail's maxSize (previews: 100 × 100), blue; flushed
//   props...           a 20 × 20 bitmap context asked with properties {"answer": "42"}; flushed
//   noflush...         a 20 × 20 context, drawn into, never flushed
//   absurd-nan|zero|negative|huge...   asks for a context of that absurd size; drawn and flushed
//                      only if the host answers with one
//   refuse...          answers 1
//   crash...           dies of SIGSEGV
//   hang...            never returns
//   anything else      answers 0 having done nothing

#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "CGColor.h"
#include "NSString.h"
#include "TestGenerator.h"

namespace {

void handOver(QLThumbnailRequestRef request, CFDataRef data, CFDictionaryRef properties) {
    QLThumbnailRequestSetImageWithData(request, data, properties);
}
void handOver(QLPreviewRequestRef request, CFDataRef data, CFDictionaryRef properties) {
    QLPreviewRequestSetDataRepresentation(request, data, kUTTypeImage, properties);
}
CGContextRef createContext(QLThumbnailRequestRef request, CGSize size, Boolean isBitmap,
                           CFDictionaryRef properties) {
    return QLThumbnailRequestCreateContext(request, size, isBitmap, properties);
}
CGContextRef createContext(QLPreviewRequestRef request, CGSize size, Boolean isBitmap,
                           CFDictionaryRef properties) {
    return QLPreviewRequestCreateContext(request, size, isBitmap, properties);
}
void flush(QLThumbnailRequestRef request, const CGContextRef& context) {
    QLThumbnailRequestFlushContext(request, context);
}
void flush(QLPreviewRequestRef request, const CGContextRef& context) {
    QLPreviewRequestFlushContext(request, context);
}

void fill(const CGContextRef& context, CGRect rect, CGFloat red, CGFloat green, CGFloat blue) {
    CGContextSetFillColorWithColor(
        context, CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {red, green, blue, 1}));
    CGContextFillRect(context, rect);
}

template <class Request>
OSStatus drawAndFlush(Request request, CGSize size, Boolean isBitmap, CFDictionaryRef properties,
                      bool flushes) {
    CGContextRef context = createContext(request, size, isBitmap, properties);
    if (!context) return 0;
    fill(context, CGRect{{0, 0}, size}, 0, 0, 1);
    fill(context, CGRect{{0, 0}, {10, 10}}, 1, 0, 0);
    if (flushes) flush(request, context);
    return 0;
}

CGSize absurdSize(const std::string& name) {
    const CGFloat nan = std::numeric_limits<CGFloat>::quiet_NaN();
    if (name.starts_with("absurd-nan")) return {nan, 10};
    if (name.starts_with("absurd-zero")) return {0, 10};
    if (name.starts_with("absurd-negative")) return {-10, 10};
    return {1e7, 1e7};  // huge: beyond every surface's limits
}

template <class Request>
OSStatus answer(Request request, CFURLRef url, CGSize maxSize) {
    const std::string path = url ? url->path() : std::string();
    const std::string name = path.substr(path.find_last_of('/') + 1);
    if (name.starts_with("bytes")) {
        const auto bytes = NSData::dataWithContentsOfFile_options(path, 0);
        if (!bytes) return 1;
        handOver(request, bytes.get(), NSDictionary::dictionaryWithEntries({}).get());
        return 0;
    }
    double width = 0, height = 0;
    if (std::sscanf(name.c_str(), "draw-%lfx%lf", &width, &height) == 2)
        return drawAndFlush(request, {width, height}, false, nullptr, true);
    if (name.starts_with("maxsize")) return drawAndFlush(request, maxSize, false, nullptr, true);
    if (name.starts_with("props")) {
        const auto properties = NSDictionary::dictionaryWithEntries(
            {{NSString::stringWithUTF8String("answer"), NSString::stringWithUTF8String("42")}});
        return drawAndFlush(request, {20, 20}, true, properties.get(), true);
    }
    if (name.starts_with("noflush")) return drawAndFlush(request, {20, 20}, false, nullptr, false);
    if (name.starts_with("absurd")) return drawAndFlush(request, absurdSize(name), false, nullptr, true);
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
