// The host's vector contexts: one PDF or SVG page over cairo's PDF and SVG surfaces. See
// CGContext.h for the contract.

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <cmath>
#include <new>

#include "CGColorSpace.h"
#include "CGContextPrivate.h"

namespace {

enum class Format { pdf, svg };

cairo_status_t appendToSink(void* closure, const unsigned char* data, unsigned int length) {
    auto* sink = static_cast<std::vector<uint8_t>*>(closure);
    try {
        sink->insert(sink->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

bool acceptableMediaBox(CGRect box) {
    return std::isfinite(box.origin.x) && std::isfinite(box.origin.y) &&
           std::isfinite(box.size.width) && std::isfinite(box.size.height) && box.size.width > 0 &&
           box.size.height > 0 && box.size.width <= kCGVectorContextMaxDimension &&
           box.size.height <= kCGVectorContextMaxDimension &&
           std::fabs(box.origin.x) <= kCGVectorContextMaxDimension &&
           std::fabs(box.origin.y) <= kCGVectorContextMaxDimension;
}

// `path` null: into `sink`.
CGContextRef createVectorContext(Format format, const std::string* path, std::vector<uint8_t>* sink,
                                 CGRect mediaBox) {
    if (!acceptableMediaBox(mediaBox) || (!path && !sink)) return nullptr;
    const double width = mediaBox.size.width, height = mediaBox.size.height;
    cairo_surface_t* surface;
    if (format == Format::pdf)
        surface = path ? cairo_pdf_surface_create(path->c_str(), width, height)
                       : cairo_pdf_surface_create_for_stream(appendToSink, sink, width, height);
    else
        surface = path ? cairo_svg_surface_create(path->c_str(), width, height)
                       : cairo_svg_surface_create_for_stream(appendToSink, sink, width, height);
    auto context = std::make_shared<CGContext>();
    context->surface = surface;  // destroyed with the context, also on failure
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return nullptr;
    // The page in points, as the media box says (cairo's default for SVG varies by version).
    if (format == Format::svg) cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PT);
    context->cr = cairo_create(surface);
    if (cairo_status(context->cr) != CAIRO_STATUS_SUCCESS) return nullptr;
    context->vector = std::make_unique<CGContext::Vector>();
    context->vector->sink = sink;
    context->vector->svg = format == Format::svg;
    context->space = CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
    context->page = CGRectStandardize(mediaBox);
    // The media box's lower-left corner is cairo's bottom-left of the page.
    cairo_matrix_init(&context->deviceToCairo, 1, 0, 0, -1, -context->page.origin.x,
                      context->page.origin.y + height);
    context->gstate.clipBox = context->page;
    context->shadowScale = kCGVectorContextShadowScale;
    return context;
}

// Lets go of a group or shadow mask kept for a finished SVG document. Cairo 1.16's SVG surface
// takes a reference to each recorded group every time it writes one (to_recording_surface in
// cairo-svg-surface.c, through _cairo_surface_snapshot_get_target) and never gives it back, which
// would leak the group with everything recorded in it. Once the document is finished nothing of
// cairo's holds a group (the context's own state is back outside every group), so every reference
// but ours is one of those.
void releaseKeptSVGSurface(cairo_surface_t* kept) {
    if (cairo_surface_get_type(kept) == CAIRO_SURFACE_TYPE_RECORDING)
        while (cairo_surface_get_reference_count(kept) > 1) cairo_surface_destroy(kept);
    cairo_surface_destroy(kept);
}

}  // namespace

void CGContext::finishVector() {
    if (!vector || vector->closed) return;
    while (!groups.empty()) closeGroup();
    cairo_surface_finish(surface);
    for (cairo_surface_t* kept : vector->retained) {
        // A PDF surface gives back what it took; only the SVG surface's references are left over.
        if (vector->svg)
            releaseKeptSVGSurface(kept);
        else
            cairo_surface_destroy(kept);
    }
    vector->retained.clear();
    vector->closed = true;
}

CGContextRef CGPDFContextCreateWithPath(const std::string& path, CGRect mediaBox) {
    return createVectorContext(Format::pdf, &path, nullptr, mediaBox);
}

CGContextRef CGSVGContextCreateWithPath(const std::string& path, CGRect mediaBox) {
    return createVectorContext(Format::svg, &path, nullptr, mediaBox);
}

CGContextRef CGPDFContextCreateWithData(std::vector<uint8_t>* out, CGRect mediaBox) {
    return createVectorContext(Format::pdf, nullptr, out, mediaBox);
}

CGContextRef CGSVGContextCreateWithData(std::vector<uint8_t>* out, CGRect mediaBox) {
    return createVectorContext(Format::svg, nullptr, out, mediaBox);
}

void CGPDFContextClose(const CGContextRef& context) {
    if (context) context->finishVector();
}
