#pragma once
// PDF and SVG documents drawn into pixels by poppler and librsvg, readers that are not ours.

#include <cairo.h>
#include <librsvg/rsvg.h>
#include <poppler.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "ContextTestSupport.h"

namespace VectorPageTestSupport {

// The first page of `pdf` drawn by poppler into `cairo` at one unit a point; a document poppler
// cannot read draws nothing.
inline void drawPDFPage(cairo_t* cairo, const std::vector<uint8_t>& pdf) {
    GBytes* bytes = g_bytes_new(pdf.data(), pdf.size());
    PopplerDocument* document = poppler_document_new_from_bytes(bytes, nullptr, nullptr);
    g_bytes_unref(bytes);
    if (!document) return;
    if (PopplerPage* page = poppler_document_get_page(document, 0)) {
        poppler_page_render(page, cairo);
        g_object_unref(page);
    }
    g_object_unref(document);
}

// `svg` drawn by librsvg into `cairo`, filling width × height units; a document librsvg cannot read
// draws nothing.
inline void drawSVGDocument(cairo_t* cairo, const std::vector<uint8_t>& svg, double width,
                            double height) {
    RsvgHandle* handle = rsvg_handle_new_from_data(svg.data(), svg.size(), nullptr);
    if (!handle) return;
    const RsvgRectangle viewport{0, 0, width, height};
    rsvg_handle_render_document(handle, cairo, &viewport, nullptr);
    g_object_unref(handle);
}

// A native bitmap context of width × height pixels (ContextTestSupport's format, cairo's own),
// transparent, holding what `draw` drew into it through cairo.
inline CGContextRef nativePicture(size_t width, size_t height,
                                  const std::function<void(cairo_t*)>& draw) {
    const CGContextRef picture = ContextTestSupport::nativeContext(width, height);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        static_cast<unsigned char*>(CGBitmapContextGetData(picture)), CAIRO_FORMAT_ARGB32,
        int(width), int(height), int(CGBitmapContextGetBytesPerRow(picture)));
    cairo_t* cairo = cairo_create(surface);
    draw(cairo);
    cairo_destroy(cairo);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    return picture;
}

}  // namespace VectorPageTestSupport
