#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "NSAppearance+Utilities.h"
#include "NSURL.h"
#include "TestSupport.h"
#include "UtilityFunctions.h"

namespace fs = std::filesystem;

TEST(UtilityFunctions, ProfileRunsTheWorkOnceAndTimesIt) {
    int runs = 0;
    const double seconds = profile([&] {
        ++runs;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    EXPECT_EQ(runs, 1);
    EXPECT_GE(seconds, 0.02);
}

TEST(UtilityFunctions, CleanupFileRemovesOnlyAReadableFile) {
    test::ScratchDirectory scratch;
    const fs::path file = scratch.path() / "clip copy.mov";
    test::writeFile(file, {1});
    cleanupFile(nullptr);
    cleanupFile(NSURL::URLWithString("https://example.com" + file.string()).get());
    EXPECT_TRUE(fs::exists(file));
    cleanupFile(NSURL::fileURLWithPath((scratch.path() / "missing").string()).get());
    if (geteuid() != 0) {  // root reads everything
        chmod(file.c_str(), 0);
        cleanupFile(NSURL::fileURLWithPath(file.string()).get());
        EXPECT_TRUE(fs::exists(file));
        chmod(file.c_str(), 0600);
    }
    cleanupFile(NSURL::fileURLWithPath(file.string()).get());
    EXPECT_FALSE(fs::exists(file));
}

TEST(UtilityFunctions, ModifierPressedAsksForAnyFlagOfTheMask) {
    struct Case {
        NSEventModifierFlags held, mask;
        bool pressed;
    } cases[] = {
        {0, NSEventModifierFlagCommand, false},
        {NSEventModifierFlagCommand, NSEventModifierFlagCommand, true},
        {NSEventModifierFlagShift, NSEventModifierFlagCommand | NSEventModifierFlagOption, false},
        {NSEventModifierFlagOption, NSEventModifierFlagCommand | NSEventModifierFlagOption, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.held);
        NSEvent::setCurrentModifierFlags(c.held);
        EXPECT_EQ(modifierPressed(c.mask), c.pressed);
    }
    NSEvent::setCurrentModifierFlags(0);
}

TEST(UtilityFunctions, DarkAppearancesAreTheDarkFamily) {
    ASSERT_TRUE(isMojaveOrLater());  // the platform here has dark appearances
    for (const auto& [name, dark] : {std::pair{NSAppearanceNameAqua, false},
                                     {NSAppearanceNameVibrantLight, false},
                                     {NSAppearanceNameDarkAqua, true},
                                     {NSAppearanceNameVibrantDark, true}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(isDark(*NSAppearance::appearanceNamed(name)), dark);
    }
    EXPECT_FALSE(NSAppearance::appearanceNamed("NSAppearanceNameUnknown"));
}
