// WebP decoding with libwebp: lossy, lossless and with alpha; of an animation, the first frame,
// placed at its offset on a transparent canvas. Colour: the ICCP chunk's profile is the image's
// space when it is an RGB profile; else sRGB. libwebp prints nothing.

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>

#include "CGImagePrivate.h"
#include "CGImageSource.h"
#include "ImageCodecsModule.h"
#include "ImageIOPrivate.h"

namespace {

struct DemuxDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};

}  // namespace

namespace ImageIOPrivate {

CGImageRef decodeWebP(std::span<const uint8_t> bytes) {
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
    if (!demux) return nullptr;
    const uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
    const uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    if (!CoreGraphicsPrivate::sizeWithinLimits(width, height)) return nullptr;

    CGColorSpaceRef space;
    if (WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG) {
        WebPChunkIterator chunk;
        if (WebPDemuxGetChunk(demux.get(), "ICCP", 1, &chunk)) {
            space =
                ImageIOPrivate::colorSpaceFromICCProfile({chunk.chunk.bytes, chunk.chunk.size}, 3);
            WebPDemuxReleaseChunkIterator(&chunk);
        }
    }
    if (!space) space = ImageIOPrivate::defaultColorSpace(3);

    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux.get(), 1, &frame)) return nullptr;
    struct FrameRelease {
        WebPIterator* frame;
        ~FrameRelease() { WebPDemuxReleaseIterator(frame); }
    } release{&frame};
    const auto* fragment = frame.fragment.bytes;
    const size_t fragmentSize = frame.fragment.size;
    const bool whole = frame.x_offset == 0 && frame.y_offset == 0 &&
                       static_cast<uint32_t>(frame.width) == width &&
                       static_cast<uint32_t>(frame.height) == height;

    if (whole && !frame.has_alpha) {
        const size_t rowBytes = static_cast<size_t>(width) * 3;
        std::vector<uint8_t> pixels(rowBytes * height);
        if (!WebPDecodeRGBInto(fragment, fragmentSize, pixels.data(), pixels.size(),
                               static_cast<int>(rowBytes)))
            return nullptr;
        return CoreGraphicsPrivate::makeImage(width, height, 24, rowBytes, std::move(space),
                                              kCGImageAlphaNone, std::move(pixels));
    }
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    std::vector<uint8_t> pixels(rowBytes * height, 0);
    if (whole) {
        if (!WebPDecodeRGBAInto(fragment, fragmentSize, pixels.data(), pixels.size(),
                                static_cast<int>(rowBytes)))
            return nullptr;
    } else {
        // A frame of an animation: decoded on its own, then put in place (the first frame is
        // drawn onto a transparent canvas, so placing is copying).
        if (frame.width <= 0 || frame.height <= 0 || frame.x_offset < 0 || frame.y_offset < 0 ||
            static_cast<uint64_t>(frame.x_offset) + static_cast<uint64_t>(frame.width) > width ||
            static_cast<uint64_t>(frame.y_offset) + static_cast<uint64_t>(frame.height) > height)
            return nullptr;
        const size_t frameRowBytes = static_cast<size_t>(frame.width) * 4;
        std::vector<uint8_t> framePixels(frameRowBytes * static_cast<size_t>(frame.height));
        if (!WebPDecodeRGBAInto(fragment, fragmentSize, framePixels.data(), framePixels.size(),
                                static_cast<int>(frameRowBytes)))
            return nullptr;
        for (int y = 0; y < frame.height; ++y)
            std::memcpy(pixels.data() + (static_cast<size_t>(frame.y_offset) + y) * rowBytes +
                            static_cast<size_t>(frame.x_offset) * 4,
                        framePixels.data() + static_cast<size_t>(y) * frameRowBytes, frameRowBytes);
    }
    return CoreGraphicsPrivate::makeImage(width, height, 32, rowBytes, std::move(space),
                                          kCGImageAlphaLast, std::move(pixels));
}

}  // namespace ImageIOPrivate
