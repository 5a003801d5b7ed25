// The modules that libVantler loads on first use: loaded once, and when absent, every stand-in
// that needs one answers as it does for data it cannot read, instead of failing the process.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "AVFoundation.h"
#include "CGImageSource.h"
#include "CTFont.h"
#include "LoadableModule.h"
#include "NSData.h"
#include "NSError.h"
#include "NSURL.h"
#include "ScopedEnvironmentVariable.h"
#include "TestSupport.h"
#include "XMLPropertyList.h"
#include "XMLPropertyListModule.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kChildVariable = "VANTLER_MODULES_ABSENT_CHILD";

std::shared_ptr<NSData> imageData(const char* name) {
    const auto bytes = test::readFile(test::dataDir() / "images" / name);
    return NSData::dataWithBytes_length(bytes.data(), bytes.size());
}

}  // namespace

TEST(LoadableModules, LoadOnceAndLogEachFailureOnce) {
    const void* xml = LoadableModule::entryTable(plist::kXMLModuleFile, plist::kXMLModuleEntry);
    ASSERT_NE(xml, nullptr);
    EXPECT_EQ(LoadableModule::entryTable(plist::kXMLModuleFile, plist::kXMLModuleEntry), xml);

    test::LogCapture log;
    for (int attempt = 0; attempt < 2; ++attempt)
        EXPECT_EQ(LoadableModule::entryTable("VantlerNoSuchModule.so", "Entry"), nullptr);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.lines()[0].starts_with("Could not load ")) << log.lines()[0];
    EXPECT_NE(log.lines()[0].find("/VantlerNoSuchModule.so: "), std::string::npos);
}

// Run by WithoutTheirModulesStandInsTakeTheirCannotReadPaths with libVantler.so alone in a folder.
TEST(LoadableModules, AbsentChild) {
    if (!std::getenv(kChildVariable)) GTEST_SKIP() << "runs only as a child process";
    test::LogCapture log;

    EXPECT_EQ(
        test::failureOf([] {
            const std::string xml = "<plist><true/></plist>";
            plist::parseXMLPropertyList({reinterpret_cast<const uint8_t*>(xml.data()), xml.size()});
        }),
        (test::Failure{"NSInvalidArgumentException",
                       "XML property list: cannot be read: the XML module could not be "
                       "loaded"}));

    // The format is still told by its signature; only decoding needs the module.
    const auto gif = CGImageSourceCreateWithData(imageData("gif-transparent.gif"), nullptr);
    EXPECT_STREQ(CGImageSourceGetType(gif), kUTTypeGIF);
    EXPECT_EQ(CGImageSourceCreateImageAtIndex(gif, 0, nullptr), nullptr);
    // PNG needs none.
    EXPECT_NE(CGImageSourceCreateImageAtIndex(
                  CGImageSourceCreateWithData(imageData("grey-8.png"), nullptr), 0, nullptr),
              nullptr);

    // A video reads as a file that cannot be opened as media: no tracks, no frame.
    const auto asset = AVURLAsset::URLAssetWithURL_options(
        NSURL::fileURLWithPath((test::dataDir() / "media/split.mp4").string()), nullptr);
    EXPECT_TRUE(asset->tracksWithMediaType(AVMediaTypeVideo).empty());
    std::shared_ptr<NSError> error;
    EXPECT_EQ(AVAssetImageGenerator::assetImageGeneratorWithAsset(asset)
                  ->copyCGImageAtTime_actualTime_error(kCMTimeZero, nullptr, &error),
              nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->localizedFailureReason(), "The media framework could not be loaded");

    // As on a machine without the project's fonts.
    EXPECT_EQ(CTFontCreateWithName("Helvetica", 12), nullptr);

    for (const std::string& line : log.lines())
        EXPECT_TRUE(line.starts_with("Could not load ")) << line;
    EXPECT_EQ(log.lines().size(), 4u);
}

TEST(LoadableModules, WithoutTheirModulesStandInsTakeTheirCannotReadPaths) {
    // The library alone: the child's loader finds it through LD_LIBRARY_PATH, which comes before
    // the test program's run path, and looks for the modules beside it.
    const test::ScratchDirectory folder;
    Dl_info library{};
    ASSERT_NE(dladdr(reinterpret_cast<const void*>(&LoadableModule::entryTable), &library), 0);
    fs::copy_file(library.dli_fname, folder.path() / "libVantler.so");
    const test::ScopedEnvironmentVariable child(kChildVariable, "1");
    const test::ScopedEnvironmentVariable path("LD_LIBRARY_PATH", folder.path().string());
    const auto result = test::run({fs::read_symlink("/proc/self/exe").string(),
                                   "--gtest_filter=LoadableModules.AbsentChild"});
    EXPECT_EQ(result.exitStatus, 0) << result.standardOutput << result.standardError;
    EXPECT_NE(result.standardOutput.find("[  PASSED  ] 1 test"), std::string::npos)
        << result.standardOutput;
}
