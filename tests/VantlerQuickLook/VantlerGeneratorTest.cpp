// The Vantler generator plug-in as a host uses it: its factory, interface table and reference
// counts through dlopen, and its answers to thumbnail and preview requests for documents written
// as the design tool writes them.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <thread>

#include "../platform/QuickLook/QLTestSupport.h"
#include "DocumentShapes.h"
#include "QLGeneratorHost.h"

namespace {

using document_shapes::Document;
using qltest::kBlue;
using qltest::kClear;
using qltest::kRed;

TEST(VantlerGeneratorPlugIn, FactoryInterfaceAndReferences) {
    void* library = dlopen(VANTLER_GENERATOR_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto symbol = [library](const char* name) { return dlsym(library, name); };
    for (const char* name :
         {"AllocQuickLookGeneratorPluginType", "DeallocQuickLookGeneratorPluginType",
          "GenerateThumbnailForURL", "CancelThumbnailGeneration", "GeneratePreviewForURL",
          "CancelPreviewGeneration"})
        EXPECT_NE(symbol(name), nullptr) << name;  // exported with C linkage
    const auto factory =
        reinterpret_cast<QLGeneratorFactoryFunction>(symbol("QuickLookGeneratorPluginFactory"));
    CFUUIDRef factoryID =
        CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR("2F3A9C4E-8B1D-4E6A-9F27-5C0B7D13A8E4"));
    // Another type, or an interface's UUID, gets nothing and registers nothing.
    EXPECT_EQ(factory(kCFAllocatorDefault, kQLGeneratorCallbacksInterfaceID), nullptr);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 0u);

    void* instance = factory(kCFAllocatorDefault, kQLGeneratorTypeID);
    ASSERT_NE(instance, nullptr);
    QLGeneratorInterfaceStruct* table = *static_cast<QLGeneratorInterfaceStruct**>(instance);
    EXPECT_TRUE(CFEqual(static_cast<CFUUIDRef*>(instance)[1], factoryID));  // after the table
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 1u);
    EXPECT_EQ(reinterpret_cast<void*>(table->QueryInterface),
              symbol("QuickLookGeneratorQueryInterface"));
    EXPECT_EQ(reinterpret_cast<void*>(table->AddRef), symbol("QuickLookGeneratorPluginAddRef"));
    EXPECT_EQ(reinterpret_cast<void*>(table->Release), symbol("QuickLookGeneratorPluginRelease"));
    EXPECT_EQ(table->GenerateThumbnailForURL, nullptr);  // the handlers come with the query

    // The base interface (IUnknown) is not offered, and the count stays.
    const CFUUIDBytes unknown = {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    void* out = instance;
    EXPECT_EQ(table->QueryInterface(instance, unknown, &out), HRESULT(0x80000004));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(
        table->QueryInterface(instance, CFUUIDGetUUIDBytes(kQLGeneratorCallbacksInterfaceID), &out),
        S_OK);
    EXPECT_EQ(out, instance);
    EXPECT_EQ(reinterpret_cast<void*>(table->GenerateThumbnailForURL),
              symbol("GenerateThumbnailForURL"));
    EXPECT_EQ(reinterpret_cast<void*>(table->CancelPreviewGeneration),
              symbol("CancelPreviewGeneration"));
    EXPECT_EQ(table->AddRef(instance), 3u);  // the factory's, the query's, this one
    EXPECT_EQ(table->Release(instance), 2u);
    EXPECT_EQ(table->Release(instance), 1u);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 1u);
    EXPECT_EQ(table->Release(instance), 0u);
    EXPECT_EQ(CFPlugInGetInstanceCountForFactory(factoryID), 0u);
    CFRelease(factoryID);
    dlclose(library);
}

class VantlerGeneratorRequest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        host_ = QLGeneratorHost::hostWithPath_error(VANTLER_GENERATOR_PLUGIN, &error);
        ASSERT_NE(host_, nullptr) << error;
    }
    std::string file(const Document& document) { return file(bytesOf(document)); }
    std::string file(const std::vector<uint8_t>& bytes) {
        return qltest::documentNamed(scratch_.path(), std::to_string(++files_) + ".vantler", bytes);
    }
    static std::vector<uint8_t> bytesOf(const Document& document) {
        return qltest::bytesOf(document_shapes::make(document));
    }
    std::vector<QLRequestResult> bothRequests(const std::string& path,
                                              const QLRequestOptions& options = {}) {
        return {host_->generateThumbnail(path, options), host_->generatePreview(path, options)};
    }

    test::ScratchDirectory scratch_;
    int files_ = 0;
    std::shared_ptr<QLGeneratorHost> host_;
};

// The embedded thumbnail answers both requests as it is, even when the model would not load.
TEST_F(VantlerGeneratorRequest, EmbeddedThumbnailIsHandedOverUnchecked) {
    const std::vector<uint8_t> bytes = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
    for (const Document& document :
         {Document{.screens = {{{375, 667}}}, .thumbnail = bytes},
          Document{.formatVersion = 16, .thumbnail = bytes},
          Document{.formatVersion = 99, .thumbnail = bytes},
          Document{.root = std::shared_ptr<const NSObject>(), .thumbnail = bytes},
          Document{.root = NSString::stringWithUTF8String("x"), .thumbnail = bytes},
          Document{.prototypeVersion = 16, .thumbnail = bytes}}) {
        const auto results = bothRequests(file(document));
        for (const auto& result : results) {
            EXPECT_EQ(result.status, 0);
            EXPECT_EQ(qltest::bytesOf(result.data), bytes);
            EXPECT_FALSE(result.context);
            ASSERT_NE(result.dataProperties, nullptr);
            EXPECT_EQ(result.dataProperties->count(), 0u);
        }
        EXPECT_EQ(results[0].contentType, "");
        EXPECT_EQ(results[1].contentType, "public.image");
    }
}

