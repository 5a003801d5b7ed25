// Loading and unloading a generator plug-in, with the test generator plug-ins of tests/plugins.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "QLGeneratorHost.h"
#include "QLTestSupport.h"

namespace {

bool isLoaded(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

std::shared_ptr<QLGeneratorHost> load(const char* path, std::string* error = nullptr) {
    std::string ignored;
    return QLGeneratorHost::hostWithPath_error(path, error ? error : &ignored);
}

// The factory of each module (tests/plugins/CMakeLists.txt) ends in its variant number.
CFUUIDRef factoryOfVariant(char variant) {
    const std::string text = std::string("7D1E5B3A-2C4F-4A8B-9E6D-0F1A2B3C4D5") + variant;
    return CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR(text.c_str()));
}

TEST(QLGeneratorHost, LoadsQueriesAndUnloads) {
    ASSERT_FALSE(isLoaded(VANTLER_TEST_GENERATOR));
    auto host = load(VANTLER_TEST_GENERATOR), second = load(VANTLER_TEST_GENERATOR);
    ASSERT_NE(host, nullptr);
    // The test's own reference keeps the module mapped to read its log after the hosts are gone.
    void* handle = dlopen(VANTLER_TEST_GENERATOR, RTLD_NOW | RTLD_NOLOAD);
    char log[256] = "";
    const auto callLog = [&] {
        reinterpret_cast<size_t (*)(char*, size_t)>(dlsym(handle, "TestGeneratorCallLog"))(log,
                                                                                           256);
        return std::string(log);
    };
    // Per host: the factory's reference (1), the query's (2), the factory's released (1).
    EXPECT_EQ(callLog(), "factory query addref=2 release=1 factory query addref=2 release=1");
    CFUUIDRef factory = factoryOfVariant('0');
    EXPECT_TRUE(CFEqual(host->factoryID(), factory));
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 2u);

    test::ScratchDirectory scratch;  // the handlers are reached through the queried table
    EXPECT_EQ(host->generateThumbnail(qltest::documentNamed(scratch.path(), "refuse"), {}).status,
              1);
    EXPECT_TRUE(
        host->generatePreview(qltest::documentNamed(scratch.path(), "draw-8x6"), {}).flushed);
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
                      noInterface = VANTLER_TEST_GENERATOR_NO_INTERFACE;
    const struct {
        std::string path, error;
    } cases[] = {
        {"/nonexistent/VantlerQuickLook.so",
         "/nonexistent/VantlerQuickLook.so: cannot open shared object file: No such file or "
         "directory"},
        {noFactory, noFactory + " has no QuickLookGeneratorPluginFactory"},
        {refuses, "the factory of " + refuses + " refused the generator type"},
        {noInterface, noInterface + " does not offer the generator callbacks interface"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(load(c.path.c_str(), &error), nullptr);
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(isLoaded(c.path.c_str())) << c.path;
    }
    // The instance the query was refused by was released.
    CFUUIDRef factory = factoryOfVariant('3');
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 0u);
    CFRelease(factory);
}

// An instance that never reached 0 references would point at unmapped code after an unload.
TEST(QLGeneratorHost, PlugInWithALiveInstanceStaysLoaded) {
    load(VANTLER_TEST_GENERATOR_LEAKS).reset();
    CFUUIDRef factory = factoryOfVariant('4');
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 1u);
    EXPECT_TRUE(isLoaded(VANTLER_TEST_GENERATOR_LEAKS));
    CFRelease(factory);
}

}  // namespace
