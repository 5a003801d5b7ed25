#pragma once
// The subset of CoreFoundation's plug-in model that a QuickLook generator uses, with
// CoreFoundation's names and COM-style types. It lives on the host side (in libVantler), as
// CFPlugIn lives in the system on a Mac: the generator plug-in links it and calls it.
//
// Objects: of CoreFoundation's object types only CFUUID exists here. CFRetain, CFRelease and
// CFEqual take any CFTypeRef but know only UUIDs. Strings, data, URLs and dictionaries are the
// Foundation stand-in's objects, passed as borrowed pointers (CoreFoundation's "toll-free
// bridging": CFStringRef is an NSString*).

#include <cstdint>

#include "NSData.h"
#include "NSDictionary.h"
#include "NSString.h"
#include "NSURL.h"

#pragma GCC visibility push(default)  // exported from libVantler

using Boolean = uint8_t;
using OSStatus = int32_t;
using HRESULT = int32_t;
using ULONG = uint32_t;
using LPVOID = void*;

using CFTypeRef = const void*;
using CFAllocatorRef = const void*;  // allocators are not used: always the default allocator
using CFStringRef = const NSString*;
using CFDataRef = const NSData*;
using CFURLRef = const NSURL*;
using CFDictionaryRef = const NSDictionary*;

constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

// The 16 bytes of a UUID, in their written order.
struct CFUUIDBytes {
    uint8_t byte0, byte1, byte2, byte3, byte4, byte5, byte6, byte7;
    uint8_t byte8, byte9, byte10, byte11, byte12, byte13, byte14, byte15;
};
using REFIID = CFUUIDBytes;

struct __CFUUID;
using CFUUIDRef = const __CFUUID*;

extern "C" {

// A constant string that lives as long as the process (one object per distinct text).
CFStringRef __CFStringMakeConstantString(const char* cStr);
#define CFSTR(cStr) __CFStringMakeConstantString(cStr)

// A new UUID (reference count 1) from its text "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (hex digits
// of either case); null when the text is not one.
CFUUIDRef CFUUIDCreateFromString(CFAllocatorRef allocator, CFStringRef uuidString);
CFUUIDRef CFUUIDCreateFromUUIDBytes(CFAllocatorRef allocator, CFUUIDBytes bytes);
// The one UUID object of the process for these bytes; never freed (CFRetain/CFRelease keep it).
CFUUIDRef CFUUIDGetConstantUUIDWithBytes(CFAllocatorRef allocator, uint8_t byte0, uint8_t byte1,
                                         uint8_t byte2, uint8_t byte3, uint8_t byte4, uint8_t byte5,
                                         uint8_t byte6, uint8_t byte7, uint8_t byte8, uint8_t byte9,
                                         uint8_t byte10, uint8_t byte11, uint8_t byte12,
                                         uint8_t byte13, uint8_t byte14, uint8_t byte15);
CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid);

CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);
// Two UUIDs are equal when their bytes are; anything else only to itself.
Boolean CFEqual(CFTypeRef a, CFTypeRef b);

// The host counts the live instances of each factory, so that it may unload a plug-in when none is
// left.
void CFPlugInAddInstanceForFactory(CFUUIDRef factoryID);
void CFPlugInRemoveInstanceForFactory(CFUUIDRef factoryID);
// Ours: how many instances of the factory are live (what the host checks before unloading).
uint32_t CFPlugInGetInstanceCountForFactory(CFUUIDRef factoryID);

}  // extern "C"

// COM result codes.
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80000004);

#pragma GCC visibility pop
