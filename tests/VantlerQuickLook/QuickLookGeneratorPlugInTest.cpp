// Part 1.2: the generator plug-in's factory, interface table and reference counting, called as the
// host calls them: the real plug-in loaded with dlopen.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "QuickLook.h"

namespace {

// The plug-in loaded for one test, and the C entry points the tests call.
class GeneratorPlugIn {
public:
    GeneratorPlugIn() : library_(dlopen(VANTLER_GENERATOR_PLUGIN, RTLD_NOW | RTLD_LOCAL)) {
        if (!library_) ADD_FAILURE() << dlerror();
    }
    ~GeneratorPlugIn() {
        if (library_) dlclose(library_);
    }
    template <class Function>
    Function symbol(const char* name) const {
        return reinterpret_cast<Function>(dlsym(library_, name));
    }
    void* factory(CFUUIDRef type) const {
        return symbol<QLGeneratorFactoryFunction>("QuickLookGeneratorPluginFactory")(kCFAllocatorDefault, type);
    }

private:
    void* library_;
};

QLGeneratorInterfaceStruct* tableOf(void* instance) { return *static_cast<QLGeneratorInterfaceStruct**>(instance); }

CFUUIDRef factoryIDOf(void* instance) {
    // Part 1.2 "Instance record": the table pointer, then the factory UUID.
    return static_cast<CFUUIDRef*>(instance)[1];
}

CFUUIDRef productFactoryID() {
    return CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR("2F3A9C4E-8B1D-4E6A-9F27-5C0B7D13A8E4"));
}

TEST(Part1_2_PlugIn, FactoryRefusesEveryOtherTypeAndRegistersNothing) {
    GeneratorPlugIn plugIn;
    CFUUIDRef factoryID = productFactoryID();
    CFUUIDRef other = CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR("00000000-0000-0000-0000-000000000001"));
    EXPECT_EQ(plugIn.factory(other), nullptr);
    EXPECT_EQ(plugIn.factory(kQLGeneratorCallbacksInterfaceID), nullptr);  // an interface is no type
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 0u);
    CFRelease(other);
    CFRelease(factoryID);
}

TEST(Part1_2_PlugIn, FactoryRegistersAnInstanceUnderTheProductFactory) {
    GeneratorPlugIn plugIn;
    CFUUIDRef factoryID = productFactoryID();
    void* instance = plugIn.factory(kQLGeneratorTypeID);
    ASSERT_NE(instance, nullptr);
    EXPECT_TRUE(CFEqual(factoryIDOf(instance), factoryID));
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 1u);
    EXPECT_EQ(tableOf(instance)->Release(instance), 0u);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 0u);
    CFRelease(factoryID);
}

TEST(Part1_2_PlugIn, SlotsFourToSevenAreNoneBeforeTheFirstQuery) {
    GeneratorPlugIn plugIn;
    void* instance = plugIn.factory(kQLGeneratorTypeID);
    ASSERT_NE(instance, nullptr);
    QLGeneratorInterfaceStruct* table = tableOf(instance);
    EXPECT_EQ(table->_reserved, nullptr);
    EXPECT_EQ(table->QueryInterface, plugIn.symbol<decltype(table->QueryInterface)>("QuickLookGeneratorQueryInterface"));
    EXPECT_EQ(table->AddRef, plugIn.symbol<decltype(table->AddRef)>("QuickLookGeneratorPluginAddRef"));
    EXPECT_EQ(table->Release, plugIn.symbol<decltype(table->Release)>("QuickLookGeneratorPluginRelease"));
    EXPECT_EQ(table->GenerateThumbnailForURL, nullptr);
    EXPECT_EQ(table->CancelThumbnailGeneration, nullptr);
    EXPECT_EQ(table->GeneratePreviewForURL, nullptr);
    EXPECT_EQ(table->CancelPreviewGeneration, nullptr);
    table->Release(instance);
}

TEST(Part1_2_PlugIn, OtherInterfacesAreNotOfferedAndLeaveTheCount) {
    GeneratorPlugIn plugIn;
    void* instance = plugIn.factory(kQLGeneratorTypeID);
    ASSERT_NE(instance, nullptr);
    QLGeneratorInterfaceStruct* table = tableOf(instance);
    // The component model's base interface (IUnknown, 00000000-0000-0000-C000-000000000046) too.
    const CFUUIDBytes unknownInterface = {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(table->QueryInterface(instance, unknownInterface, &out), static_cast<HRESULT>(0x80000004));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(table->GenerateThumbnailForURL, nullptr);
    // The count is still 1: one more reference makes 2, two releases free the instance.
    EXPECT_EQ(table->AddRef(instance), 2u);
    EXPECT_EQ(table->Release(instance), 1u);
    EXPECT_EQ(table->Release(instance), 0u);
}

TEST(Part1_2_PlugIn, FactoryAndOneQueryMakeTwoReferencesThatTwoReleasesFree) {
    GeneratorPlugIn plugIn;
    CFUUIDRef factoryID = productFactoryID();
    void* instance = plugIn.factory(kQLGeneratorTypeID);
    ASSERT_NE(instance, nullptr);
    QLGeneratorInterfaceStruct* table = tableOf(instance);
    void* queried = nullptr;
    EXPECT_EQ(table->QueryInterface(instance, CFUUIDGetUUIDBytes(kQLGeneratorCallbacksInterfaceID), &queried), S_OK);
    EXPECT_EQ(queried, instance);
    EXPECT_EQ(table->GenerateThumbnailForURL, plugIn.symbol<decltype(table->GenerateThumbnailForURL)>("GenerateThumbnailForURL"));
    EXPECT_EQ(table->CancelThumbnailGeneration, plugIn.symbol<decltype(table->CancelThumbnailGeneration)>("CancelThumbnailGeneration"));
    EXPECT_EQ(table->GeneratePreviewForURL, plugIn.symbol<decltype(table->GeneratePreviewForURL)>("GeneratePreviewForURL"));
    EXPECT_EQ(table->CancelPreviewGeneration, plugIn.symbol<decltype(table->CancelPreviewGeneration)>("CancelPreviewGeneration"));
    // The count is 2: the first release answers 1, the second frees the instance and answers 0.
    EXPECT_EQ(table->Release(instance), 1u);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 1u);
    EXPECT_EQ(table->Release(instance), 0u);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 0u);
    CFRelease(factoryID);
}

TEST(Part1_2_PlugIn, EveryFunctionOfThePartIsExportedWithCLinkage) {
    GeneratorPlugIn plugIn;
    for (const char* name : {"QuickLookGeneratorPluginFactory", "AllocQuickLookGeneratorPluginType",
                             "DeallocQuickLookGeneratorPluginType", "QuickLookGeneratorQueryInterface",
                             "QuickLookGeneratorPluginAddRef", "QuickLookGeneratorPluginRelease",
                             "GenerateThumbnailForURL", "CancelThumbnailGeneration", "GeneratePreviewForURL",
                             "CancelPreviewGeneration"})
        EXPECT_NE(plugIn.symbol<void*>(name), nullptr) << name;
}

}  // namespace
