// Writes the crafted documents that bench/hostile-documents holds vantler-thumbnailer to its
// budgets against, each through the model wherever the model can say it:
//
//   image-1e9-pixels.vantler        an image layer whose PNG declares 40000 × 25000 pixels (wider
//                                   than any bitmap may be) in 69 bytes
//   image-1e9-pixels-square.vantler the same, 31623 × 31623: no side too long, only the pixels
//   million-layers.vantler          a screen holding 1,000,000 layers, each nothing but its class
//   nested-deepest.vantler          a chain of layers as deep as the archive reader takes (it
//                                   nests 512 objects, two a level: a layer, its sublayers)
//   nested-deeper.vantler           the same chain one layer deeper
//   component-holds-itself.vantler  a component screen holding an instance of itself
//   video-65535.vantler             a movie layer whose clip's frames declare 65535 × 65535
//
// An image asset keeps the bytes it was given, so the crafted PNG goes in as the asset saved by the
// design tool and decoded by the model, which writes it back as it came. Two documents are written
// object by object: the archiver refuses the chain that is one layer too deep, and the model's
// million layers would be too big a file for the thumbnailer to read at all (millionLayers).
//
// usage: hostile_documents DIR VIDEO      VIDEO: tests/data/media/mjpeg-frames-65535x65535.avi

#include <zlib.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BinaryPropertyListWriter.h"
#include "KeyedArchive.h"
#include "NSData.h"
#include "NSError.h"
#include "NSException.h"
#include "NSKeyedArchiver.h"
#include "NSKeyedUnarchiver.h"
#include "NSURL.h"
#include "NSUUID.h"
#include "VTArchivableClasses.h"
#include "VTImage.h"
#include "VTPrototype.h"
#include "VTScreen.h"

