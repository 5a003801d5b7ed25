// A sign-in screen and the screen it leads to: an app logo (a PNG at two pixels per point) with a
// coloured glow, text in three families and all four alignments, text fields with borders, a
// rounded button with a drop shadow, and the tap that opens the second screen.

#include "ExampleLayers.h"
#include "Examples.h"

namespace examples {
namespace {

std::shared_ptr<VTLayer> field(std::string_view label, std::string_view value, double y,
                               const CGColorRef& border, double borderWidth) {
    auto box = shape(label, {32, y, 311, 50}, groupedGround(), 12);
    setBorder(*box, border, borderWidth);
    box->addSublayer(text(value, {16, 14, 279, 24}, {"SFProText-Regular", 17, ink()}));
    return box;
}

struct SignIn {
    std::shared_ptr<VTScreen> screen;
    std::shared_ptr<VTLayer> button;
};

SignIn signInScreen(const ExampleAssets& assets) {
    auto screen = VTScreen::initWithCanvasName_size("Sign In", {375, 667});
    auto logo = picture(assets.still("logo@2x.png", "3F2504E0-4F89-11D3-9A0C-0305E82C3301"),
                        {147.5, 84, 80, 80});
    setShadow(*logo, accent(0.45), {0, 10}, 18);
    auto button = shape("Sign In Button", {32, 522, 311, 54}, accent(), 14);
    setShadow(*button, accent(0.4), {0, 8}, 14);
    button->addSublayer(text("Sign In", {0, 15, 311, 24}, {"SFProText-Semibold", 17, white(), 1}));
    with(
        screen, logo, text("Welcome back", {24, 192, 327, 40}, {"SFProDisplay-Bold", 30, ink(), 1}),
        text("Sign in to pick up where you left off.", {24, 236, 327, 22},
             {"SFProText-Regular", 16, secondaryInk(), 1}),
        text("Email", {36, 290, 200, 18}, {"SFProText-Medium", 13, secondaryInk()}),
        field("Email Field", "jane.doe@example.com", 312, hairline(), 1),
        text("Password", {36, 376, 200, 18}, {"SFProText-Medium", 13, secondaryInk()}),
        field("Password Field", "••••••••••", 398, accent(), 2),
        text("Forgot password?", {32, 460, 311, 20}, {"SFProText-Medium", 15, accent(), 2}), button,
        text("By signing in you agree to the Terms of Service and the Privacy Policy. Your "
             "designs stay private until you decide to share them.",
             {32, 598, 311, 54}, {"Times New Roman", 14, secondaryInk(), 3}));
    return {screen, button};
}

std::shared_ptr<VTScreen> welcomeScreen(const ExampleAssets& assets) {
    auto screen = VTScreen::initWithCanvasName_size("Welcome", {375, 667});
    screen->setBackgroundColor(displayP3(0.345, 0.24, 0.96));
    auto ring = clipping("Avatar", {127.5, 180, 120, 120}, white(), 60);
    setBorder(*ring, white(), 4);
    ring->addSublayer(picture(assets.still("avatar@2x.png", "3F2504E0-4F89-11D3-9A0C-0305E82C3302"),
                              {0, 0, 120, 120}));
    auto start = shape("Get Started Button", {32, 560, 311, 54}, white(), 27);
    setShadow(*start, sRGB(0x000000, 0.25), {0, 6}, 12);
    start->addSublayer(text("Get Started", {0, 15, 311, 24},
                            {"SFProText-Semibold", 17, displayP3(0.345, 0.24, 0.96), 1}));
    with(screen, ring,
         text("You're in, Jane.", {24, 332, 327, 40}, {"SFProDisplay-Bold", 30, white(), 1}),
         text("Your projects are syncing and will be ready in a moment.", {48, 380, 279, 48},
              {"SFProText-Regular", 17, white(0.8), 1}),
         start);
    return screen;
}

}  // namespace

std::shared_ptr<NSData> signInDocument(const ExampleAssets& assets) {
    auto prototype = VTPrototype::init();
    const auto signIn = signInScreen(assets);
    const auto welcome = welcomeScreen(assets);
    prototype->addScreen(signIn.screen);
    prototype->addScreen(welcome);
    auto tap = VTEvent::initWithType(0);
    tap->setSource(signIn.button);
    tap->setDestination(welcome);
    prototype->addTransition_atIndex(tap, 0);
    return documentData(prototype);
}

}  // namespace examples
