// Loading and unloading a generator plug-in (Part 1.2 "State and lifecycle", as the host plays it),
// with the test generator plug-ins of tests/plugins.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "HostPolicy.h"
#include "QLGeneratorHost.h"
#include "QLTestSupport.h"

namespace {

// The factory of VANTLER_TEST_GENERATOR (tests/plugins/CMakeLists.txt); the other modules' end in
// their variant number.
constexpr const char* kTestFactoryUUID = "7D1E5B3A-2C4F-4A8B-9E6D-0F1A2B3C4D50";

bool isLoaded(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

// The plug-in's call log (TestGenerator.h) from `handle`, a reference of the test's own that keeps
// it loaded.
std::string callLog(void* handle) {
    using LogFunction = size_t (*)(char*, size_t);
    const auto log = reinterpret_cast<LogFunction>(dlsym(handle, "TestGeneratorCallLog"));
    if (!log) return "no log";
    char text[256];
    log(text, sizeof text);
    return text;
}

std::shared_ptr<QLGeneratorHost> load(const char* path, std::string* error = nullptr) {
    std::string ignored;
    return QLGeneratorHost::hostWithPath_error(path, error ? error : &ignored);
}

TEST(Part1_2_GeneratorHost, FactoryQueryReleaseThenUnload) {
    ASSERT_FALSE(isLoaded(VANTLER_TEST_GENERATOR));
    std::string error;
    auto host = load(VANTLER_TEST_GENERATOR, &error);
    ASSERT_NE(host, nullptr) << error;
    void* handle = dlopen(VANTLER_TEST_GENERATOR, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    // The factory's reference (1), the query's (2), the factory's released (1).
    EXPECT_EQ(std::string(callLog(handle)), "factory query addref=2 release=1");
    CFUUIDRef factory = CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR(kTestFactoryUUID));
    EXPECT_TRUE(CFEqual(host->factoryID(), factory));
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 1u);
    EXPECT_EQ(host->path(), VANTLER_TEST_GENERATOR);

    host.reset();
    EXPECT_EQ(std::string(callLog(handle)), "factory query addref=2 release=1 release=0");
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 0u);
    dlclose(handle);
    EXPECT_FALSE(isLoaded(VANTLER_TEST_GENERATOR));  // the host's dlclose was the last
    CFRelease(factory);
}

TEST(Part1_2_GeneratorHost, HandlersAreReachedThroughTheTable) {
    auto host = load(VANTLER_TEST_GENERATOR);
    ASSERT_NE(host, nullptr);
    test::ScratchDirectory scratch;
    EXPECT_EQ(host->generateThumbnail(qltest::documentNamed(scratch.path(), "refuse.doc"), {}).status, 1);
    EXPECT_EQ(host->generatePreview(qltest::documentNamed(scratch.path(), "refuse.doc"), {}).status, 1);
    const auto thumbnail = host->generateThumbnail(qltest::documentNamed(scratch.path(), "draw-8x6"), {});
    EXPECT_EQ(thumbnail.status, 0);
    EXPECT_TRUE(thumbnail.flushed);
    const auto preview = host->generatePreview(qltest::documentNamed(scratch.path(), "maxsize"), {});
    ASSERT_TRUE(preview.context);
    EXPECT_EQ(preview.context->size, (CGSize{100, 100}));  // the test generator's preview size
    // No document: status 1 without calling the handler.
    EXPECT_EQ(host->generateThumbnail("", {}).status, 1);
}

TEST(Part1_2_GeneratorHost, TwoHostsOfOnePlugInShareItUntilTheLastGoes) {
    auto first = load(VANTLER_TEST_GENERATOR), second = load(VANTLER_TEST_GENERATOR);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(first->factoryID()), 2u);
    first.reset();
    EXPECT_TRUE(isLoaded(VANTLER_TEST_GENERATOR));
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(second->factoryID()), 1u);
    second.reset();
    EXPECT_FALSE(isLoaded(VANTLER_TEST_GENERATOR));
}

TEST(Part1_2_GeneratorHost, FailuresSayWhy) {
    std::string error;
    EXPECT_EQ(load("/nonexistent/VantlerQuickLook.so", &error), nullptr);
    EXPECT_NE(error.find("/nonexistent/VantlerQuickLook.so"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;

    EXPECT_EQ(load(VANTLER_TEST_GENERATOR_NO_FACTORY, &error), nullptr);
    EXPECT_EQ(error, std::string(VANTLER_TEST_GENERATOR_NO_FACTORY) + " has no QuickLookGeneratorPluginFactory");
    EXPECT_FALSE(isLoaded(VANTLER_TEST_GENERATOR_NO_FACTORY));

    EXPECT_EQ(load(VANTLER_TEST_GENERATOR_REFUSES_TYPE, &error), nullptr);
    EXPECT_EQ(error, "the factory of " + std::string(VANTLER_TEST_GENERATOR_REFUSES_TYPE) +
                         " refused the generator type");
    EXPECT_FALSE(isLoaded(VANTLER_TEST_GENERATOR_REFUSES_TYPE));

    EXPECT_EQ(load(VANTLER_TEST_GENERATOR_NO_INTERFACE, &error), nullptr);
    EXPECT_EQ(error, std::string(VANTLER_TEST_GENERATOR_NO_INTERFACE) +
                         " does not offer the generator callbacks interface");
    // The factory's instance was released: nothing is left, so the plug-in was unloaded.
    CFUUIDRef factory = CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR("7D1E5B3A-2C4F-4A8B-9E6D-0F1A2B3C4D53"));
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 0u);
    EXPECT_FALSE(isLoaded(VANTLER_TEST_GENERATOR_NO_INTERFACE));
    CFRelease(factory);
}

TEST(Part1_2_GeneratorHost, PlugInWithALiveInstanceStaysLoaded) {
    auto host = load(VANTLER_TEST_GENERATOR_LEAKS);
    ASSERT_NE(host, nullptr);
    CFUUIDRef factory = static_cast<CFUUIDRef>(CFRetain(host->factoryID()));
    host.reset();
    // Its instance never reached 0 references: unloading would leave it pointing at unmapped code.
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factory), 1u);
    EXPECT_TRUE(isLoaded(VANTLER_TEST_GENERATOR_LEAKS));
    CFRelease(factory);
}

TEST(Part1_2_GeneratorHost, PathFromOptionThenEnvironmentThenProgramFolder) {
    EXPECT_EQ(generatorPlugInPath("/x/option.so"), "/x/option.so");
    const char* saved = std::getenv("VANTLER_GENERATOR");
    const std::string savedValue = saved ? saved : "";
    setenv("VANTLER_GENERATOR", "/x/environment.so", 1);
    EXPECT_EQ(generatorPlugInPath("/x/option.so"), "/x/option.so");
    EXPECT_EQ(generatorPlugInPath(""), "/x/environment.so");
    setenv("VANTLER_GENERATOR", "", 1);
    const auto program = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(generatorPlugInPath(""),
              (program.parent_path().parent_path() / "lib/vantler/VantlerQuickLook.so").string());
    if (saved) setenv("VANTLER_GENERATOR", savedValue.c_str(), 1);
    else unsetenv("VANTLER_GENERATOR");
}

}  // namespace
