#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "ArchiveShapes.h"
#include "CGImageToData.h"
#include "ImageAssetTestSupport.h"
#include "LayerTestSupport.h"
#include "NSNumber.h"
#include "NSString.h"
#include "NSURL.h"
#include "VTAnimationInfo.h"
#include "VTEvent.h"
#include "VTImage.h"
#include "VTKeyframe.h"
#include "VTLink.h"

using namespace archive_shapes;
using namespace layer_support;

namespace {

std::shared_ptr<VTImage> videoAsset() {
    return VTImage::imageWithURL(
        NSURL::fileURLWithPath((test::dataDir() / "media" / "split.mp4").string()));
}

CGColorRef displayP3(double r, double g, double b, double a) {
    return CGColorCreate(cachedColorSpaceFromName(kCGColorSpaceDisplayP3), {r, g, b, a});
}

// A layer with every field away from its default, two sublayers, P3 and sRGB colours and timing.
std::shared_ptr<VTLayer> styledLayer() {
    auto l = VTLayer::initWithName("Card");
    l->setOpacity(0.999f);
    l->setScale(2);
    l->setAngle(-30);
    l->setPosition({10.5, -3});
    l->setAnchorPoint({0, 1});
    l->setContentOffset({1, 2});
    l->setImportID("sketch-7");
    l->setHidden(true);
    l->setLocked(true);
    l->setMasksToBounds(true);
    l->setLockAspectRatio(true);
    l->setForwardUnusedTouches(false);
    l->setHorizontalBehavior(1);
    l->setVerticalBehavior(3);
    l->setProperty_frozen(kVTPropertyFill, true);
    l->setRadius(6.5f);
    l->setBorderWidth(2);
    l->setBorderColor(displayP3(1, 0.5, 0, 1));
    l->setShadowColor(CGColorCreateSRGB(0, 0, 0, 0.5));
    l->setShadowOffset({3, 4});
    l->setShadowRadius(9);
    l->setBackgroundColor(displayP3(0.1, 0.2, 0.3, 0.4));
    l->setAnimationInfo({{kVTPropertyWidth, VTAnimationInfo::initWithCurve_delay_duration(
                                                VTAnimationCurve::curveWithType(2), 0.2, 1)}});
    auto text = VTLayer::textLayer();
    text->setTextAlignment(2);
    l->addSublayer(text);
    l->addSublayer(VTLayer::layerWithImage(
        image_assets::assetWithBitmap(image_assets::solidBitmap(4, 2, image_assets::kBlue))));
    return l;
}

// Every field of the record, and the sublayers' records in order.
void expectSameRecord(const VTLayer& a, const VTLayer& b) {
    const auto fields = [](const VTLayer& l) {
        return std::tuple(l.className(), l.size(), l.position(), l.anchorPoint(), l.contentOffset(),
                          l.opacity(), l.scale(), l.angle(), l.radius(), l.name(), l.importID(),
                          l.borderWidth(), l.shadowOffset(), l.shadowRadius(), l.text(),
                          l.fontFamily(), l.fontSize(), l.textAlignment(), l.horizontalBehavior(),
                          l.verticalBehavior(), l.mediaVolume(), l.mediaTime(),
                          l.optionalProperties());
    };
    const auto flags = [](const VTLayer& l) {
        return std::array{
            l.hidden(),          l.locked(),   l.masksToBounds(), l.forwardUnusedTouches(),
            l.lockAspectRatio(), l.playOnce(), l.mediaPaused()};
    };
    EXPECT_TRUE(fields(a) == fields(b)) << a.description();
    EXPECT_EQ(flags(a), flags(b));
    for (auto colour : {&VTLayer::backgroundColor, &VTLayer::borderColor, &VTLayer::shadowColor})
        EXPECT_TRUE(CGColorEqualToColor((a.*colour)(), (b.*colour)()));
    EXPECT_TRUE(a.image() ? a.image()->isEqual(b.image().get()) : !b.image());
    ASSERT_EQ(a.animationInfo().size(), b.animationInfo().size());
    for (const auto& [property, info] : a.animationInfo())
        EXPECT_TRUE(info->isEqual(b.animationInfo().at(property).get()));
    ASSERT_EQ(a.countOfSublayers(), b.countOfSublayers());
    for (int64_t i = 0; i < a.countOfSublayers(); ++i) {
        expectSameRecord(*a.objectInSublayersAtIndex(i), *b.objectInSublayersAtIndex(i));
        EXPECT_EQ(b.objectInSublayersAtIndex(i)->superPicture().get(), &b);
    }
}

std::shared_ptr<VTLayer> mediaLayer(std::shared_ptr<VTImage> image) {
    auto l = VTLayer::layerWithImage(std::move(image));
    l->setPlayOnce(true);
    l->setMediaPaused(true);
    l->setMediaVolume(0.25f);
    l->setMediaTime(1.5);
    return l;
}

using Keys = std::vector<std::string>;

}  // namespace

