#pragma once
// The generator's exported C entry points (the request handlers and the plug-in glue), with
// QuickLook's signatures. Only these leave the plug-in: everything else is hidden.

#include "QuickLook.h"

#define VANTLER_EXPORT __attribute__((visibility("default")))

extern "C" {

// ---- Request handlers
VANTLER_EXPORT OSStatus GenerateThumbnailForURL(void* thisInterface,
                                                QLThumbnailRequestRef thumbnail, CFURLRef url,
                                                CFStringRef contentTypeUTI, CFDictionaryRef options,
                                                CGSize maxSize);
VANTLER_EXPORT void CancelThumbnailGeneration(void* thisInterface, QLThumbnailRequestRef thumbnail);
VANTLER_EXPORT OSStatus GeneratePreviewForURL(void* thisInterface, QLPreviewRequestRef preview,
                                              CFURLRef url, CFStringRef contentTypeUTI,
                                              CFDictionaryRef options);
VANTLER_EXPORT void CancelPreviewGeneration(void* thisInterface, QLPreviewRequestRef preview);

// ---- Plug-in factory, instance record and reference counting
struct QuickLookGeneratorPluginType;
VANTLER_EXPORT void* QuickLookGeneratorPluginFactory(CFAllocatorRef allocator, CFUUIDRef typeID);
VANTLER_EXPORT QuickLookGeneratorPluginType* AllocQuickLookGeneratorPluginType(
    CFUUIDRef inFactoryID);
VANTLER_EXPORT void DeallocQuickLookGeneratorPluginType(QuickLookGeneratorPluginType* thisInstance);
VANTLER_EXPORT HRESULT QuickLookGeneratorQueryInterface(void* thisInstance, REFIID iid,
                                                        LPVOID* ppv);
VANTLER_EXPORT ULONG QuickLookGeneratorPluginAddRef(void* thisInstance);
VANTLER_EXPORT ULONG QuickLookGeneratorPluginRelease(void* thisInstance);

}  // extern "C"

// The product's factory UUID, under which the host finds the factory.
inline constexpr const char* kVantlerGeneratorFactoryUUID = "2F3A9C4E-8B1D-4E6A-9F27-5C0B7D13A8E4";

// The instance record, fields in the order QuickLook lays them out. The host holds a pointer to it
// and reaches the table through its first field.
struct QuickLookGeneratorPluginType {
    QLGeneratorInterfaceStruct* conduitInterface;
    CFUUIDRef factoryID;
    uint32_t refCount;  // plain: the host uses an instance from one thread at a time
};
