#include <gtest/gtest.h>

#include "DrawingTestSupport.h"
#include "NSKeyedUnarchiver.h"
#include "VTPrototype+Writing.h"

namespace {

using namespace drawing_support;

// A prototype of screens of these sizes, each red with a blue square at its top left.
std::shared_ptr<VTPrototype> prototypeOf(const std::vector<CGSize>& sizes) {
    const auto prototype = VTPrototype::init();
    for (const auto& size : sizes)
        prototype->addScreen(std::static_pointer_cast<VTScreen>(
            build({.frame = {{0, 0}, size},
                   .fill = kRed,
                   .screen = true,
                   .sublayers = {{.frame = {{0, 0}, {10, 10}}, .fill = kBlue}}})));
    return prototype;
}

// One pixel per point where a bitmap holds the entry screen, else fitted into 1024 pixels; no
// screen, no bytes.
TEST(VTPrototypeWriting, DocumentsReadBackCarryingTheirEntryScreen) {
    const std::tuple<std::vector<CGSize>, size_t, size_t> cases[] = {
        {{{30, 20}, {50, 50}}, 30, 20},
        {{{32767, 1}}, 32767, 1},
        {{{32768, 1}}, 1024, 1},
        {{{1e6, 1e6}}, 1024, 1024},
        {{}, 0, 0},
    };
    for (const auto& [screens, width, height] : cases) {
        const auto prototype = prototypeOf(screens);
        const auto document = dataFromPrototype_error(prototype, nullptr);
        const auto read = VTPrototype::prototypeFromData_error(document, nullptr);
        ASSERT_TRUE(read);
        EXPECT_TRUE(read->isEqualToPrototype(*prototype));
        const auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(document);
        EXPECT_EQ(unarchiver->decodeInt64ForKey(kVantlerDocumentFormatVersionKey), 15);
        size_t length = 0;
        const auto* png =
            unarchiver->decodeBytesForKey_returnedLength(kVantlerThumbnailKey, &length);
        const CGContextRef picture = length ? pictureOfPNG({png, png + length}) : nullptr;
        EXPECT_EQ(CGBitmapContextGetWidth(picture), width);
        EXPECT_EQ(CGBitmapContextGetHeight(picture), height);
        if (width == 30) {
            EXPECT_EQ(pixelAt(picture, 9, 9), kBlue);
        }
    }
}

// An object graph the archive cannot hold is a writing error.
TEST(VTPrototypeWriting, ObjectsNestedTooDeep) {
    std::shared_ptr<NSError> error;
    const auto prototype = prototypeOf({{10, 10}});
    std::shared_ptr<VTLayer> layer = prototype->entryScreen();
    for (int depth = 0; depth < 600; ++depth) {
        layer->addSublayer(VTLayer::init());
        layer = layer->objectInSublayersAtIndex(0);
    }
    EXPECT_FALSE(dataFromPrototype_error(prototype, &error));
    EXPECT_EQ(error->code(), -2);
    EXPECT_TRUE(error->localizedFailureReason().value_or("").starts_with("-[NSKeyedArchiver"));
    EXPECT_EQ(error->localizedRecoverySuggestion(), std::nullopt);
}

TEST(VTPrototypeWriting, MessagesOfTheTransitionsInOrder) {
    const auto prototype = VTPrototype::init();
    using Message = std::optional<std::string>;
    for (const auto& [sent, trigger] : std::vector<std::pair<Message, Message>>{
             {"opened", "open"}, {{}, "back"}, {{}, {}}, {"", "open"}}) {
        auto event = VTEvent::initWithType(14);
        event->setSentMessage(sent);
        event->setTriggerMessage(trigger);
        prototype->addTransition_atIndex(event, prototype->countOfTransitions());
    }
    const auto added = NSMutableArray::array();
    addMessagesFromPrototype(*added, prototype);
    std::vector<std::string> texts;
    for (const auto& text : added->objects())
        texts.push_back(std::static_pointer_cast<NSString>(text)->UTF8String());
    EXPECT_EQ(texts, (std::vector<std::string>{"opened", "open", "back", "", "open"}));
}

}  // namespace