TEST_F(VantlerGeneratorRequest, RefusedDocumentsAnswerOne) {
    const std::vector<std::vector<uint8_t>> refused = {
        {},
        {'g', 'a', 'r', 'b', 'a', 'g', 'e'},
        test::readFile(test::dataDir() / "documents" / "plain-dictionary.bplist"),
        bytesOf(Document{.screens = {{{10, 10}}}, .formatVersion = 16}),
        bytesOf(Document{.screens = {{{10, 10}}}, .formatVersion = 99}),
        bytesOf(Document{.root = std::shared_ptr<const NSObject>()}),
        bytesOf(Document{.root = NSString::stringWithUTF8String("x")}),
        bytesOf(Document{.screens = {{{10, 10}}}, .prototypeVersion = 16}),
        bytesOf(Document{}),  // no screens
    };
    for (size_t i = 0; i < refused.size(); ++i)
        for (const auto& result : bothRequests(file(refused[i]))) {
            EXPECT_EQ(result.status, 1) << "refusal " << i;
            EXPECT_EQ(result.data, nullptr) << "refusal " << i;
            EXPECT_FALSE(result.context) << "refusal " << i;
        }
    for (const auto& result : bothRequests((scratch_.path() / "missing.vantler").string()))
        EXPECT_EQ(result.status, 1);
}

// A thumbnail is the entry screen at its own size, whatever the maximum; a preview puts the screens
// side by side on the bottom edge, 30 points apart, each clipped to its size.
TEST_F(VantlerGeneratorRequest, DrawnPictures) {
    QLRequestOptions small;
    small.maxSize = {64, 64};
    const auto zeroLengthThumbnail = host_->generateThumbnail(
        file(Document{.screens = {{{40, 30}, {1, 0, 0, 1}}}, .thumbnail = std::vector<uint8_t>{}}),
        small);
    const auto entry = host_->generateThumbnail(
        file(Document{.screens = {{{375, 667}, {0, 0, 1, 1}}, {{100, 100}, {1, 0, 0, 1}}}}), small);
    const auto two = host_->generatePreview(
        file(Document{.screens = {{{100, 200}, {1, 0, 0, 1}}, {{300, 100}, {0, 0, 1, 1}}}}), {});
    const struct {
        const QLRequestResult& result;
        CGSize size;
        std::vector<std::tuple<size_t, size_t, qltest::RGBA>> probes;
    } cases[] = {
        {zeroLengthThumbnail, {40, 30}, {{20, 15, kRed}, {0, 0, kRed}, {39, 29, kRed}}},
        {entry, {375, 667}, {{0, 0, kBlue}, {374, 666, kBlue}}},
        {two,
         {430, 200},
         {{50, 0, kRed},
          {50, 199, kRed},
          {115, 150, kClear},
          {130, 199, kBlue},
          {429, 100, kBlue},
          {129, 199, kClear},
          {280, 99, kClear},
          {280, 0, kClear}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.result.status, 0);
        EXPECT_EQ(c.result.data, nullptr);
        ASSERT_TRUE(c.result.context);
        EXPECT_EQ(c.result.context->size, c.size);
        EXPECT_FALSE(c.result.context->isBitmap);
        EXPECT_EQ(c.result.context->properties, nullptr);
        EXPECT_TRUE(c.result.flushed);
        const qltest::Pixels pixels(c.result.image);
        for (const auto& [x, row, colour] : c.probes)
            EXPECT_EQ(pixels.at(x, row), colour) << x << ", " << row;
    }
}

TEST_F(VantlerGeneratorRequest, NoContextFromTheHostStillAnswersZero) {
    QLRequestOptions options;
    options.refuseContexts = true;
    for (const auto& result :
         bothRequests(file(Document{.screens = {{{100, 100}, {1, 0, 0, 1}}}}), options)) {
        EXPECT_EQ(result.status, 0);
        ASSERT_TRUE(result.context);
        EXPECT_FALSE(result.context->created || result.flushed);
    }
}

TEST_F(VantlerGeneratorRequest, TwoThreadsAtOnceGiveTheResultsOfOneAfterTheOther) {
    const auto first = file(Document{.screens = {{{100, 200}, {1, 0, 0, 1}}, {{300, 100}}}});
    const auto second = file(Document{.screens = {{{64, 48}, {0, 0, 1, 1}}}});
    const auto picture = [](const QLRequestResult& result) {
        return qltest::bytesOf(CGDataProviderCopyData(CGImageGetDataProvider(result.image)));
    };
    const auto alonePreview = picture(host_->generatePreview(first, {}));
    const auto aloneThumbnail = picture(host_->generateThumbnail(second, {}));
    for (int round = 0; round < 5; ++round) {
        QLRequestResult preview, thumbnail;
        std::thread a([&] { preview = host_->generatePreview(first, {}); });
        std::thread b([&] { thumbnail = host_->generateThumbnail(second, {}); });
        a.join();
        b.join();
        EXPECT_EQ(picture(preview), alonePreview);
        EXPECT_EQ(picture(thumbnail), aloneThumbnail);
    }
}

}  // namespace
