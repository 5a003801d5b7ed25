// Writes the typical screen that the drawing benchmarks measure, in two forms that look alike: a
// document made through the model (no carried thumbnail, so the generator draws it) and the same
// scene as SVG for rsvg-convert. Also writes documents of many such screens for the preview.
//
// The screen is 375 × 667 points, white: two columns of fifteen cards (172 × 36, radius 8, a
// 1-point border, a drop shadow); each card holds two lines of text, eight 10 × 10 rounded squares
// at opacity 0.8, and every third card a 64 × 64 PNG picture in a 28 × 28 rounded frame. That is
// 30 shadowed cards, 240 faded squares, 60 lines of text and 10 pictures.
//
// usage: typical_screen_documents scene DIR          DIR/typical-screen.vantler and .svg
//        typical_screen_documents screens N FILE     a document of N typical screens

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CGColorSpace.h"
#include "CGImage.h"
#include "CGImageToData.h"
#include "NSData.h"
#include "NSKeyedArchiver.h"
#include "VTImage.h"
#include "VTPrototype.h"
#include "VTScreen.h"

namespace {

constexpr double kScreenWidth = 375, kScreenHeight = 667;
constexpr int kColumns = 2, kRows = 15, kPictures = 10;
constexpr double kCardWidth = 172, kCardHeight = 36, kCardRadius = 8, kBorder = 1;
constexpr double kShadowOffsetY = 2, kShadowBlur = 6, kShadowAlpha = 0.25;
constexpr double kSquare = 10, kSquareRadius = 3;
constexpr float kSquareOpacity = 0.8f;
constexpr double kPicture = 28, kPictureRadius = 6;
constexpr double kTitleSize = 12, kDetailSize = 10;
// Liberation Sans's ascent: where the first baseline of a text frame lies below its top.
constexpr double kAscent = 0.905;

struct RGB {
    double r, g, b;
};

// What one card shows, in the screen's points; both writers draw from this.
struct Card {
    double x, y;
    RGB fill;
    int picture;  // index into the pictures, or -1
    std::string title, detail;
};

struct Text {
    double x, y, width, height, size;
};

struct Square {
    double x, y;
    RGB colour;
};

std::vector<Card> cards() {
    std::vector<Card> result;
    for (int i = 0; i < kColumns * kRows; ++i) {
        const double tint = (i % 7) / 40.0;
        result.push_back({10 + (i % kColumns) * 183.0,
                          12 + (i / kColumns) * 43.0,
                          {0.97 - tint, 0.97, 1.0 - tint / 2},
                          i % 3 == 0 && i / 3 < kPictures ? i / 3 : -1,
                          "Card title " + std::to_string(i + 1),
                          "Detail " + std::to_string(i + 1) + ", 3 new"});
    }
    return result;
}

double textLeft(const Card& card) {
    return card.picture >= 0 ? 38 : 8;
}
Text titleOf(const Card& card) {
    return {textLeft(card), 3, 84, 16, kTitleSize};
}
Text detailOf(const Card& card) {
    return {textLeft(card), 19, 84, 14, kDetailSize};
}

std::vector<Square> squaresOf(int cardIndex) {
    std::vector<Square> result;
    for (int i = 0; i < 8; ++i) {
        const int hue = (cardIndex * 8 + i) % 6;
        result.push_back({124 + (i % 4) * 12.0,
                          6 + (i / 4) * 13.0,
                          {hue < 2 ? 0.9 : 0.2, hue % 3 == 1 ? 0.7 : 0.3, hue >= 3 ? 0.9 : 0.2}});
    }
    return result;
}

// A 64 × 64 opaque picture: a gradient whose direction and hues differ per index, with a disc.
CGImageRef pictureImage(int index) {
    constexpr size_t side = 64;
    std::vector<uint8_t> pixels(side * side * 4);
    for (size_t y = 0; y < side; ++y)
        for (size_t x = 0; x < side; ++x) {
            uint8_t* p = &pixels[(y * side + x) * 4];
            const double dx = double(x) - 32, dy = double(y) - 28;
            const bool disc = dx * dx + dy * dy < 14 * 14;
            p[0] = disc ? 250 : uint8_t((x * 4 + index * 25) % 256);
            p[1] = disc ? 220 : uint8_t((y * 3 + index * 40) % 256);
            p[2] = disc ? 180 : uint8_t(255 - (x + y) * 2 % 256);
            p[3] = 255;
        }
    return CGImageCreate(side, side, 8, 32, side * 4, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                         kCGImageAlphaPremultipliedLast, NSData::dataWithVector(std::move(pixels)));
}

std::vector<std::shared_ptr<VTImage>> pictures() {
    std::vector<std::shared_ptr<VTImage>> result;
    for (int i = 0; i < kPictures; ++i) {
        result.push_back(VTImage::init());
        result.back()->_setCGImage(pictureImage(i));
    }
    return result;
}

// ---- The document

CGColorRef colourOf(const RGB& c, double alpha = 1) {
    return CGColorCreateSRGB(c.r, c.g, c.b, alpha);
}

std::shared_ptr<VTLayer> layerAt(const std::shared_ptr<VTLayer>& parent,
                                 std::shared_ptr<VTLayer> layer, CGRect frame) {
    layer->setAnchorPoint(CGPointZero);
    layer->setPosition(frame.origin);
    layer->setSize(frame.size);
    parent->addSublayer(layer);
    return layer;
}

void addText(const std::shared_ptr<VTLayer>& card, const Text& text, const std::string& words) {
    auto layer = layerAt(card, VTLayer::textLayer(), {{text.x, text.y}, {text.width, text.height}});
    layer->setText(words);
    layer->setFontSize(text.size);
    layer->setBackgroundColor(CGColorCreateSRGB(0.1, 0.1, 0.15, 1));
}

std::shared_ptr<VTScreen> typicalScreen(const std::vector<std::shared_ptr<VTImage>>& images) {
    auto screen = VTScreen::initWithCanvasName_size("Typical", {kScreenWidth, kScreenHeight});
    const auto all = cards();
    for (size_t i = 0; i < all.size(); ++i) {
        const Card& c = all[i];
        auto card = layerAt(screen, VTLayer::init(), {{c.x, c.y}, {kCardWidth, kCardHeight}});
        card->setBackgroundColor(colourOf(c.fill));
        card->setRadius(float(kCardRadius));
        card->setBorderWidth(kBorder);
        card->setBorderColor(CGColorCreateSRGB(0.8, 0.8, 0.85, 1));
        card->setShadowColor(CGColorCreateSRGB(0, 0, 0, kShadowAlpha));
        card->setShadowOffset({0, kShadowOffsetY});
        card->setShadowRadius(kShadowBlur);
        if (c.picture >= 0) {
            auto picture = layerAt(card, VTLayer::init(), {{4, 4}, {kPicture, kPicture}});
            picture->setRadius(float(kPictureRadius));
            picture->setImage(images[size_t(c.picture)]);
        }
        addText(card, titleOf(c), c.title);
        addText(card, detailOf(c), c.detail);
        for (const Square& s : squaresOf(int(i))) {
            auto square = layerAt(card, VTLayer::init(), {{s.x, s.y}, {kSquare, kSquare}});
            square->setBackgroundColor(colourOf(s.colour));
            square->setRadius(float(kSquareRadius));
            square->setOpacity(kSquareOpacity);
        }
    }
    return screen;
}

// Screens share the pictures, as screens of one design share their assets: the archive holds each
// picture once.
bool writeDocument(const std::string& path, int screens) {
    const auto images = pictures();
    const auto prototype = VTPrototype::init();
    for (int i = 0; i < screens; ++i) prototype->addScreen(typicalScreen(images));
    const auto data = NSKeyedArchiver::archivedDataWithRootObject(prototype);
    return data && data->writeToFile_atomically(path, true);
}

// ---- The SVG

std::string base64(const NSData& data) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto bytes = data.span();
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = bytes.size() - i;
        const uint32_t word = uint32_t(bytes[i]) << 16 |
                              (left > 1 ? uint32_t(bytes[i + 1]) << 8 : 0) |
                              (left > 2 ? bytes[i + 2] : 0);
        out += kDigits[word >> 18 & 63];
        out += kDigits[word >> 12 & 63];
        out += left > 1 ? kDigits[word >> 6 & 63] : '=';
        out += left > 2 ? kDigits[word & 63] : '=';
    }
    return out;
}

