// The Vantler generator plug-in's glue as a host sees it through dlopen: its factory, interface
// table and reference counts. Its answers to requests are tested through the programs.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "QuickLook.h"

namespace {

TEST(VantlerGeneratorPlugIn, FactoryInterfaceAndReferences) {
    void* library = dlopen(VANTLER_GENERATOR_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto factory = reinterpret_cast<QLGeneratorFactoryFunction>(
        dlsym(library, "QuickLookGeneratorPluginFactory"));
    CFUUIDRef factoryID =
        CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR("2F3A9C4E-8B1D-4E6A-9F27-5C0B7D13A8E4"));
    EXPECT_EQ(factory(kCFAllocatorDefault, kQLGeneratorCallbacksInterfaceID), nullptr);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 0u);  // nothing registered
    void* instance = factory(kCFAllocatorDefault, kQLGeneratorTypeID);
    ASSERT_NE(instance, nullptr);
    QLGeneratorInterfaceStruct* table = *static_cast<QLGeneratorInterfaceStruct**>(instance);
    EXPECT_TRUE(CFEqual(static_cast<CFUUIDRef*>(instance)[1], factoryID));  // after the table
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 1u);
    const CFUUIDBytes unknown = {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    void* out = instance;
    EXPECT_EQ(table->QueryInterface(instance, unknown, &out), HRESULT(0x80000004));  // IUnknown
    EXPECT_EQ(out, nullptr);
    const auto callbacks = CFUUIDGetUUIDBytes(kQLGeneratorCallbacksInterfaceID);
    EXPECT_EQ(table->QueryInterface(instance, callbacks, &out), S_OK);
    EXPECT_EQ(out, instance);
    EXPECT_EQ(reinterpret_cast<void*>(table->GenerateThumbnailForURL),
              dlsym(library, "GenerateThumbnailForURL"));
    EXPECT_EQ(table->AddRef(instance), 3u);  // the factory's, the query's, this one
    EXPECT_EQ(table->Release(instance), 2u);
    EXPECT_EQ(table->Release(instance), 1u);
    EXPECT_EQ(table->Release(instance), 0u);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 0u);
    CFRelease(factoryID);
    dlclose(library);
}

}  // namespace
