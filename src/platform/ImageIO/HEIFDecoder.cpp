// HEIF decoding with libheif: HEIC (HEVC, through libde265) and AVIF (AV1), the primary image,
// with its rotation and mirroring applied as the file asks (libheif's default). Images of more
// than 8 bits per sample are rounded to 8 bits. Colour: an ICC profile ('prof' or 'rICC') of the
// image's kind is its space; an nclx description with Display P3 primaries (as iPhones write) is
// kCGColorSpaceDisplayP3; anything else is sRGB (the nclx transfer curve is taken as sRGB's, an
// approximation for the rare files that say otherwise). libheif prints nothing.

#include <libheif/heif.h>

#include <cstring>

#include "CGImagePrivate.h"
#include "CGImageSource.h"
#include "ImageCodecsModule.h"
#include "ImageIOPrivate.h"

namespace {

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

CGColorSpaceRef colorSpaceOf(const heif_image_handle* handle) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        std::vector<uint8_t> profile(heif_image_handle_get_raw_color_profile_size(handle));
        if (!profile.empty() &&
            heif_image_handle_get_raw_color_profile(handle, profile.data()).code == heif_error_Ok)
            if (auto space = ImageIOPrivate::colorSpaceFromICCProfile(profile, 3)) return space;
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx) {
        const bool p3 = nclx->color_primaries == heif_color_primaries_SMPTE_EG_432_1;
        heif_nclx_color_profile_free(nclx);
        if (p3) return CGColorSpaceCreateWithName(kCGColorSpaceDisplayP3);
    }
    return ImageIOPrivate::defaultColorSpace(3);
}

}  // namespace

namespace ImageIOPrivate {

CGImageRef decodeHEIF(std::span<const uint8_t> bytes) {
    std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context) return nullptr;
    // Refuses, while reading the file, images wider or higher than the limit.
    heif_context_set_maximum_image_size_limit(context.get(),
                                              static_cast<int>(kCGImageMaxDimension));
    if (heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(),
                                                   nullptr)
            .code != heif_error_Ok)
        return nullptr;
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
        return nullptr;
    std::unique_ptr<heif_image_handle, HandleRelease> handle(rawHandle);
    const int declaredWidth = heif_image_handle_get_width(handle.get());
    const int declaredHeight = heif_image_handle_get_height(handle.get());
    if (declaredWidth <= 0 || declaredHeight <= 0 ||
        !CoreGraphicsPrivate::sizeWithinLimits(static_cast<size_t>(declaredWidth),
                                               static_cast<size_t>(declaredHeight)))
        return nullptr;
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    const bool premultiplied = alpha && heif_image_handle_is_premultiplied_alpha(handle.get());

    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    if (!options) return nullptr;
    options->convert_hdr_to_8bit = 1;
    heif_image* rawImage = nullptr;
    if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                          options.get())
            .code != heif_error_Ok)
        return nullptr;
    std::unique_ptr<heif_image, ImageRelease> image(rawImage);
    // The decoded size (a rotation swaps the declared one).
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || width <= 0 || height <= 0 ||
        !CoreGraphicsPrivate::sizeWithinLimits(static_cast<size_t>(width),
                                               static_cast<size_t>(height)))
        return nullptr;
    const size_t pixelBytes = alpha ? 4 : 3;
    const size_t rowBytes = static_cast<size_t>(width) * pixelBytes;
    if (stride < 0 || static_cast<size_t>(stride) < rowBytes) return nullptr;
    std::vector<uint8_t> pixels(rowBytes * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        std::memcpy(pixels.data() + static_cast<size_t>(y) * rowBytes,
                    plane + static_cast<size_t>(y) * static_cast<size_t>(stride), rowBytes);
    const CGBitmapInfo info = !alpha          ? kCGImageAlphaNone
                              : premultiplied ? kCGImageAlphaPremultipliedLast
                                              : kCGImageAlphaLast;
    return CoreGraphicsPrivate::makeImage(static_cast<size_t>(width), static_cast<size_t>(height),
                                          8 * pixelBytes, rowBytes, colorSpaceOf(handle.get()),
                                          info, std::move(pixels));
}

}  // namespace ImageIOPrivate