std::string hex(const RGB& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", int(c.r * 255 + 0.5), int(c.g * 255 + 0.5),
                  int(c.b * 255 + 0.5));
    return text;
}

std::string svgText(const Text& text, const std::string& words) {
    return "<text x=\"" + std::to_string(text.x) + "\" y=\"" +
           std::to_string(text.y + kAscent * text.size) + "\" font-size=\"" +
           std::to_string(text.size) + "\">" + words + "</text>\n";
}

// The shadow is spelt out as blur, offset, flood and merge: rsvg-convert 2.54 draws nothing for an
// element whose filter holds feDropShadow. The card's shadow is cast by the whole card, as the
// generator composites a shadowed layer as one group; a border lies inside the card's shape, so its
// stroke runs half a width in from the edge.
std::string svgDocument(const std::vector<std::shared_ptr<VTImage>>& images) {
    std::string svg =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"375\" height=\"667\" "
        "viewBox=\"0 0 375 667\">\n<defs>\n"
        "<filter id=\"shadow\" x=\"-20%\" y=\"-50%\" width=\"140%\" height=\"200%\">"
        "<feGaussianBlur in=\"SourceAlpha\" stdDeviation=\"" +
        std::to_string(kShadowBlur / 2) + "\"/><feOffset dy=\"" + std::to_string(kShadowOffsetY) +
        "\" result=\"cast\"/><feFlood flood-color=\"#000\" flood-opacity=\"" +
        std::to_string(kShadowAlpha) +
        "\"/><feComposite in2=\"cast\" operator=\"in\"/>"
        "<feMerge><feMergeNode/><feMergeNode in=\"SourceGraphic\"/></feMerge></filter>\n"
        "<clipPath id=\"frame\"><rect x=\"4\" y=\"4\" width=\"28\" height=\"28\" rx=\"6\"/>"
        "</clipPath>\n</defs>\n<rect width=\"375\" height=\"667\" fill=\"#fff\"/>\n"
        "<g font-family=\"Liberation Sans\" fill=\"#1a1a26\">\n";
    const auto all = cards();
    for (size_t i = 0; i < all.size(); ++i) {
        const Card& c = all[i];
        svg += "<g filter=\"url(#shadow)\" transform=\"translate(" + std::to_string(c.x) + "," +
               std::to_string(c.y) + ")\">\n<rect width=\"172\" height=\"36\" rx=\"8\" fill=\"" +
               hex(c.fill) + "\"/>\n";
        if (c.picture >= 0)
            svg +=
                "<image x=\"4\" y=\"4\" width=\"28\" height=\"28\" preserveAspectRatio=\"none\" "
                "clip-path=\"url(#frame)\" href=\"data:image/png;base64," +
                base64(*images[size_t(c.picture)]->pngData()) + "\"/>\n";
        svg += svgText(titleOf(c), c.title) + svgText(detailOf(c), c.detail);
        for (const Square& s : squaresOf(int(i)))
            svg += "<g opacity=\"0.8\"><rect x=\"" + std::to_string(s.x) + "\" y=\"" +
                   std::to_string(s.y) + "\" width=\"10\" height=\"10\" rx=\"3\" fill=\"" +
                   hex(s.colour) + "\"/></g>\n";
        svg +=
            "<rect x=\"0.5\" y=\"0.5\" width=\"171\" height=\"35\" rx=\"7.5\" fill=\"none\" "
            "stroke=\"#ccccd9\" stroke-width=\"1\"/>\n</g>\n";
    }
    return svg + "</g>\n</svg>\n";
}

bool writeScene(const std::string& folder) {
    const auto images = pictures();
    std::ofstream svg(folder + "/typical-screen.svg", std::ios::binary);
    svg << svgDocument(images);
    return svg.good() && writeDocument(folder + "/typical-screen.vantler", 1);
}

int usage() {
    std::fprintf(stderr,
                 "usage: typical_screen_documents scene DIR\n"
                 "       typical_screen_documents screens N FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    bool written;
    if (args.size() == 2 && args[0] == "scene") {
        written = writeScene(args[1]);
    } else if (args.size() == 3 && args[0] == "screens" && std::atoi(args[1].c_str()) > 0) {
        written = writeDocument(args[2], std::atoi(args[1].c_str()));
    } else {
        return usage();
    }
    if (!written) std::fprintf(stderr, "typical_screen_documents: cannot write\n");
    return written ? 0 : 1;
}
