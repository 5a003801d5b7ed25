// A settings list: grouped rows in rounded groups that clip them, coloured icon tiles, labels on
// the left and values on the right, hairline separators, a "toggle" component shown twice, a
// disabled group faded as a whole, and a monospaced version line.

#include <vector>

#include "ExampleLayers.h"
#include "Examples.h"

namespace examples {
namespace {

constexpr double kRowHeight = 44;

std::shared_ptr<VTScreen> toggle() {
    auto screen = VTScreen::initWithCanvasName_size("Toggle", {51, 31});
    screen->setBackgroundColor(sRGB(0xFFFFFF, 0));
    auto knob = shape("Knob", {22, 2, 27, 27}, white(), 13.5f);
    setShadow(*knob, sRGB(0x000000, 0.25), {0, 2}, 4);
    with(screen, shape("Track", {0, 0, 51, 31}, displayP3(0.2, 0.8, 0.35), 15.5f), knob);
    return screen;
}

struct Row {
    const char* label;
    CGColorRef tint;  // the icon tile's colour
    const char* glyph;
    const char* value = "";  // shown on the right, before the chevron; empty for a toggle
};

std::shared_ptr<VTLayer> row(const Row& r, size_t index, const VTScreen& toggleScreen) {
    auto layer = shape(r.label, {0, index * kRowHeight, 343, kRowHeight}, white());
    with(layer,
         with(shape("Icon", {14, 8, 28, 28}, r.tint, 7),
              text(r.glyph, {0, 5, 28, 20}, {"SFProText-Bold", 15, white(), 1})),
         text(r.label, {56, 11, 160, 22}, {"SFProText-Regular", 17, ink()}));
    if (*r.value) {
        with(layer, text(r.value, {150, 11, 166, 22}, {"SFProText-Regular", 17, secondaryInk(), 2}),
             text("›", {318, 8, 14, 26}, {"SFProText-Regular", 22, hairline(), 1}));
    } else {
        auto instance = toggleScreen.createComponentInstance();
        setFrame(*instance, {278, 6.5, 51, 31});
        layer->addSublayer(instance);
    }
    if (index) layer->addSublayer(shape("Separator", {56, 0, 287, 0.5}, hairline()));
    return layer;
}

std::shared_ptr<VTLayer> group(std::string_view name, double y, const std::vector<Row>& rows,
                               const VTScreen& toggleScreen) {
    auto layer = clipping(name, {16, y, 343, rows.size() * kRowHeight}, white(), 12);
    for (size_t i = 0; i < rows.size(); ++i) layer->addSublayer(row(rows[i], i, toggleScreen));
    return layer;
}

}  // namespace

std::shared_ptr<NSData> settingsDocument() {
    auto component = VTPrototype::init();
    const auto toggleScreen = toggle();
    component->addScreen(toggleScreen);

    const auto blue = displayP3(0.0, 0.48, 1.0), orange = displayP3(1.0, 0.58, 0.0),
               red = displayP3(1.0, 0.23, 0.19), indigo = displayP3(0.35, 0.34, 0.84),
               grey = sRGB(0x8E8E93);
    auto screen = VTScreen::initWithCanvasName_size("Settings", {375, 667});
    screen->setBackgroundColor(groupedGround());
    auto disabled =
        group("Developer", 520, {{"Developer Options", grey, "D", "Off"}}, *toggleScreen);
    disabled->setOpacity(0.4f);  // not available on this device: shown, faded
    with(screen, text("Settings", {20, 50, 335, 42}, {"SFProDisplay-Bold", 34, ink()}),
         with(shape("Search", {16, 104, 343, 36}, sRGB(0xE3E3E8), 10),
              text("Search", {34, 8, 200, 20}, {"SFProText-Regular", 17, sRGB(0x8E8E93)})),
         group("Connections", 160,
               {{"Airplane Mode", orange, "A"},
                {"Wi-Fi", blue, "W", "Home Network"},
                {"Bluetooth", blue, "B"}},
               *toggleScreen),
         group("General", 312,
               {{"Notifications", red, "N", "Banners"},
                {"Appearance", indigo, "A", "Automatic"},
                {"Text Size", grey, "T", "Large"}},
               *toggleScreen),
         text("Show developer options on devices that are set up for testing.", {32, 464, 311, 36},
              {"SFProText-Regular", 13, secondaryInk()}),
         disabled,
         text("Version 2.4.1 (build 1187)", {16, 628, 343, 16},
              {"Courier New", 12, secondaryInk(), 1}));

    auto prototype = VTPrototype::init();
    prototype->addScreen(screen);
    prototype->addComponent(component);
    return documentData(prototype);
}

}  // namespace examples
