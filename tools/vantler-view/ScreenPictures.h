#pragma once
// Pictures of the sheet's screens, each with its name, kept at the sizes the canvas has shown them:
// a frame is drawn from a few pictures instead of every layer of every screen, so zooming and
// panning stay smooth on documents of many screens.
//
// A picture's level is a power of two: level e holds 2^e pixels per point. Pictures are made on
// request (the canvas asks for the ones it lacks between frames); until then the nearest level made
// stands in, scaled.

#include <cstddef>
#include <map>
#include <vector>

#include "CGColor.h"
#include "CGImage.h"
#include "ScreenSheet.h"

inline constexpr int kSmallestPictureLevel = -6;
inline constexpr int kLargestPictureLevel = 2;
// A picture holds at most this many pixels, so a huge screen is shown less sharp, never refused.
inline constexpr double kMaxPicturePixels = 16.0 * 1024 * 1024;
// When the pictures hold more than this, those of other levels than the one in use go.
inline constexpr size_t kPictureBudgetBytes = size_t{256} << 20;

class ScreenPictures {
  public:
    ScreenPictures(const ScreenSheet& sheet, CGColorRef labelColor);

    // The level that shows the picture sharply at that many device pixels per point.
    static int levelFor(double pixelsPerPoint, CGSize pictureSize);

    bool hasPicture(size_t screen, int level) const;
    // The picture at the level, else the nearest level made (larger first); null when none is.
    CGImageRef pictureFor(size_t screen, int level) const;
    // Draws the screen and its name at the level and keeps the picture.
    void makePicture(size_t screen, int level);
    // Frees pictures of other levels while more than the budget is held; the smallest picture of
    // each screen stays, to stand in.
    void trimToBudget(int levelInUse);
    size_t bytesHeld() const { return bytesHeld_; }

  private:
    CGImageRef drawPicture(const SheetScreen& placed, int level) const;

    const ScreenSheet& sheet_;
    CGColorRef labelColor_;
    std::vector<std::map<int, CGImageRef>> pictures_;  // per screen, by level
    size_t bytesHeld_ = 0;
};
