// GIF decoding with giflib: the first frame, composited at its offset onto a transparent canvas of
// the file's logical screen size (or of the frame's size when the screen size is 0), clipped to
// it. Colours are sRGB, straight R G B A; the transparent index of the frame's graphic control
// extension, and indices past the colour table, are transparent. Interlaced frames are placed row
// by row in their pass order. giflib reports errors by return codes and prints nothing.

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "CGImagePrivate.h"
#include "CGImageSource.h"
#include "ImageCodecsModule.h"
#include "ImageIOPrivate.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t position;
};

int readInput(GifFileType* gif, GifByteType* out, int length) {
    auto* input = static_cast<Input*>(gif->UserData);
    const size_t wanted = length > 0 ? static_cast<size_t>(length) : 0;
    const size_t available = std::min(wanted, input->size - input->position);
    std::memcpy(out, input->data + input->position, available);
    input->position += available;
    return static_cast<int>(available);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

bool sizeOK(long width, long height) {
    return width > 0 && height > 0 &&
           CoreGraphicsPrivate::sizeWithinLimits(static_cast<size_t>(width),
                                                 static_cast<size_t>(height));
}

}  // namespace

namespace ImageIOPrivate {

CGImageRef decodeGIF(std::span<const uint8_t> bytes) {
    Input input{bytes.data(), bytes.size(), 0};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&input, readInput, &error));
    if (!gif) return nullptr;

    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) return nullptr;
        if (record == TERMINATE_RECORD_TYPE) return nullptr;  // no image at all
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) return nullptr;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock control;
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                    transparent = control.TransparentColor;
            }
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) return nullptr;
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) return nullptr;
        break;
    }

    const GifImageDesc& frame = gif->Image;
    if (!sizeOK(frame.Width, frame.Height)) return nullptr;
    long canvasWidth = gif->SWidth, canvasHeight = gif->SHeight;
    if (canvasWidth <= 0 || canvasHeight <= 0) {
        canvasWidth = frame.Width;
        canvasHeight = frame.Height;
    }
    if (!sizeOK(canvasWidth, canvasHeight)) return nullptr;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || !map->Colors) return nullptr;

    const size_t width = static_cast<size_t>(canvasWidth),
                 height = static_cast<size_t>(canvasHeight);
    std::vector<uint8_t> pixels(width * height * 4, 0);
    std::vector<GifPixelType> line(static_cast<size_t>(frame.Width));
    // Interlaced frames store rows in four passes: every 8th from 0, every 8th from 4, every 4th
    // from 2, every 2nd from 1.
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? starts[pass] : 0;
        const int step = frame.Interlace ? steps[pass] : 1;
        for (int row = start; row < frame.Height; row += step) {
            if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) return nullptr;
            const long y = static_cast<long>(frame.Top) + row;
            if (y < 0 || y >= canvasHeight) continue;
            uint8_t* out = pixels.data() + static_cast<size_t>(y) * width * 4;
            for (int column = 0; column < frame.Width; ++column) {
                const long x = static_cast<long>(frame.Left) + column;
                if (x < 0 || x >= canvasWidth) continue;
                const int index = line[static_cast<size_t>(column)];
                if (index == transparent || index >= map->ColorCount) continue;
                const GifColorType& colour = map->Colors[index];
                uint8_t* p = out + static_cast<size_t>(x) * 4;
                p[0] = colour.Red;
                p[1] = colour.Green;
                p[2] = colour.Blue;
                p[3] = 255;
            }
        }
    }
    return CoreGraphicsPrivate::makeImage(width, height, 32, width * 4,
                                          CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                                          kCGImageAlphaLast, std::move(pixels));
}

}  // namespace ImageIOPrivate