// Layers written and read back are the same record; each key is written exactly when the archive
// form calls for it. Media values are written only with media: without, they read back as defaults.
TEST(VTLayerCoding, WrittenLayersReadBackTheSame) {
    // clang-format off
    const Keys everyLayer{"position.x", "angle", "optionalsMask", "anchorPoint.y", "name", "importID", "VTLayerVersion", "horizontalBehavior",
                          "verticalBehavior", "forwardUnusedTouches", "shadowOffset.height", "shadowRadius", "contentOffset.x",
                          "backgroundColor.count", "radius", "image", "size.width"};
    const std::tuple<const char*, std::function<std::shared_ptr<VTLayer>()>, Keys, Keys> cases[] = {
        {"new layer", [] { return VTLayer::init(); }, everyLayer, {"hidden", "locked", "opacity", "scale", "animationInfo", "subPictures", "text", "fontSize", "borderWidth", "borderColor.count", "shadowColor.count", "maskToBounds", "lockAspect", "playOnce", "mediaVolume", "prototypeLayer"}},
        {"styled", styledLayer, {"hidden", "locked", "opacity", "scale", "animationInfo", "subPictures", "borderWidth", "borderColor.profile", "shadowColor.count", "maskToBounds", "lockAspect"}, {"text"}},
        {"video", [] { return mediaLayer(videoAsset()); }, {"playOnce", "mediaPaused", "mediaVolume", "mediaTime"}, {}},
        {"media values of a still", [] { return mediaLayer(image_assets::assetWithBitmap(image_assets::solidBitmap(2, 2, image_assets::kRed))); }, {}, {"playOnce", "mediaVolume", "mediaTime", "mediaPaused"}},
        // clang-format on
    };
    for (const auto& [name, make, present, absent] : cases) {
        SCOPED_TRACE(name);
        const auto layer = make();
        const auto data = archive(layer);
        const StoredArchive stored(*data);
        const auto keys = stored.keys(stored.root());
        for (const auto& key : present)
            EXPECT_EQ(std::count(keys.begin(), keys.end(), key), 1) << key;
        for (const auto& key : absent)
            EXPECT_EQ(std::count(keys.begin(), keys.end(), key), 0) << key;
        const auto read = unarchive<VTLayer>(data);
        ASSERT_TRUE(read);
        if (!layer->image() || !layer->image()->isVideoOrAudio()) {
            layer->setMediaVolume(1);
            layer->setMediaTime(0);
            layer->setPlayOnce(false);
            layer->setMediaPaused(false);
        }
        expectSameRecord(*layer, *read);
    }
}

// The common keys come first, in their order, and an instance writes nothing after its screen;
// reading it back gives the screen's look and no sublayers.
TEST(VTLayerCoding, Instances) {
    ComponentScreen component({120, 80});
    component.screen->setBackgroundColor(CGColorCreateSRGB(0, 1, 0, 1));
    const auto instance = VTLayer::init();
    instance->setHidden(true);
    instance->setComponentScreen(component.screen);
    const auto holder = VTLayer::init();  // writes the screen unconditionally, as a document does
    holder->addSublayer(component.screen);
    holder->addSublayer(instance);
    const auto data = archive(holder);
    const StoredArchive stored(*data);
    const auto list =
        stored.value(*stored.referencedEntry(stored.root(), "subPictures"), "NS.objects");
    EXPECT_EQ(stored.keys(stored.elementEntry(*list, 1)),
              (Keys{"hidden", "position.x", "position.y", "angle", "optionalsMask", "anchorPoint.x",
                    "anchorPoint.y", "name", "importID", "VTLayerVersion", "horizontalBehavior",
                    "verticalBehavior", "forwardUnusedTouches", "prototypeLayer"}));
    const auto read = unarchive<VTLayer>(data);
    const auto readInstance = read->objectInSublayersAtIndex(1);
    EXPECT_EQ(readInstance->componentScreen(), read->objectInSublayersAtIndex(0));
    EXPECT_TRUE(
        CGColorEqualToColor(readInstance->backgroundColor(), CGColorCreateSRGB(0, 1, 0, 1)));
    EXPECT_TRUE(readInstance->hidden());
}

