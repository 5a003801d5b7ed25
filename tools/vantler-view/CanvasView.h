#pragma once
// The viewer's canvas: every screen of a document side by side with its name, zoomed and panned
// with the mouse, wheel, pinch and keys, and a box selection that highlights the layers it covers
// and prints their names and frames.
//
//   drag                  pan
//   Ctrl or Alt + drag    zoom (to the right: in)
//   Ctrl + click          zoom in one step;  Alt + click: out one step
//   Shift + drag          box selection
//   wheel                 pan;  Ctrl + wheel, pinch: zoom about the pointer
//   0  fit every screen     1  100 %     + -  zoom a step     arrows  the next or previous screen
//   Esc, q                close the window

#include <cstdio>
#include <memory>
#include <vector>

#include "NSView+extensions.h"
#include "ScreenPictures.h"
#include "ScreenSheet.h"
#include "VTPrototype.h"

class CanvasView : public NSView, public NSViewCanvasAnswers {
  public:
    // The canvas keeps the document; selections are printed to `selectionOutput`.
    CanvasView(CGRect frame, std::shared_ptr<VTPrototype> prototype, bool dark,
               std::FILE* selectionOutput);

    bool isFlipped() const override { return true; }
    bool allowZoom() const override { return true; }

    // Zooms and centres so that every screen shows, with a margin.
    void fitAll();
    // Zooms and centres on one screen.
    void showScreen(size_t index);
    const ScreenSheet& sheet() const { return sheet_; }
    const std::vector<CoveredLayer>& selection() const { return selection_; }
    // Makes every picture the current view needs now, instead of between frames.
    void makeVisiblePictures();

    void drawRect(const CGContextRef& context, CGRect dirtyRect) override;
    void mouseDown(const NSEvent& event) override;
    void scrollWheel(const NSEvent& event) override;
    void magnifyWithEvent(const NSEvent& event) override;
    void keyDown(const NSEvent& event) override;

  private:
    struct NeededPicture {
        size_t screen;
        int level;
    };
    // The pictures the visible screens lack at the device pixels per point given, nearest the
    // centre first.
    std::vector<NeededPicture> missingPictures(double pixelsPerPoint) const;
    // Makes missing pictures for a few milliseconds, then shows them; asks again while some lack.
    void makeMissingPictures();
    void scheduleMissingPictures();
    void drawPicture(const CGContextRef& context, const SheetScreen& placed,
                     const CGImageRef& picture) const;
    void drawSelection(const CGContextRef& context) const;
    void selectInBox();
    void moveToNeighbourScreen(int step);
    CGPoint locationInView(const NSEvent& event) const;

    std::shared_ptr<VTPrototype> prototype_;
    ScreenSheet sheet_;
    ScreenPictures pictures_;
    bool dark_;
    std::FILE* selectionOutput_;
    std::vector<CoveredLayer> selection_;
    double lastPixelsPerPoint_ = 1.0;
};
