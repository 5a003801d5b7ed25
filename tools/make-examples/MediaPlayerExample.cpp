// A media player: a movie layer (a short clip kept in the document, shown by its first frame) in a
// rounded frame with a coloured glow, a title in a serif face, a progress bar, round controls and
// monospaced times, on a dark ground.

#include "ExampleLayers.h"
#include "Examples.h"

namespace examples {
namespace {

std::shared_ptr<VTLayer> roundButton(std::string_view name, CGRect frame, const CGColorRef& fill) {
    return shape(name, frame, fill, static_cast<float>(frame.size.width / 2));
}

std::shared_ptr<VTLayer> skipButton(std::string_view name, double x) {
    return with(roundButton(name, {x, 474, 56, 56}, white(0.12)),
                text("15", {0, 17, 56, 22}, {"SFProText-Semibold", 17, white(), 1}));
}

std::shared_ptr<VTLayer> progress(const CGColorRef& played) {
    auto knob = roundButton("Knob", {111, -5, 14, 14}, white());
    setShadow(*knob, sRGB(0x000000, 0.4), {0, 1}, 3);
    return with(shape("Progress", {24, 410, 327, 4}, white(0.2), 2),
                shape("Played", {0, 0, 118, 4}, played, 2), knob);
}

}  // namespace

std::shared_ptr<NSData> mediaPlayerDocument(const ExampleAssets& assets) {
    const auto orange = displayP3(1.0, 0.55, 0.1), violet = displayP3(0.55, 0.3, 1.0, 0.6);
    auto screen = VTScreen::initWithCanvasName_size("Now Playing", {375, 667});
    screen->setBackgroundColor(sRGB(0x0E0C1A));

    auto movie = picture(assets.movie("evening-ridge.mov", "C56A4180-65AA-42EC-A945-5FD21DEC0538"),
                         {0, 0, 343, 193});
    movie->setMediaPaused(true);
    auto frame = clipping("Video", {16, 96, 343, 193}, sRGB(0x000000), 16);
    setShadow(*frame, violet, {0, 12}, 28);
    with(frame, movie,
         with(shape("HD Badge", {12, 12, 34, 20}, sRGB(0x000000, 0.55), 5),
              text("HD", {0, 3, 34, 14}, {"SFProText-Bold", 11, white(), 1})));

    auto play = roundButton("Pause Button", {147.5, 462, 80, 80}, white());
    setShadow(*play, displayP3(1.0, 0.55, 0.1, 0.5), {0, 8}, 20);
    with(play, shape("Bar", {27, 24, 9, 32}, sRGB(0x0E0C1A), 2),
         shape("Bar", {44, 24, 9, 32}, sRGB(0x0E0C1A), 2));

    with(screen, text("NOW PLAYING", {0, 54, 375, 18}, {"SFProText-Semibold", 13, white(0.55), 1}),
         frame, text("Evening Ridge", {24, 318, 327, 36}, {"TimesNewRomanPS-BoldMT", 30, white()}),
         text("A short film by Jane Doe · 0:30", {24, 358, 327, 20},
              {"SFProText-Regular", 15, white(0.6)}),
         progress(orange), text("0:12", {24, 424, 80, 16}, {"Courier New", 13, white(0.6)}),
         text("-0:18", {271, 424, 80, 16}, {"Courier New", 13, white(0.6), 2}),
         skipButton("Back 15", 71.5), play, skipButton("Forward 15", 247.5),
         with(shape("Volume", {64, 590, 247, 4}, white(0.2), 2),
              shape("Level", {0, 0, 170, 4}, white(0.85), 2)),
         roundButton("Quiet", {40, 586, 12, 12}, white(0.5)),
         roundButton("Loud", {321, 583, 18, 18}, white(0.5)));

    auto prototype = VTPrototype::init();
    prototype->addScreen(screen);
    return documentData(prototype);
}

}  // namespace examples
