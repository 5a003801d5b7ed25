// The CFUUID and CFPlugIn calls a generator plug-in makes of its host.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "QuickLook.h"

namespace {

CFUUIDRef uuidFrom(const char* text) {
    return CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR(text));
}

TEST(CFUUID, ParsesEitherCaseAndRefusesNonsense) {
    CFUUIDRef lower = uuidFrom("5e2d9680-5022-40fa-b806-43349622e5b9");
    EXPECT_TRUE(CFEqual(lower, kQLGeneratorTypeID));
    EXPECT_EQ(CFUUIDGetUUIDBytes(lower).byte7, 0xFA);
    CFRelease(lower);
    // clang-format off
    for (const char* bad : {"", "5E2D9680502240FAB80643349622E5B9", "5E2D9680-5022-40FA-B806-43349622E5BG",
                            "5E2D9680-5022-40FA-B806-43349622E5B", "5E2D9680-5022-40FA-B806_43349622E5B9",
                            "5E2D9680-5022-40FA-B806-43349622E5B9 "})
        EXPECT_EQ(uuidFrom(bad), nullptr) << bad;
    // clang-format on
}

// A plug-in releases what it was lent as often as it likes: constants, interned strings and null
// survive; a created UUID lives while references are left.
TEST(CFUUID, ReferenceCounting) {
    CFRelease(kQLGeneratorCallbacksInterfaceID);
    CFRelease(nullptr);
    CFRelease(CFSTR("public.image"));
    EXPECT_EQ(CFUUIDGetUUIDBytes(kQLGeneratorCallbacksInterfaceID).byte0, 0x86);
    EXPECT_EQ(kUTTypeImage->UTF8String(), "public.image");  // interned
    CFUUIDRef uuid =
        CFUUIDCreateFromUUIDBytes(kCFAllocatorDefault, CFUUIDGetUUIDBytes(kQLGeneratorTypeID));
    CFRelease(CFRetain(uuid));
    EXPECT_TRUE(CFEqual(uuid, kQLGeneratorTypeID));  // one reference left: still alive
    CFRelease(uuid);
}

// Instances count per factory UUID value, never below 0, consistently under threads.
TEST(CFPlugIn, InstanceCountsPerFactory) {
    CFUUIDRef factory = uuidFrom("11111111-2222-3333-4444-555555555555");
    CFUUIDRef sameValue = uuidFrom("11111111-2222-3333-4444-555555555555");
    CFPlugInAddInstanceForFactory(factory);
    CFPlugInAddInstanceForFactory(sameValue);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 2u);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(kQLGeneratorTypeID), 0u);
    for (int i = 0; i < 3; ++i) CFPlugInRemoveInstanceForFactory(factory);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(sameValue), 0u);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([factory] {
            for (int i = 0; i < 1000; ++i)
                CFRetain(factory), CFPlugInAddInstanceForFactory(factory);
            for (int i = 0; i < 1000; ++i)
                CFPlugInRemoveInstanceForFactory(factory), CFRelease(factory);
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 0u);
    EXPECT_EQ(CFUUIDGetUUIDBytes(factory).byte15, 0x55);  // the creator's reference keeps it
    CFRelease(factory);
    CFRelease(sameValue);
}

}  // namespace