namespace {

void encodeNumbers(NSCoder& coder, std::vector<int64_t> numbers, const char* key) {
    std::vector<std::shared_ptr<NSObject>> objects;
    for (int64_t n : numbers) objects.push_back(NSNumber::numberWithInteger(n));
    coder.encodeObject_forKey(NSArray::arrayWithObjects(objects), key);
}

void encodeWidthTiming(NSCoder& coder) {
    auto timing =
        VTAnimationInfo::initWithCurve_delay_duration(VTAnimationCurve::curveWithType(1), 0, 0.4);
    coder.encodeObject_forKey(
        NSDictionary::dictionaryWithEntries({{NSNumber::numberWithInteger(5), timing}}),
        "animationInfo");
}

// A layer that is an instance of an instance of a 30 × 20 screen, under "prototypeLayer".
void encodeInstanceOfInstance(NSCoder& coder) {
    ComponentScreen component({30, 20});
    auto inner = VTLayer::init();
    inner->setComponentScreen(component.screen);
    coder.encodeObject_forKey(component.screen, "screen");
    coder.encodeObject_forKey(inner, "prototypeLayer");
}

using Write = std::function<void(NSCoder&)>;
using Expect = std::function<void(const VTLayer&)>;

}  // namespace

// Archives as earlier writers of the format left them, key by key in Apple's layout, and the record
// each gives.
TEST(VTLayerCoding, LegacyArchives) {
    const std::tuple<const char*, Write, Expect> cases[] = {
        // clang-format off
        {"nothing at all", [](NSCoder&) {}, [](const VTLayer& l) {
             EXPECT_EQ(std::tuple(l.name(), l.size(), l.shadowOffset(), l.shadowRadius(), l.opacity(), l.scale(), l.anchorPoint(), l.forwardUnusedTouches()),
                       std::tuple(std::optional<std::string>(), CGSizeZero, CGSizeZero, 0.0, 1.0f, 1.0, CGPointMake(0.5, 0.5), false));
             EXPECT_TRUE(CGColorEqualToColor(l.backgroundColor(), CGColorCreateSRGB(0, 0, 0, 0))); }},
        {"opacity 1.7 and scale 0 stay", [](NSCoder& c) { c.encodeFloat_forKey(1.7f, "opacity"); c.encodeDouble_forKey(0, "scale"); }, [](const VTLayer& l) { EXPECT_EQ(std::pair(l.opacity(), l.scale()), std::pair(1.7f, 0.0)); }},
        {"scrollable 1", [](NSCoder& c) { c.encodeInteger_forKey(1, "scrollable"); c.encodeInteger_forKey(2, "scrollVertical"); }, [](const VTLayer& l) { EXPECT_EQ(std::pair(l.horizontalBehavior(), l.verticalBehavior()), std::pair(1l, 1l)); }},
        {"per axis", [](NSCoder& c) { c.encodeInteger_forKey(2, "scrollHorizontal"); c.encodeInteger_forKey(1, "scrollVertical"); }, [](const VTLayer& l) { EXPECT_EQ(std::pair(l.horizontalBehavior(), l.verticalBehavior()), std::pair(2l, 1l)); }},
        {"draggable 2, dragVertical ignored", [](NSCoder& c) { c.encodeInteger_forKey(2, "draggable"); c.encodeBool_forKey(true, "dragVertical"); }, [](const VTLayer& l) { EXPECT_EQ(std::pair(l.horizontalBehavior(), l.verticalBehavior()), std::pair(3l, 0l)); }},
        {"draggable 1", [](NSCoder& c) { c.encodeInteger_forKey(1, "draggable"); }, [](const VTLayer& l) { EXPECT_EQ(std::pair(l.horizontalBehavior(), l.verticalBehavior()), std::pair(0l, 3l)); }},
        {"dragHorizontal wins", [](NSCoder& c) { c.encodeInteger_forKey(1, "draggable"); c.encodeBool_forKey(true, "dragHorizontal"); }, [](const VTLayer& l) { EXPECT_EQ(std::pair(l.horizontalBehavior(), l.verticalBehavior()), std::pair(3l, 3l)); }},
        {"dragVertical alone", [](NSCoder& c) { c.encodeBool_forKey(true, "dragVertical"); }, [](const VTLayer& l) { EXPECT_EQ(std::pair(l.horizontalBehavior(), l.verticalBehavior()), std::pair(0l, 3l)); }},
        {"behaviour keys win", [](NSCoder& c) { c.encodeInteger_forKey(0, "horizontalBehavior"); c.encodeInteger_forKey(1, "scrollable"); }, [](const VTLayer& l) { EXPECT_EQ(std::pair(l.horizontalBehavior(), l.verticalBehavior()), std::pair(0l, 1l)); }},
        {"optionals", [](NSCoder& c) { encodeNumbers(c, {3, 40, 7}, "optionals"); }, [](const VTLayer& l) { EXPECT_EQ(l.optionalProperties(), (1u << 2) | (1u << 6)); }},
        {"mask over optionals", [](NSCoder& c) { c.encodeInt64_forKey(-1, "optionalsMask"); encodeNumbers(c, {3}, "optionals"); }, [](const VTLayer& l) { EXPECT_EQ(l.optionalProperties(), UINT64_MAX); }},
        {"second shadow keys", [](NSCoder& c) { c.encodeDouble_forKey(1, "shadowOffset.width"); c.encodeDouble_forKey(9, "shadowOffset2"); c.encodeDouble_forKey(5, "shadowOffset2.height"); c.encodeDouble_forKey(3, "shadowRadius"); c.encodeDouble_forKey(7, "shadowRadius2"); },
         [](const VTLayer& l) { EXPECT_EQ(std::pair(l.shadowOffset(), l.shadowRadius()), std::pair(CGSizeMake(0, 5), 7.0)); }},
        {"sub-keys alone do not count", [](NSCoder& c) { c.encodeDouble_forKey(5, "shadowOffset2.height"); c.encodeDouble_forKey(2, "shadowOffset.height"); }, [](const VTLayer& l) { EXPECT_EQ(l.shadowOffset(), CGSizeMake(0, 2)); }},
        {"negative size keeps its centre", [](NSCoder& c) { encodeCGSize_forKey(c, {-40, 30}, "size"); encodeCGPoint_forKey(c, {100, 100}, "position"); },
         [](const VTLayer& l) { EXPECT_EQ(std::pair(l.size(), l.position()), std::pair(CGSizeMake(40, 30), CGPointMake(100, 100))); }},
        {"negative size, corner anchor", [](NSCoder& c) { encodeCGSize_forKey(c, {-40, 30}, "size"); encodeCGPoint_forKey(c, {100, 100}, "position"); encodeCGPoint_forKey(c, {0, 0}, "anchorPoint"); },
         [](const VTLayer& l) { EXPECT_EQ(std::pair(l.size(), l.position()), std::pair(CGSizeMake(40, 30), CGPointMake(100, 70))); }},
        {"text defaults", [](NSCoder& c) { c.encodeObject_forKey(NSString::stringWithUTF8String("Hi"), "text"); c.encodeDouble_forKey(0.001, "fontSize"); },
         [](const VTLayer& l) { EXPECT_EQ(std::tuple(*l.text(), l.fontSize(), *l.fontFamily()), std::tuple("Hi", 17.0, "Helvetica")); }},
        {"no text, no font", [](NSCoder& c) { c.encodeDouble_forKey(30, "fontSize"); }, [](const VTLayer& l) { EXPECT_EQ(std::pair(l.fontSize(), l.fontFamily()), std::pair(0.0, std::optional<std::string>())); }},
        {"version 0 shares the width timing", encodeWidthTiming, [](const VTLayer& l) { EXPECT_EQ(l.animationInfo().at(5), l.animationInfo().at(6)); }},
        {"version 2 does not", [](NSCoder& c) { encodeWidthTiming(c); c.encodeInteger_forKey(2, "VTLayerVersion"); }, [](const VTLayer& l) { EXPECT_EQ(l.animationInfo().size(), 1u); }},
        {"media volume held to 0 … 1", [](NSCoder& c) { c.encodeObject_forKey(videoAsset(), "image"); c.encodeFloat_forKey(3, "mediaVolume"); }, [](const VTLayer& l) { EXPECT_EQ(l.mediaVolume(), 1.0f); }},
        {"media volume NaN", [](NSCoder& c) { c.encodeObject_forKey(videoAsset(), "image"); c.encodeFloat_forKey(std::nanf(""), "mediaVolume"); }, [](const VTLayer& l) { EXPECT_EQ(l.mediaVolume(), 0.0f); }},
        {"instance of an instance", encodeInstanceOfInstance, [](const VTLayer& l) { EXPECT_EQ(l.size(), CGSizeMake(30, 20)); }},
        {"instance of no screen", [](NSCoder& c) { c.encodeObject_forKey(NSString::stringWithUTF8String("screen"), "prototypeLayer"); }, [](const VTLayer& l) { EXPECT_FALSE(l.isComponentInstance()); }},
        // clang-format on
    };
    for (const auto& [name, write, expect] : cases) {
        SCOPED_TRACE(name);
        const auto layer = decodeShaped<VTLayer>("VTLayer", write);
        ASSERT_TRUE(layer);
        expect(*layer);
    }
}

