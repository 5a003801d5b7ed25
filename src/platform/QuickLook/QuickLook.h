#pragma once
// QuickLook's generator interface with QuickLook's names: the request
// objects, the host operations that a generator calls, the generator type and interface
// identifiers, and the layout of the generator interface table. The host side (in libVantler)
// implements the operations; the generator plug-in calls them.

#include "CFPlugIn.h"
#include "CGContext.h"
#include "CGGeometry.h"

#pragma GCC visibility push(default)  // exported from libVantler

struct __QLThumbnailRequest;
struct __QLPreviewRequest;
using QLThumbnailRequestRef = __QLThumbnailRequest*;
using QLPreviewRequestRef = __QLPreviewRequest*;

// ---- Host operations
// Hands over ready-made image bytes (copied by the host); `properties` may be null.
void QLThumbnailRequestSetImageWithData(QLThumbnailRequestRef request, CFDataRef data,
                                        CFDictionaryRef properties);
void QLPreviewRequestSetDataRepresentation(QLPreviewRequestRef request, CFDataRef data,
                                           CFStringRef contentTypeUTI, CFDictionaryRef properties);
// A new context of `size` points, origin at the lower left, y upwards, or null; the
// caller owns it. The host chooses the surface behind it for the output it will write.
CGContextRef QLThumbnailRequestCreateContext(QLThumbnailRequestRef request, CGSize size,
                                             Boolean isBitmap, CFDictionaryRef properties);
CGContextRef QLPreviewRequestCreateContext(QLPreviewRequestRef request, CGSize size,
                                           Boolean isBitmap, CFDictionaryRef properties);
// What was drawn into `context` goes to the host; the caller still releases the context.
void QLThumbnailRequestFlushContext(QLThumbnailRequestRef request, const CGContextRef& context);
void QLPreviewRequestFlushContext(QLPreviewRequestRef request, const CGContextRef& context);

// The generic image type ("public.image"): a constant string, made when first used, so that
// loading the library runs no code.
#define kUTTypeImage CFSTR("public.image")

// ---- This host's addition: why a handler answered a failure status, in words the host can show
// (QuickLook itself shows no reason). The host copies the text; the last call wins.
void QLThumbnailRequestSetRefusalReason(QLThumbnailRequestRef request, CFStringRef reason);
void QLPreviewRequestSetRefusalReason(QLPreviewRequestRef request, CFStringRef reason);

// ---- Identifiers
// kQLGeneratorTypeID: 5E2D9680-5022-40FA-B806-43349622E5B9.
#define kQLGeneratorTypeID                                                                        \
    CFUUIDGetConstantUUIDWithBytes(kCFAllocatorDefault, 0x5E, 0x2D, 0x96, 0x80, 0x50, 0x22, 0x40, \
                                   0xFA, 0xB8, 0x06, 0x43, 0x34, 0x96, 0x22, 0xE5, 0xB9)
// kQLGeneratorCallbacksInterfaceID: 865AF5E0-6D30-4345-951B-D37105754F2D.
#define kQLGeneratorCallbacksInterfaceID                                                          \
    CFUUIDGetConstantUUIDWithBytes(kCFAllocatorDefault, 0x86, 0x5A, 0xF5, 0xE0, 0x6D, 0x30, 0x43, \
                                   0x45, 0x95, 0x1B, 0xD3, 0x71, 0x05, 0x75, 0x4F, 0x2D)

// ---- The generator interface table: a reserved slot, the three component-model functions, then
// thumbnail, cancel thumbnail, preview, cancel preview.
struct QLGeneratorInterfaceStruct {
    void* _reserved;
    HRESULT (*QueryInterface)(void* thisInstance, REFIID iid, LPVOID* ppv);
    ULONG (*AddRef)(void* thisInstance);
    ULONG (*Release)(void* thisInstance);
    OSStatus (*GenerateThumbnailForURL)(void* thisInterface, QLThumbnailRequestRef thumbnail,
                                        CFURLRef url, CFStringRef contentTypeUTI,
                                        CFDictionaryRef options, CGSize maxSize);
    void (*CancelThumbnailGeneration)(void* thisInterface, QLThumbnailRequestRef thumbnail);
    OSStatus (*GeneratePreviewForURL)(void* thisInterface, QLPreviewRequestRef preview,
                                      CFURLRef url, CFStringRef contentTypeUTI,
                                      CFDictionaryRef options);
    void (*CancelPreviewGeneration)(void* thisInterface, QLPreviewRequestRef preview);
};

// The plug-in's factory, which the host finds by this name.
using QLGeneratorFactoryFunction = void* (*)(CFAllocatorRef allocator, CFUUIDRef typeID);

#pragma GCC visibility pop
