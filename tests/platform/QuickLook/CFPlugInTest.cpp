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
    CFUUIDRef upper = uuidFrom("5E2D9680-5022-40FA-B806-43349622E5B9");
    CFUUIDRef lower = uuidFrom("5e2d9680-5022-40fa-b806-43349622e5b9");
    ASSERT_NE(upper, nullptr);
    EXPECT_NE(upper, lower);
    EXPECT_TRUE(CFEqual(upper, lower));
    EXPECT_TRUE(CFEqual(upper, kQLGeneratorTypeID));
    const CFUUIDBytes bytes = CFUUIDGetUUIDBytes(upper);
    EXPECT_EQ(bytes.byte0, 0x5E);
    EXPECT_EQ(bytes.byte7, 0xFA);
    EXPECT_EQ(bytes.byte15, 0xB9);
    for (const char* bad :
         {"", "5E2D9680502240FAB80643349622E5B9", "5E2D9680-5022-40FA-B806-43349622E5BG",
          "5E2D9680-5022-40FA-B806-43349622E5B", "5E2D9680-5022-40FA-B806_43349622E5B9",
          "5E2D9680-5022-40FA-B806-43349622E5B9 "})
        EXPECT_EQ(uuidFrom(bad), nullptr) << bad;
    EXPECT_EQ(CFUUIDCreateFromString(kCFAllocatorDefault, nullptr), nullptr);
    CFRelease(upper);
    CFRelease(lower);
}

// A plug-in releases what it was lent as often as it likes: constants, interned strings and null
// survive; a created UUID lives while references are left.
TEST(CFUUID, ReferenceCounting) {
    CFUUIDRef constant = kQLGeneratorCallbacksInterfaceID;
    CFRelease(constant);
    CFRelease(constant);
    EXPECT_EQ(CFUUIDGetUUIDBytes(kQLGeneratorCallbacksInterfaceID).byte0, 0x86);
    EXPECT_FALSE(CFEqual(kQLGeneratorTypeID, kQLGeneratorCallbacksInterfaceID));
    CFUUIDRef uuid =
        CFUUIDCreateFromUUIDBytes(kCFAllocatorDefault, CFUUIDGetUUIDBytes(kQLGeneratorTypeID));
    EXPECT_EQ(CFRetain(uuid), uuid);
    CFRelease(uuid);
    EXPECT_TRUE(CFEqual(uuid, kQLGeneratorTypeID));  // one reference left: still alive
    CFRelease(uuid);
    EXPECT_EQ(CFRetain(nullptr), nullptr);
    CFRelease(nullptr);
    EXPECT_FALSE(CFEqual(nullptr, nullptr));
    const CFStringRef text = CFSTR("public.image");
    EXPECT_EQ(text, kUTTypeImage);  // interned
    CFRelease(text);
    EXPECT_EQ(kUTTypeImage->UTF8String(), "public.image");
    EXPECT_FALSE(CFEqual(text, kQLGeneratorTypeID));
}

// Instances count per factory UUID value, never below 0, consistently under threads.
TEST(CFPlugIn, InstanceCountsPerFactory) {
    CFUUIDRef factory = uuidFrom("11111111-2222-3333-4444-555555555555");
    CFUUIDRef sameValue = uuidFrom("11111111-2222-3333-4444-555555555555");
    CFUUIDRef other = uuidFrom("11111111-2222-3333-4444-555555555556");
    CFPlugInAddInstanceForFactory(factory);
    CFPlugInAddInstanceForFactory(sameValue);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 2u);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(other), 0u);
    for (int i = 0; i < 3; ++i) CFPlugInRemoveInstanceForFactory(factory);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(sameValue), 0u);
    CFPlugInAddInstanceForFactory(nullptr);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(nullptr), 0u);

    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([other] {
            for (int i = 0; i < 1000; ++i) CFRetain(other), CFPlugInAddInstanceForFactory(other);
            for (int i = 0; i < 1000; ++i)
                CFPlugInRemoveInstanceForFactory(other), CFRelease(other);
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(other), 0u);
    EXPECT_EQ(CFUUIDGetUUIDBytes(other).byte15, 0x56);  // the creator's reference keeps it
    for (CFUUIDRef uuid : {factory, sameValue, other}) CFRelease(uuid);
}

}  // namespace
