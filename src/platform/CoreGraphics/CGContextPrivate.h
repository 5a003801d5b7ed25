#pragma once
// The inside of CGContext, for the CoreGraphics stand-in's own sources (the drawing operations that
// join later: paths, clip, colours, shadows, transparency layers, text). Not platform API.
//
// How a drawing operation is written:
//
//     void CGContextFillPath(const CGContextRef& c) {
//         if (!c) return;
//         cairo_t* cr = c->beginDrawing();  // cairo's matrix = CTM then the y flip, state saved
//         if (!cr) return;                  // a singular CTM: nothing is drawn
//         ... cairo calls in user space ...
//         c->endDrawing();                  // restores cairo's state, marks the pixels changed
//     }
//
// The graphics state lives in `gstate` (saved and restored with `stack`); cairo's own state (its
// clip) is saved and restored in step with it, so a clip set on `cr` between two saves follows
// CGContextSaveGState / RestoreGState.

#include <cairo.h>

#include <memory>
#include <vector>

#include "CGContext.h"
#include "CGImagePrivate.h"

class CGContext {
  public:
    struct GState {
        CGAffineTransform ctm = CGAffineTransformIdentity;
        CGInterpolationQuality interpolation = kCGInterpolationDefault;
    };

    // The pixels behind a bitmap context: the bytes callers see ("visible", in the context's
    // format) and cairo's surface. They are the same memory when the format is cairo's own.
    struct Bitmap {
        size_t width = 0;
        size_t height = 0;
        size_t bytesPerRow = 0;
        CGBitmapInfo bitmapInfo = 0;
        CoreGraphicsPrivate::PixelLayout layout;
        uint8_t* visible = nullptr;
        std::vector<uint8_t> ownedVisible;  // when the context allocated the visible bytes
        bool callerData = false;            // visible bytes supplied by the caller
        bool direct = false;                // cairo draws into the visible bytes
        bool surfaceAhead = false;          // cairo drew; the visible bytes are behind
        bool visibleAhead = false;          // handed out; the caller may have changed them
    };

    CGContext() = default;
    CGContext(const CGContext&) = delete;
    CGContext& operator=(const CGContext&) = delete;
    ~CGContext();

    // Prepares cairo for one drawing operation and returns it: the visible bytes the caller may
    // have changed are taken in, cairo's state is saved and its matrix set to the CTM followed by
    // the flip to cairo's y-down device space. Null (and nothing to end) when the CTM cannot be
    // inverted: cairo would refuse it and stay in an error state for good.
    cairo_t* beginDrawing();
    // Ends the operation begun by beginDrawing (restores cairo's state).
    void endDrawing();
    // Brings the visible bytes up to date with cairo's surface.
    void syncVisible();

    // The context's colour space (RGB); what images are matched into.
    CGColorSpaceRef space;
    GState gstate;
    std::vector<GState> stack;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    // Device space height: cairo's y = deviceHeight − (y-up device y).
    double deviceHeight = 0;
    std::unique_ptr<Bitmap> bitmap;  // null for contexts that are not bitmap contexts

  private:
    void takeInVisible();
};
