// The CFUUID / CFPlugIn subset of the host (Part 1.2 "Platform component-model calls used").

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "QuickLook.h"

namespace {

CFUUIDRef uuidFrom(const char* text) { return CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR(text)); }

TEST(Part1_2_CFPlugIn, UUIDFromStringReadsEitherCaseAndRefusesNonsense) {
    CFUUIDRef upper = uuidFrom("5E2D9680-5022-40FA-B806-43349622E5B9");
    CFUUIDRef lower = uuidFrom("5e2d9680-5022-40fa-b806-43349622e5b9");
    ASSERT_NE(upper, nullptr);
    ASSERT_NE(lower, nullptr);
    EXPECT_NE(upper, lower);
    EXPECT_TRUE(CFEqual(upper, lower));
    EXPECT_TRUE(CFEqual(upper, kQLGeneratorTypeID));
    const CFUUIDBytes bytes = CFUUIDGetUUIDBytes(upper);
    EXPECT_EQ(bytes.byte0, 0x5E);
    EXPECT_EQ(bytes.byte7, 0xFA);
    EXPECT_EQ(bytes.byte15, 0xB9);
    for (const char* bad : {"", "5E2D9680502240FAB80643349622E5B9", "5E2D9680-5022-40FA-B806-43349622E5BG",
                            "5E2D9680-5022-40FA-B806-43349622E5B", "5E2D9680-5022-40FA-B806_43349622E5B9",
                            "5E2D9680-5022-40FA-B806-43349622E5B9 "})
        EXPECT_EQ(uuidFrom(bad), nullptr) << bad;
    EXPECT_EQ(CFUUIDCreateFromString(kCFAllocatorDefault, nullptr), nullptr);
    CFRelease(upper);
    CFRelease(lower);
}

TEST(Part1_2_CFPlugIn, ConstantUUIDsAreOneObjectPerValue) {
    EXPECT_EQ(kQLGeneratorTypeID, kQLGeneratorTypeID);
    EXPECT_NE(kQLGeneratorTypeID, kQLGeneratorCallbacksInterfaceID);
    EXPECT_FALSE(CFEqual(kQLGeneratorTypeID, kQLGeneratorCallbacksInterfaceID));
    // Releasing a constant never frees it.
    CFUUIDRef constant = kQLGeneratorCallbacksInterfaceID;
    CFRelease(constant);
    CFRelease(constant);
    EXPECT_EQ(CFUUIDGetUUIDBytes(kQLGeneratorCallbacksInterfaceID).byte0, 0x86);
    EXPECT_EQ(CFRetain(constant), constant);
}

TEST(Part1_2_CFPlugIn, RetainAndReleaseCountReferences) {
    CFUUIDRef uuid = CFUUIDCreateFromUUIDBytes(kCFAllocatorDefault, CFUUIDGetUUIDBytes(kQLGeneratorTypeID));
    EXPECT_EQ(CFRetain(uuid), uuid);
    CFRelease(uuid);
    EXPECT_TRUE(CFEqual(uuid, kQLGeneratorTypeID));  // one reference left: still alive
    CFRelease(uuid);
    // Null and objects that are not UUIDs are left alone.
    EXPECT_EQ(CFRetain(nullptr), nullptr);
    CFRelease(nullptr);
    const CFStringRef text = CFSTR("text");
    EXPECT_EQ(CFRetain(text), text);
    CFRelease(text);
    EXPECT_FALSE(CFEqual(text, kQLGeneratorTypeID));
    EXPECT_TRUE(CFEqual(text, text));
    EXPECT_FALSE(CFEqual(nullptr, nullptr));
}

TEST(Part1_2_CFPlugIn, ConstantStringsAreInterned) {
    EXPECT_EQ(CFSTR("public.image"), kUTTypeImage);
    EXPECT_EQ(kUTTypeImage->UTF8String(), "public.image");
    EXPECT_NE(CFSTR("a"), CFSTR("b"));
}

TEST(Part1_2_CFPlugIn, InstanceCountsPerFactoryByValue) {
    CFUUIDRef factory = uuidFrom("11111111-2222-3333-4444-555555555555");
    CFUUIDRef sameValue = uuidFrom("11111111-2222-3333-4444-555555555555");
    CFUUIDRef other = uuidFrom("11111111-2222-3333-4444-555555555556");
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 0u);
    CFPlugInAddInstanceForFactory(factory);
    CFPlugInAddInstanceForFactory(sameValue);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 2u);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(other), 0u);
    CFPlugInRemoveInstanceForFactory(factory);
    CFPlugInRemoveInstanceForFactory(factory);
    CFPlugInRemoveInstanceForFactory(factory);  // one more than added: stays at 0
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(sameValue), 0u);
    CFPlugInAddInstanceForFactory(nullptr);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(nullptr), 0u);
    for (CFUUIDRef uuid : {factory, sameValue, other}) CFRelease(uuid);
}

TEST(Part1_2_CFPlugIn, CountsAndReferencesHoldUnderThreads) {
    CFUUIDRef factory = uuidFrom("22222222-2222-3333-4444-555555555555");
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([factory] {
            for (int i = 0; i < 1000; ++i) {
                CFRetain(factory);
                CFPlugInAddInstanceForFactory(factory);
            }
            for (int i = 0; i < 1000; ++i) {
                CFPlugInRemoveInstanceForFactory(factory);
                CFRelease(factory);
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 0u);
    EXPECT_EQ(CFUUIDGetUUIDBytes(factory).byte0, 0x22);  // the creator's reference keeps it
    CFRelease(factory);
}

}  // namespace
