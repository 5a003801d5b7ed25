// The CFUUID and CFPlugIn calls a generator plug-in makes of its host.

#include <gtest/gtest.h>

#include "QuickLook.h"

namespace {

CFUUIDRef uuidFrom(const char* text) {
    return CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR(text));
}

TEST(CFUUID, ParsesEitherCaseAndRefusesNonsense) {
    CFUUIDRef lower = uuidFrom("5e2d9680-5022-40fa-b806-43349622e5b9");
    EXPECT_TRUE(CFEqual(lower, kQLGeneratorTypeID));  // all 16 bytes
    CFRelease(lower);
    // clang-format off
    for (const char* bad : {"", "5E2D9680502240FAB80643349622E5B9", "5E2D9680-5022-40FA-B806-43349622E5BG",
                            "5E2D9680-5022-40FA-B806-43349622E5B", "5E2D9680-5022-40FA-B806_43349622E5B9",
                            "5E2D9680-5022-40FA-B806-43349622E5B9 "})
        EXPECT_EQ(uuidFrom(bad), nullptr) << bad;
    // clang-format on
}

// Instances count per factory UUID value, never below 0.
TEST(CFPlugIn, InstanceCountsPerFactory) {
    CFUUIDRef factory = uuidFrom("11111111-2222-3333-4444-555555555555");
    CFUUIDRef sameValue = uuidFrom("11111111-2222-3333-4444-555555555555");
    CFPlugInAddInstanceForFactory(factory);
    CFPlugInAddInstanceForFactory(sameValue);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 2u);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(kQLGeneratorTypeID), 0u);
    for (int i = 0; i < 3; ++i) CFPlugInRemoveInstanceForFactory(factory);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(sameValue), 0u);
    CFRelease(CFRetain(factory));
    EXPECT_EQ(CFUUIDGetUUIDBytes(factory).byte15, 0x55);  // the creator's reference keeps it
    CFRelease(factory);
    CFRelease(sameValue);
}

}  // namespace
