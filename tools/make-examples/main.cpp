// make-examples: writes the bundled example documents into a folder (examples/ in the source tree).
// The examples are made by the project's own archiver, so they show what it writes; a test checks
// that the committed files are what this program writes.

#include <cstdio>
#include <fstream>
#include <string>

#include "CGContext.h"
#include "CGImageToData.h"
#include "DocumentShapes.h"
#include "NSArray.h"
#include "NSDate.h"
#include "NSDictionary.h"
#include "NSKeyedArchiver.h"
#include "NSNull.h"
#include "NSNumber.h"
#include "NSSet.h"
#include "NSString.h"
#include "NSURL.h"
#include "NSUUID.h"

namespace {

std::shared_ptr<NSString> string(const char* text) {
    return NSString::stringWithUTF8String(text);
}

// A keyed archive shaped like a small document: a root holding screens, a shared object referred to
// twice, a conditional reference, non-ASCII text, and top-level scalars and bytes.
std::shared_ptr<NSData> sampleArchive() {
    auto palette =
        NSArray::arrayWithObjects({string("#FF3B30"), string("#34C759"), string("#007AFF")});
    auto screens = NSMutableArray::array();
    for (const char* name : {"Home", "Détails", "設定"}) {
        auto screen = NSMutableDictionary::dictionary();
        screen->setObject_forKey(string(name), string("name"));
        screen->setObject_forKey(NSNumber::numberWithDouble(375), string("width"));
        screen->setObject_forKey(NSNumber::numberWithDouble(667), string("height"));
        screen->setObject_forKey(palette, string("palette"));  // one object, shared by every screen
        screens->addObject(screen);
    }
    auto root = NSMutableDictionary::dictionary();
    root->setObject_forKey(screens, string("screens"));
    root->setObject_forKey(NSUUID::initWithUUIDString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"),
                           string("identifier"));
    root->setObject_forKey(NSURL::URLWithString_relativeToURL(
                               "assets/icon.png", NSURL::URLWithString("file:///Users/demo/")),
                           string("asset"));
    root->setObject_forKey(NSDate::dateWithTimeIntervalSinceReferenceDate(786240000),
                           string("modified"));
    root->setObject_forKey(NSOrderedSet::orderedSetWithObjects({string("tap"), string("swipe")}),
                           string("events"));
    root->setObject_forKey(NSNull::null(), string("nothing"));

    auto data = NSMutableData::data();
    auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
    archiver->encodeObject_forKey(root, NSKeyedArchiveRootObjectKey);
    archiver->encodeInt64_forKey(15, "vantlerDocumentFormatVersion");
    archiver->encodeConditionalObject_forKey(palette, "palette");
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    archiver->encodeBytes_length_forKey(signature, sizeof signature, "signature");
    archiver->finishEncoding();
    return data;
}

// Three screens of different sizes and colours, without an embedded thumbnail: the generator draws
// them (the thumbnail is the first screen, the preview all three side by side).
std::shared_ptr<NSData> screensDocument() {
    using document_shapes::Screen;
    return document_shapes::make({.screens = {Screen{{375, 667}, {1.0, 0.231, 0.188, 1}},
                                              Screen{{375, 667}, {0.204, 0.78, 0.349, 1}},
                                              Screen{{320, 480}, {0.0, 0.478, 1.0, 1}}}});
}

// A document carrying its own thumbnail (top half orange, bottom half purple), which both requests
// hand over unchanged.
std::shared_ptr<NSData> embeddedThumbnailDocument() {
    constexpr size_t kWidth = 200, kHeight = 120;
    auto context =
        CGBitmapContextCreate(nullptr, kWidth, kHeight, 8, 0, CGColorSpaceCreateDeviceRGB(),
                              kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    auto* pixels = static_cast<uint8_t*>(CGBitmapContextGetData(context));
    for (size_t row = 0; row < kHeight; ++row) {
        for (size_t x = 0; x < kWidth; ++x) {
            uint8_t* p = pixels + row * CGBitmapContextGetBytesPerRow(context) + x * 4;
            const bool top = row < kHeight / 2;  // B G R A in memory
            p[0] = top ? 0x00 : 0xDE;
            p[1] = top ? 0x95 : 0x52;
            p[2] = top ? 0xFF : 0xAF;
            p[3] = 0xFF;
        }
    }
    auto png = CGImageConvertToPNGData(CGBitmapContextCreateImage(context));
    return document_shapes::make(
        {.screens = {{{kWidth, kHeight}, {0.5, 0.5, 0.5, 1}}},
         .thumbnail = std::vector<uint8_t>(png->bytes(), png->bytes() + png->length())});
}

bool write(const std::string& path, const NSData& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.bytes()),
              static_cast<std::streamsize>(data.length()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fputs("usage: make-examples OUTDIR\n  writes the example documents into OUTDIR\n",
                   argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    const std::string folder = argv[1];
    if (!write(folder + "/sample-archive.plist", *sampleArchive()) ||
        !write(folder + "/screens.vantler", *screensDocument()) ||
        !write(folder + "/embedded-thumbnail.vantler", *embeddedThumbnailDocument())) {
        std::fprintf(stderr, "make-examples: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
