#include "ScreenPictures.h"

#include <algorithm>
#include <cmath>

#include "CGColorSpace.h"
#include "CGContext.h"
#include "VTLayer+Drawing.h"

namespace {

constexpr double kLabelFontSize = 12.0;

size_t bytesOf(const CGImageRef& picture) {
    return CGImageGetBytesPerRow(picture) * CGImageGetHeight(picture);
}

}  // namespace

ScreenPictures::ScreenPictures(const ScreenSheet& sheet, CGColorRef labelColor)
    : sheet_(sheet), labelColor_(std::move(labelColor)), pictures_(sheet.screens().size()) {}

int ScreenPictures::levelFor(double pixelsPerPoint, CGSize pictureSize) {
    int level = kLargestPictureLevel;
    if (pixelsPerPoint > 0 && std::isfinite(pixelsPerPoint))
        level = std::clamp(static_cast<int>(std::ceil(std::log2(pixelsPerPoint))),
                           kSmallestPictureLevel, kLargestPictureLevel);
    while (level > kSmallestPictureLevel &&
           pictureSize.width * pictureSize.height * std::ldexp(1.0, 2 * level) > kMaxPicturePixels)
        --level;
    return level;
}

bool ScreenPictures::hasPicture(size_t screen, int level) const {
    return screen < pictures_.size() && pictures_[screen].count(level) != 0;
}

CGImageRef ScreenPictures::pictureFor(size_t screen, int level) const {
    if (screen >= pictures_.size() || pictures_[screen].empty()) return nullptr;
    const auto& made = pictures_[screen];
    if (const auto exact = made.find(level); exact != made.end()) return exact->second;
    // A larger picture scaled down looks better than a smaller one scaled up.
    if (const auto larger = made.upper_bound(level); larger != made.end()) return larger->second;
    return made.rbegin()->second;
}

void ScreenPictures::makePicture(size_t screen, int level) {
    if (screen >= pictures_.size() || hasPicture(screen, level)) return;
    CGImageRef picture = drawPicture(sheet_.screens()[screen], level);
    if (!picture) return;
    bytesHeld_ += bytesOf(picture);
    pictures_[screen].emplace(level, std::move(picture));
}

CGImageRef ScreenPictures::drawPicture(const SheetScreen& placed, int level) const {
    const double scale = std::ldexp(1.0, level);
    const CGRect frame = placed.pictureFrame();
    const auto pixelsWide = static_cast<size_t>(std::ceil(frame.size.width * scale));
    const auto pixelsHigh = static_cast<size_t>(std::ceil(frame.size.height * scale));
    CGContextRef context = CGBitmapContextCreate(
        nullptr, std::max<size_t>(pixelsWide, 1), std::max<size_t>(pixelsHigh, 1), 8, 0,
        CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    if (!context) return nullptr;
    CGContextScaleCTM(context, scale, scale);

    // The screen fills the picture's lower part (user space runs upwards), clipped to itself as a
    // preview draws it.
    const CGSize screenSize = placed.frame.size;
    CGContextSaveGState(context);
    CGContextClipToRect(context, CGRectMake(0, 0, screenSize.width, screenSize.height));
    drawInContext(*placed.screen, context);
    CGContextRestoreGState(context);

    const auto label = VTLayer::textLayer();
    label->setText(placed.name);
    label->setFontSize(kLabelFontSize);
    label->setSize(placed.labelFrame.size);
    label->setBackgroundColor(labelColor_);  // a text layer's fill is its text's colour
    CGContextSaveGState(context);
    CGContextTranslateCTM(context, 0, screenSize.height);
    drawInContext(*label, context);
    CGContextRestoreGState(context);
    return CGBitmapContextCreateImage(context);
}

void ScreenPictures::trimToBudget(int levelInUse) {
    for (auto& made : pictures_) {
        if (bytesHeld_ <= kPictureBudgetBytes) return;
        for (auto picture = made.begin(); picture != made.end();) {
            const bool keep = picture->first == levelInUse || picture == made.begin();
            if (keep) {
                ++picture;
                continue;
            }
            bytesHeld_ -= bytesOf(picture->second);
            picture = made.erase(picture);
        }
    }
}