namespace {

constexpr CGSize kScreenSize = {375, 667};
constexpr size_t kMillion = 1'000'000;

// ---- A PNG that declares more pixels than it holds

void appendBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

void appendChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    appendBigEndian32(png, uint32_t(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    appendBigEndian32(png, uint32_t(crc32(0, png.data() + start, uInt(png.size() - start))));
}

// The signature, an IHDR of 8-bit RGBA at width × height with its CRC, one IDAT holding the first
// row's filter byte and a few pixels, and IEND: a well-formed start of a file a reader must refuse.
std::vector<uint8_t> pngDeclaring(uint32_t width, uint32_t height) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    appendBigEndian32(header, width);
    appendBigEndian32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // depth, RGBA, deflate, adaptive, progressive
    appendChunk(png, "IHDR", header);
    const std::vector<uint8_t> firstRow(1 + 4 * 16, 0x7F);
    std::vector<uint8_t> compressed(compressBound(uLong(firstRow.size())));
    uLongf length = compressed.size();
    compress(compressed.data(), &length, firstRow.data(), uLong(firstRow.size()));
    compressed.resize(length);
    appendChunk(png, "IDAT", compressed);
    appendChunk(png, "IEND", {});
    return png;
}

// ---- Assets

// An image asset as the design tool saves it: the keys VTImage writes, under its class name.
class SavedAsset : public NSObject {
  public:
    const NSClass& classForKeyedArchiver() const override { return VTImage::objcClass(); }
    void encodeWithCoder(NSCoder& coder) const override {
        coder.encodeObject_forKey(NSUUID::UUID(), "uuid");
        coder.encodeDouble_forKey(1, "scale");
        coder.encodeObject_forKey(still, "jpegData");
    }
    std::shared_ptr<const NSData> still;
};

// The asset the model decodes from the saved one: no bitmap, and the bytes kept for writing.
std::shared_ptr<VTImage> assetHolding(std::vector<uint8_t> still) {
    auto saved = std::make_shared<SavedAsset>();
    saved->still = NSData::dataWithVector(std::move(still));
    return std::dynamic_pointer_cast<VTImage>(NSKeyedUnarchiver::unarchiveObjectWithData(
        NSKeyedArchiver::archivedDataWithRootObject(saved)));
}

// ---- Documents through the model

std::shared_ptr<VTScreen> screenNamed(std::string_view name) {
    return VTScreen::initWithCanvasName_size(name, kScreenSize);
}

std::shared_ptr<NSData> documentOf(const std::shared_ptr<VTScreen>& screen) {
    const auto prototype = VTPrototype::init();
    prototype->addScreen(screen);
    return NSKeyedArchiver::archivedDataWithRootObject(prototype);
}

std::shared_ptr<NSData> imageDocument(uint32_t width, uint32_t height) {
    const auto asset = assetHolding(pngDeclaring(width, height));
    if (!asset) return nullptr;
    auto layer = VTLayer::layerWithImage(asset);
    layer->setSize({343, 193});
    auto screen = screenNamed("Picture");
    screen->addSublayer(layer);
    return documentOf(screen);
}

// A screen and `depth` layers below it, each the only sublayer of the one before; none when the
// archiver refuses the depth.
std::shared_ptr<NSData> nestedThroughModel(size_t depth) {
    auto screen = screenNamed("Nested");
    std::shared_ptr<VTLayer> parent = screen;
    for (size_t i = 0; i < depth; ++i) {
        auto layer = VTLayer::init();
        parent->addSublayer(layer);
        parent = layer;
    }
    try {
        return documentOf(screen);
    } catch (const NSException&) {
        return nullptr;
    }
}

std::shared_ptr<NSData> componentHoldingItself() {
    const auto prototype = VTPrototype::init();
    auto screen = screenNamed("Card");
    prototype->addScreen(screen);
    auto instance = VTLayer::init();
    screen->addSublayer(instance);
    instance->setComponentScreen(screen);
    return NSKeyedArchiver::archivedDataWithRootObject(prototype);
}

std::shared_ptr<NSData> videoDocument(const std::string& video) {
    // The importer copies the clip and grabs its first frame, which these headers forbid: the asset
    // keeps the clip and has no still.
    const auto asset = VTImage::imageWithURL(NSURL::fileURLWithPath(video));
    if (!asset || !asset->isVideoOrAudio()) return nullptr;
    auto movie = VTLayer::layerWithImage(asset);
    movie->setSize({343, 193});
    auto screen = screenNamed("Now Playing");
    screen->addSublayer(movie);
    return documentOf(screen);
}

// ---- Documents written object by object
//
// A prototype of one screen laid out as the archiver lays it out, each layer holding nothing but
// its class and its sublayers: $null, the prototype, its list of screens, the four classes, then
// the screen and everything below it from kScreen on.

using plist::Value;
constexpr uint64_t kPrototypeClass = 3, kArrayClass = 4, kScreenClass = 5, kLayerClass = 6,
                   kScreen = 7;

Value entry(std::initializer_list<std::pair<const char*, Value>> entries) {
    std::vector<std::pair<Value, Value>> result;
    for (const auto& [key, value] : entries) result.emplace_back(Value::string(key), value);
    return Value::dictionary(std::move(result));
}

Value classEntry(const char* name) {
    return entry({{"$classname", Value::string(name)},
                  {"$classes", Value::array({Value::string(name), Value::string("NSObject")})}});
}

Value listOf(std::vector<Value> uids) {
    return entry(
        {{"NS.objects", Value::array(std::move(uids))}, {"$class", Value::uid(kArrayClass)}});
}

// A layer (a screen for the screen's UID) whose sublayers are the list at `sublayers`.
Value layerHolding(uint64_t uid, uint64_t sublayers) {
    return entry({{"subPictures", Value::uid(sublayers)},
                  {"$class", Value::uid(uid == kScreen ? kScreenClass : kLayerClass)}});
}

std::shared_ptr<NSData> objectByObject(std::vector<Value> screenAndBelow) {
    std::vector<Value> objects{Value::string("$null"),
                               entry({{"version", Value::integer(plist::Integer::fromSigned(15))},
                                      {"screens", Value::uid(2)},
                                      {"$class", Value::uid(kPrototypeClass)}}),
                               listOf({Value::uid(kScreen)})};
    for (const char* name : {"VTPrototype", "NSArray", "VTScreen", "VTLayer"})
        objects.push_back(classEntry(name));
    for (auto& object : screenAndBelow) objects.push_back(std::move(object));
    return NSData::dataWithVector(plist::writeBinaryPropertyList(
        entry({{"$version", Value::integer(plist::Integer::fromSigned(KeyedArchive::kVersion))},
               {"$archiver", Value::string("NSKeyedArchiver")},
               {"$top", entry({{"root", Value::uid(1)}})},
               {"$objects", Value::array(std::move(objects))}})));
}

// Through the model a million layers took 75 s and 6.6 GB to write, into 282 MB: more than the
// thumbnailer reads (256 MiB), so that file would be refused for its size alone.
std::shared_ptr<NSData> millionLayers() {
    constexpr uint64_t list = kScreen + 1, firstLayer = list + 1;
    std::vector<Value> objects{layerHolding(kScreen, list)};
    std::vector<Value> layers;
    for (uint64_t i = 0; i < kMillion; ++i) layers.push_back(Value::uid(firstLayer + i));
    objects.push_back(listOf(std::move(layers)));
    for (uint64_t i = 0; i < kMillion; ++i)
        objects.push_back(entry({{"$class", Value::uid(kLayerClass)}}));
    return objectByObject(std::move(objects));
}

// The chain of nestedThroughModel with no depth bound on the writer.
std::shared_ptr<NSData> nestedObjectByObject(size_t depth) {
    std::vector<Value> objects;
    for (uint64_t uid = kScreen; uid < kScreen + 2 * depth; uid += 2) {
        objects.push_back(layerHolding(uid, uid + 1));
        objects.push_back(listOf({Value::uid(uid + 2)}));
    }
    objects.push_back(entry({{"$class", Value::uid(kLayerClass)}}));
    return objectByObject(std::move(objects));
}

// ---- The reader's nesting bound

bool readable(const std::shared_ptr<NSData>& document) {
    std::shared_ptr<NSError> error;
    return document && VTPrototype::prototypeFromData_error(document, &error) && !error;
}

// The most layers below a screen that the model writes and reads back, found by halving.
size_t deepestReadable() {
    size_t low = 1, high = 4096;  // readable at low, not at high
    while (high - low > 1) {
        const size_t middle = (low + high) / 2;
        (readable(nestedThroughModel(middle)) ? low : high) = middle;
    }
    return low;
}

bool write(const std::string& path, const std::shared_ptr<NSData>& document) {
    if (document && document->writeToFile_atomically(path, true)) return true;
    std::fprintf(stderr, "hostile_documents: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hostile_documents DIR VIDEO\n");
        return 2;
    }
    const std::string folder = argv[1], video = argv[2];
    VTRegisterArchivableClasses();