// A whole document (layers holding everything a layer can hold, a link, transitions, a component
// used by an instance) written by the model reads back through the loader as it was: equal as a
// prototype and field by field.
TEST(VTLayerCoding, WholeDocumentReadsBack) {
    const auto component = VTPrototype::init();
    const auto badge = VTScreen::initWithCanvasName_size("Badge", {60, 40});
    badge->setBackgroundColor(displayP3(0, 0.5, 1, 1));
    component->addScreen(badge);
    const auto screen = VTScreen::initWithCanvasName_size("Home", {375, 667});
    const auto card = styledLayer();
    screen->addSublayer(card);
    // An instance as the design tool makes one: the screen's look, then the link.
    const auto instance = badge->createComponentInstance();
    instance->setPosition({100, 200});
    screen->addSublayer(instance);
    const auto title = card->objectInSublayersAtIndex(0);
    auto link = VTLink::initWithInputLayer_inputProperty_outputLayer_outputProperty(
        card, kVTPropertyCenterX, title, kVTPropertyOpacity);
    link->addKeyframe(VTKeyframe::initWithInput_output(300, 0.25));
    screen->insertObject_inLinksAtIndex(link, 0);
    const auto detail = VTScreen::initWithCanvasName_size("Detail", {375, 667});

    const auto prototype = VTPrototype::init();
    prototype->addScreen(screen);
    prototype->addScreen(detail);
    prototype->addComponent(component);
    prototype->setPrefersMouseCursor(true);
    auto tap = VTEvent::initWithType(0);
    tap->setSource(card);
    tap->setDestination(detail);
    tap->setSentMessage("opened");
    prototype->addTransition_atIndex(tap, 0);
    auto message = VTEvent::initWithType(14);
    message->setSource(detail);
    message->setTriggerMessage("back");
    message->setDestination(screen);
    prototype->addTransition_atIndex(message, 1);

    const auto data = seedDocument("layers.vantler", document_shapes::make({.root = prototype}));
    std::shared_ptr<NSError> error;
    const auto read = VTPrototype::prototypeFromData_error(data, &error);
    ASSERT_TRUE(read) << (error ? error->localizedFailureReason().value_or("") : "");
    EXPECT_TRUE(read->isEqualToPrototype(*prototype));
    const auto readScreen = read->entryScreen();
    expectSameRecord(*screen, *readScreen);
    const auto readInstance = readScreen->objectInSublayersAtIndex(1);
    ASSERT_TRUE(readInstance->isComponentInstance());
    EXPECT_EQ(readInstance->size(), CGSizeMake(60, 40));
    EXPECT_EQ(readInstance->componentScreen()->prototype(), read->masterComponents().at(0));
}
