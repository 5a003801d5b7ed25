#pragma once
// A generator plug-in for the host's tests: it answers each request after the document's file
// name (TestGeneratorHandlers.cpp lists the names), so that a test picks a behaviour by naming a
// file.

#include <cstddef>

#include "QuickLook.h"

#define TEST_GENERATOR_EXPORT __attribute__((visibility("default")))

OSStatus TestGenerateThumbnail(void* thisInterface, QLThumbnailRequestRef thumbnail, CFURLRef url,
                               CFStringRef contentTypeUTI, CFDictionaryRef options, CGSize maxSize);
void TestCancelThumbnail(void* thisInterface, QLThumbnailRequestRef thumbnail);
OSStatus TestGeneratePreview(void* thisInterface, QLPreviewRequestRef preview, CFURLRef url,
                             CFStringRef contentTypeUTI, CFDictionaryRef options);
void TestCancelPreview(void* thisInterface, QLPreviewRequestRef preview);

extern "C" {
// The calls the host made to the plug-in glue, in order, separated by spaces: "factory", "query",
// "addref=N", "release=N" (N the count after the call), copied into `buffer` (at most size - 1
// characters and a terminating zero); returns the log's whole length. (A buffer of the caller's:
// a thread_local one would mark the module as never unloadable.)
TEST_GENERATOR_EXPORT size_t TestGeneratorCallLog(char* buffer, size_t size);
}
