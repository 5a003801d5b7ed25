// A feed of cards and the post a card opens: a scrolling list that clips its cards, cards with
// drop shadows and rounded corners that clip a photo (a JPEG in Display P3), round avatars, a card
// faded as a whole (an opacity group over nested layers), a "like" component shown by three
// instances, a link that fades the large title as the list scrolls, and the taps between screens.

#include "ExampleLayers.h"
#include "Examples.h"
#include "VTKeyframe.h"
#include "VTLink.h"
#include "VTProperty.h"

namespace examples {
namespace {

// Each image is one asset, shown by every layer that shows it: the document stores it once.
struct Images {
    std::shared_ptr<VTImage> avatar, photo;
};

// The like button: a component screen without a fill (a screen has no corners to round) holding
// the rounded pill.
std::shared_ptr<VTScreen> likeButton() {
    auto screen = VTScreen::initWithCanvasName_size("Like", {76, 28});
    screen->setBackgroundColor(sRGB(0xFFFFFF, 0));
    with(screen, shape("Pill", {0, 0, 76, 28}, accent(0.12), 14),
         text("♥ 128", {0, 5, 76, 18}, {"SFProText-Semibold", 14, accent(), 1}));
    return screen;
}

std::shared_ptr<VTLayer> placed(std::shared_ptr<VTLayer> layer, CGPoint topLeft) {
    setFrame(*layer, {topLeft.x, topLeft.y, layer->width(), layer->height()});
    return layer;
}

std::shared_ptr<VTLayer> avatar(const Images& images, CGRect frame) {
    return with(
        clipping("Avatar", frame, groupedGround(), static_cast<float>(frame.size.width / 2)),
        picture(images.avatar, {0, 0, frame.size.width, frame.size.height}));
}

std::shared_ptr<VTLayer> card(std::string_view name, CGRect frame, const CGColorRef& fill) {
    auto layer = clipping(name, frame, fill, 16);
    setShadow(*layer, sRGB(0x000000, 0.14), {0, 6}, 16);
    return layer;
}

struct Feed {
    std::shared_ptr<VTScreen> screen;
    std::shared_ptr<VTLayer> photoCard;
};

Feed feedScreen(const Images& images, const VTScreen& like) {
    auto screen = VTScreen::initWithCanvasName_size("Feed", {375, 667});
    screen->setBackgroundColor(groupedGround());

    auto photoCard = card("Photo Card", {16, 16, 343, 316}, white());
    with(photoCard, picture(images.photo, {0, 0, 343, 190}),
         text("Golden hour over the bay", {16, 204, 311, 24}, {"SFProText-Semibold", 18, ink()}),
         text("The last evening of the trip, no filter.", {16, 230, 311, 22},
              {"SFProText-Regular", 15, secondaryInk()}),
         avatar(images, {16, 272, 28, 28}),
         text("Jane Doe", {52, 277, 150, 20}, {"SFProText-Medium", 14, ink()}),
         placed(like.createComponentInstance(), {251, 272}));

    auto quoteCard = card("Quote Card", {16, 348, 343, 156}, displayP3(0.94, 0.92, 1.0));
    with(quoteCard,
         text("“Make it simple, but significant.”", {20, 22, 303, 64},
              {"TimesNewRomanPS-ItalicMT", 24, displayP3(0.345, 0.24, 0.96), 1}),
         text("Saved from Design Notes", {20, 92, 303, 18},
              {"SFProText-Regular", 13, secondaryInk(), 2}),
         placed(like.createComponentInstance(), {20, 116}));

    // A draft is shown faded: its layers are composited first and then faded together, so the
    // placeholder bars do not show through one another.
    auto draftCard = card("Draft Card", {16, 520, 343, 132}, white());
    draftCard->setOpacity(0.55f);
    with(draftCard,
         with(shape("Draft Badge", {16, 16, 56, 22}, displayP3(1, 0.58, 0.0), 11),
              text("DRAFT", {0, 4, 56, 14}, {"SFProText-Bold", 11, white(), 1})),
         text("Untitled post", {16, 48, 311, 24}, {"SFProText-Semibold", 18, ink()}),
         shape("Placeholder Line", {16, 82, 280, 10}, sRGB(0xD1D1D6), 5),
         shape("Placeholder Line", {16, 100, 200, 10}, sRGB(0xD1D1D6), 5));

    auto cards = clipping("Cards", {0, 104, 375, 563}, sRGB(0xFFFFFF, 0), 0);
    cards->setVerticalBehavior(1);  // scrolls vertically
    with(cards, photoCard, quoteCard, draftCard);

    auto header = shape("Header", {0, 0, 375, 104}, white());
    auto title = text("Discover", {20, 50, 250, 42}, {"SFProDisplay-Bold", 34, ink()});
    with(header, title, avatar(images, {319, 54, 36, 36}),
         shape("Separator", {0, 103.5, 375, 0.5}, hairline()));
    with(screen, cards, header);

    // As the list scrolls up, the large title fades out over the first 40 points: the link starts
    // with the keyframe of the values now (not scrolled, opaque), the second ends the fade.
    auto fade = VTLink::initWithInputLayer_inputProperty_outputLayer_outputProperty(
        cards, kVTPropertyScrollY, title, kVTPropertyOpacity);
    fade->addKeyframe(VTKeyframe::initWithInput_output(40, 0));
    screen->insertObject_inLinksAtIndex(fade, 0);
    return {screen, photoCard};
}

struct Post {
    std::shared_ptr<VTScreen> screen;
    std::shared_ptr<VTLayer> back;
};

Post postScreen(const Images& images, const VTScreen& like) {
    auto screen = VTScreen::initWithCanvasName_size("Post", {375, 667});
    screen->setBackgroundColor(sRGB(0x000000));
    auto back = text("‹ Feed", {16, 52, 100, 24}, {"SFProText-Regular", 18, white()});
    back->setName("Back");
    with(screen, back, picture(images.photo, {0, 200, 375, 234}),
         text("Golden hour over the bay", {20, 462, 335, 30}, {"SFProDisplay-Bold", 24, white()}),
         text("The last evening of the trip: no filter, just light. The sun went down behind "
              "the hills a few minutes later.",
              {20, 498, 335, 66}, {"SFProText-Regular", 16, white(0.75)}),
         placed(like.createComponentInstance(), {20, 584}));
    return {screen, back};
}

}  // namespace

std::shared_ptr<NSData> feedDocument(const ExampleAssets& assets) {
    auto component = VTPrototype::init();
    const auto like = likeButton();
    component->addScreen(like);
    const Images images{assets.still("avatar@2x.png", "9B2E5C1A-7D44-4F0B-8C1E-2A6F3D5B7E01"),
                        assets.still("golden-hour.jpg", "9B2E5C1A-7D44-4F0B-8C1E-2A6F3D5B7E02")};
    const auto feed = feedScreen(images, *like);
    const auto post = postScreen(images, *like);

    auto prototype = VTPrototype::init();
    prototype->addScreen(feed.screen);
    prototype->addScreen(post.screen);
    prototype->addComponent(component);
    auto open = VTEvent::initWithType(0);
    open->setSource(feed.photoCard);
    open->setDestination(post.screen);
    prototype->addTransition_atIndex(open, 0);
    auto back = VTEvent::initWithType(0);
    back->setSource(post.back);
    back->setDestination(feed.screen);
    prototype->addTransition_atIndex(back, 1);
    return documentData(prototype);
}

}  // namespace examples