    const size_t deepest = deepestReadable();
    auto deeper = nestedThroughModel(deepest + 1);
    const bool deeperByModel = deeper != nullptr;
    if (!deeper) deeper = nestedObjectByObject(deepest + 1);
    std::printf(
        "nesting: %zu layers below a screen read back through the model (and %s object by object);"
        " %zu, written %s, %s\n",
        deepest, readable(nestedObjectByObject(deepest)) ? "also" : "not", deepest + 1,
        deeperByModel ? "by the model" : "object by object",
        readable(deeper) ? "read back" : "are refused by the reader");

    const std::vector<std::pair<std::string, std::function<std::shared_ptr<NSData>()>>> documents =
        {
            {"image-1e9-pixels", [] { return imageDocument(40000, 25000); }},
            {"image-1e9-pixels-square", [] { return imageDocument(31623, 31623); }},
            {"million-layers", millionLayers},
            {"nested-deepest", [&] { return nestedThroughModel(deepest); }},
            {"nested-deeper", [&] { return deeper; }},
            {"component-holds-itself", componentHoldingItself},
            {"video-65535", [&] { return videoDocument(video); }},
        };
    bool written = true;
    for (const auto& [name, make] : documents)
        written = write(folder + "/" + name + ".vantler", make()) && written;
    return written ? 0 : 1;
}
