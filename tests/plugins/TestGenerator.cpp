// A generator plug-in for the host's tests. What a request does follows the start of the document's
// file name, so that a test picks a behaviour by naming a file:
//   bytes...        hands over the file's own bytes (previews: as kUTTypeImage)
//   draw-WxH...     a context of W × H points (any numbers), blue, red at (0, 0, 10, 10); flushed
//                   if one comes
//   maxsize...      a blue context of the thumbnail's maxSize (previews: 100 × 100); flushed
//   noflush...      a 20 × 20 context, drawn into, never flushed
//   refuse...       answers 1
//   crash...        dies of SIGSEGV
//   hang...         never returns
//   anything else   answers 0 having done nothing

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <type_traits>

#include "CGColor.h"
#include "NSString.h"
#include "QuickLook.h"

#define TEST_GENERATOR_EXPORT __attribute__((visibility("default")))

namespace {

template <class Request>
constexpr bool kIsThumbnail = std::is_same_v<Request, QLThumbnailRequestRef>;

void fill(const CGContextRef& context, CGRect rect, CGFloat red, CGFloat blue) {
    const auto sRGB = CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
    CGContextSetFillColorWithColor(context, CGColorCreate(sRGB, {red, 0, blue, 1}));
    CGContextFillRect(context, rect);
}

template <class Request>
OSStatus draw(Request request, CGSize size, bool flushes = true) {
    CGContextRef context;
    if constexpr (kIsThumbnail<Request>)
        context = QLThumbnailRequestCreateContext(request, size, false, nullptr);
    else
        context = QLPreviewRequestCreateContext(request, size, false, nullptr);
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
    if (name.starts_with("noflush")) return draw(request, {20, 20}, false);
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

OSStatus TestGenerateThumbnail(void*, QLThumbnailRequestRef thumbnail, CFURLRef url, CFStringRef,
                               CFDictionaryRef, CGSize maxSize) {
    return answer(thumbnail, url, maxSize);
}

OSStatus TestGeneratePreview(void*, QLPreviewRequestRef preview, CFURLRef url, CFStringRef,
                             CFDictionaryRef) {
    return answer(preview, url, {100, 100});
}

// The plug-in glue: a factory, an instance with its interface table, reference counting, and a
// log of the calls the host makes. TEST_GENERATOR_VARIANT picks a way to fail (CMakeLists.txt):
// 1 no factory, 2 the factory refuses the type, 3 no interface.
constexpr bool kRefusesInterface = TEST_GENERATOR_VARIANT == 3;

struct Instance {
    QLGeneratorInterfaceStruct* table;
    CFUUIDRef factoryID;
    uint32_t refCount;
};

std::mutex logMutex;
std::string callLog;

void logCall(const std::string& entry) {
    std::lock_guard lock(logMutex);
    callLog += (callLog.empty() ? "" : " ") + entry;
}

ULONG addRef(void* thisInstance) {
    const ULONG count = ++static_cast<Instance*>(thisInstance)->refCount;
    logCall("addref=" + std::to_string(count));
    return count;
}

ULONG release(void* thisInstance) {
    auto* instance = static_cast<Instance*>(thisInstance);
    const ULONG count = --instance->refCount;
    logCall("release=" + std::to_string(count));
    if (count == 0) {
        CFPlugInRemoveInstanceForFactory(instance->factoryID);
        CFRelease(instance->factoryID);
        delete instance->table;
        delete instance;
    }
    return count;
}

HRESULT queryInterface(void* thisInstance, REFIID iid, LPVOID* ppv) {
    logCall("query");
    CFUUIDRef interfaceID = CFUUIDCreateFromUUIDBytes(kCFAllocatorDefault, iid);
    const bool offered =
        CFEqual(interfaceID, kQLGeneratorCallbacksInterfaceID) && !kRefusesInterface;
    CFRelease(interfaceID);
    *ppv = offered ? thisInstance : nullptr;
    if (!offered) return E_NOINTERFACE;
    // clang-format off
    *static_cast<Instance*>(thisInstance)->table = {nullptr, queryInterface, addRef, release, TestGenerateThumbnail,
                                        [](void*, QLThumbnailRequestRef) {}, TestGeneratePreview,
                                        [](void*, QLPreviewRequestRef) {}};
    // clang-format on
    addRef(thisInstance);
    return S_OK;
}

[[maybe_unused]] void* makeInstance(CFUUIDRef typeID) {
    if (TEST_GENERATOR_VARIANT == 2 || !CFEqual(typeID, kQLGeneratorTypeID)) return nullptr;
    auto* table = new QLGeneratorInterfaceStruct{nullptr, queryInterface, addRef,  release,
                                                 nullptr, nullptr,        nullptr, nullptr};
    CFUUIDRef factoryID =
        CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR(TEST_GENERATOR_FACTORY_UUID));
    CFPlugInAddInstanceForFactory(factoryID);
    return new Instance{table, factoryID, 1};
}

}  // namespace

extern "C" {

#if TEST_GENERATOR_VARIANT != 1
TEST_GENERATOR_EXPORT void* QuickLookGeneratorPluginFactory(CFAllocatorRef, CFUUIDRef typeID) {
    logCall("factory");
    return makeInstance(typeID);
}
#endif

// The calls the host made to the glue, in order: "factory", "query", "addref=N", "release=N" (N the
// count after the call), copied into `buffer` with a terminating zero; returns the log's length.
// (A buffer of the caller's: a thread_local one would mark the module as never unloadable.)
TEST_GENERATOR_EXPORT size_t TestGeneratorCallLog(char* buffer, size_t size) {
    std::lock_guard lock(logMutex);
    if (size != 0) buffer[callLog.copy(buffer, size - 1)] = '\0';
    return callLog.size();
}

}  // extern "C"
