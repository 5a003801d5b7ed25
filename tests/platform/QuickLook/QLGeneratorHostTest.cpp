// Loading and unloading a generator plug-in, with the test generator plug-ins of tests/plugins.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "QLGeneratorHost.h"
#include "QuickLook.h"

namespace {

bool isLoaded(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

// The factory of each module (tests/plugins/CMakeLists.txt) ends in its variant number.
CFUUIDRef factoryOfVariant(char variant) {
    const std::string text = std::string("7D1E5B3A-2C4F-4A8B-9E6D-0F1A2B3C4D5") + variant;
    return CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR(text.c_str()));
}

TEST(QLGeneratorHost, LoadsQueriesAndUnloads) {
    ASSERT_FALSE(isLoaded(VANTLER_TEST_GENERATOR));
    std::string error;
    auto host = QLGeneratorHost::hostWithPath_error(VANTLER_TEST_GENERATOR, &error),
         second = QLGeneratorHost::hostWithPath_error(VANTLER_TEST_GENERATOR, &error);
    ASSERT_NE(host, nullptr);
    // The test's own reference keeps the module mapped to read its log after the hosts are gone.
    void* handle = dlopen(VANTLER_TEST_GENERATOR, RTLD_NOW | RTLD_NOLOAD);
    const auto logOf =
        reinterpret_cast<size_t (*)(char*, size_t)>(dlsym(handle, "TestGeneratorCallLog"));
    char log[256] = "";
    const auto callLog = [&] { return std::string(log, std::min<size_t>(logOf(log, 256), 255)); };
    // Per host: the factory's reference (1), the query's (2), the factory's released (1).
    EXPECT_EQ(callLog(), "factory query addref=2 release=1 factory query addref=2 release=1");
    CFUUIDRef factory = factoryOfVariant('0');
    EXPECT_TRUE(CFEqual(host->factoryID(), factory));
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 2u);

    EXPECT_EQ(host->generateThumbnail("", {}).status, 1);  // no document: no call
    host.reset();
    EXPECT_TRUE(isLoaded(VANTLER_TEST_GENERATOR));  // the second host still uses it
    second.reset();
    EXPECT_TRUE(callLog().ends_with("release=0 release=0"));
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 0u);
    dlclose(handle);
    EXPECT_FALSE(isLoaded(VANTLER_TEST_GENERATOR));
    CFRelease(factory);
}

TEST(QLGeneratorHost, FailuresSayWhyAndUnload) {
    const std::string noFactory = VANTLER_TEST_GENERATOR_NO_FACTORY,
                      refuses = VANTLER_TEST_GENERATOR_REFUSES_TYPE,
                      noInterface = VANTLER_TEST_GENERATOR_NO_INTERFACE,
                      missing = "/nonexistent/a.so";
    const std::pair<std::string, std::string> cases[] = {
        // clang-format off
        {missing, missing + ": cannot open shared object file: No such file or directory"},
        {noFactory, noFactory + " has no QuickLookGeneratorPluginFactory"},
        {refuses, "the factory of " + refuses + " refused the generator type"},
        {noInterface, noInterface + " does not offer the generator callbacks interface"},
        // clang-format on
    };
    for (const auto& [path, expected] : cases) {
        std::string error;
        EXPECT_EQ(QLGeneratorHost::hostWithPath_error(path, &error), nullptr);
        EXPECT_EQ(error, expected);
        EXPECT_FALSE(isLoaded(path.c_str())) << path;
    }
    // The instance the query was refused by was released.
    CFUUIDRef factory = factoryOfVariant('3');
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 0u);
    CFRelease(factory);
}

}  // namespace
