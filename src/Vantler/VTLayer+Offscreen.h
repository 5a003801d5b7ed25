#pragma once
// Offscreen pictures of a layer: a new bitmap of a given pixel size with a rectangle of the layer
// fitted into it (the picture a document carries as its thumbnail), the same wrapped in a platform
// image, and the export of a layer as a PNG file named after it.
//
// Like drawing (VTLayer+Drawing.h), these instance operations of VTLayer are free functions taking
// the layer first. Rectangles given to them are in the layer's drawing space, where its own
// rectangle lies at (0, 0, width, height). The layer's own position, anchor, angle, scale and
// opacity are not applied. Nothing is kept between calls.

#include <memory>
#include <string>

#include "CGGeometry.h"
#include "CGImage.h"
#include "NSImage.h"
#include "VTLayer.h"

#pragma GCC visibility push(default)  // exported from libVantler

// A new bitmap (owned by the caller) of ceil(width) × ceil(height) pixels, sRGB, 8 bits per
// component, premultiplied R G B A, starting transparent, with the layer drawn so that `bounds` is
// scaled uniformly to fit the requested size and centred in it; the margins this leaves on two
// sides when the aspect ratios differ stay transparent. Bounds without width and height fit the
// size of the layer's image in pixels (10 × 10 without one) around their origin. Sublayers are
// drawn when `drawSublayers` is set or the layer has neither a fill colour nor an image. Null for
// a side that is not above 0, and for a size no bitmap context takes (CGContext.h: beyond 32767
// pixels a side or 10^8 pixels in all), which fails at once without drawing.
CGImageRef CreateCGImageWithPixelSize_bounds_drawSublayers(const VTLayer& layer, CGSize pixelSize,
                                                           CGRect bounds, bool drawSublayers);

// The bitmap of pointSize × scale pixels, as a platform image whose size in points is its pixel
// size divided by `scale`. None for a scale that is not above 0, or when there is no bitmap.
std::shared_ptr<NSImage> imageWithPointSize_bounds_drawSublayers_scale(
    const VTLayer& layer, CGSize pointSize, CGRect bounds, bool drawSublayers, double scale);
// The same over the layer's own rectangle.
std::shared_ptr<NSImage> imageWithPointSize_drawSublayers_scale(const VTLayer& layer,
                                                                CGSize pointSize,
                                                                bool drawSublayers, double scale);

// Where an export went, and whether the file was written.
struct VTLayerPNGFile {
    std::string path;
    bool written = false;
};

// Exports everything the layer and its sublayers paint (its visual bounds) at one pixel per point
// as PNG into `directory`, named after the layer ("<directory>/<name>.png", the name without the
// characters / \ ? % * | " < > that file systems or file managers refuse), made unique with
// uniqueFilePath (NSFileManager+Utilities.h) and written atomically. A picture that cannot be made
// or encoded, a write that fails and a name whose every numbered form is taken write nothing; the
// path is then the one the file would have had (the plain name when every numbered form is taken).
VTLayerPNGFile writePNGToDirectory(const VTLayer& layer, const std::string& directory);
// `renderToDirectory:`: writePNGToDirectory's path, whether or not the file was written.
std::string renderToDirectory(const VTLayer& layer, const std::string& directory);

#pragma GCC visibility pop
