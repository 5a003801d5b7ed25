// The two examples about the archive itself rather than about drawing: a document that carries
// its own thumbnail, and a keyed archive of Foundation's value classes.

#include "CGContext.h"
#include "CGImageToData.h"
#include "ExampleLayers.h"
#include "Examples.h"
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

namespace examples {
namespace {

std::shared_ptr<NSString> string(const char* text) {
    return NSString::stringWithUTF8String(text);
}

// Top half orange, bottom half purple: nothing like the document's screen, so that a picture
// showing it can only be the carried one.
std::vector<uint8_t> carriedThumbnail(size_t width, size_t height) {
    auto context =
        CGBitmapContextCreate(nullptr, width, height, 8, 0, CGColorSpaceCreateDeviceRGB(),
                              kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    auto* pixels = static_cast<uint8_t*>(CGBitmapContextGetData(context));
    for (size_t row = 0; row < height; ++row) {
        for (size_t x = 0; x < width; ++x) {
            uint8_t* p = pixels + row * CGBitmapContextGetBytesPerRow(context) + x * 4;
            const bool top = row < height / 2;  // B G R A in memory
            p[0] = top ? 0x00 : 0xDE;
            p[1] = top ? 0x95 : 0x52;
            p[2] = top ? 0xFF : 0xAF;
            p[3] = 0xFF;
        }
    }
    auto png = CGImageConvertToPNGData(CGBitmapContextCreateImage(context));
    return {png->bytes(), png->bytes() + png->length()};
}

}  // namespace

std::shared_ptr<NSData> embeddedThumbnailDocument() {
    constexpr CGSize kSize{200, 120};
    auto cover = VTScreen::initWithCanvasName_size("Cover", kSize);
    cover->setBackgroundColor(sRGB(0x808080));
    cover->addSublayer(text("Drawn only when the document carries no thumbnail", {16, 40, 168, 40},
                            {"SFProText-Regular", 15, sRGB(0xFFFFFF), 1}));
    auto prototype = VTPrototype::init();
    prototype->addScreen(cover);
    return documentData(prototype, carriedThumbnail(static_cast<size_t>(kSize.width),
                                                    static_cast<size_t>(kSize.height)));
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

}  // namespace examples
