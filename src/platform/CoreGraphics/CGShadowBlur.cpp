// Shadow blur: three box blurs approximating a Gaussian. See CGShadowBlur.h.

#include "CGShadowBlur.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace CoreGraphicsPrivate {

namespace {

constexpr int kPasses = 3;

// One box pass down the columns of a width × height image: out = mean of in over rows y − r … y +
// r, zeros outside. Row by row, so that memory is read in order and the inner loops vectorise;
// `sums` holds each column's running sum.
void boxColumns(const float* in, float* out, size_t width, size_t height, size_t radius,
                std::vector<float>& sums) {
    const float scale = float(1.0 / double(2 * radius + 1));
    std::fill(sums.begin(), sums.end(), 0.0f);
    float* s = sums.data();
    const size_t lead = std::min(radius, height);
    for (size_t y = 0; y < lead; ++y) {
        const float* row = in + y * width;
        for (size_t x = 0; x < width; ++x) s[x] += row[x];
    }
    for (size_t y = 0; y < height; ++y) {
        if (y + radius < height) {
            const float* add = in + (y + radius) * width;
            for (size_t x = 0; x < width; ++x) s[x] += add[x];
        }
        float* row = out + y * width;
        for (size_t x = 0; x < width; ++x) row[x] = s[x] * scale;
        if (y >= radius) {
            const float* drop = in + (y - radius) * width;
            for (size_t x = 0; x < width; ++x) s[x] -= drop[x];
        }
    }
}

// The three passes down the columns of a width × height image, a strip of columns at a time so that
// the passes run in cache: `load(x0, w, strip)` fills `strip` (rows w wide) from columns x0 … x0 +
// w, `store(x0, w, strip)` takes the blurred strip.
template <class Load, class Store>
void blurColumnsInStrips(size_t width, size_t height, const std::array<size_t, 3>& radii, Load load,
                         Store store) {
    constexpr size_t kStrip = 32;
    std::vector<float> a(kStrip * height), b(kStrip * height), sums(kStrip);
    for (size_t x0 = 0; x0 < width; x0 += kStrip) {
        const size_t w = std::min(kStrip, width - x0);
        load(x0, w, a.data());
        boxColumns(a.data(), b.data(), w, height, radii[0], sums);
        boxColumns(b.data(), a.data(), w, height, radii[1], sums);
        boxColumns(a.data(), b.data(), w, height, radii[2], sums);
        store(x0, w, b.data());
    }
}

}  // namespace

std::array<size_t, 3> shadowBoxRadii(double sigma) {
    if (!(sigma > 0.4)) return {0, 0, 0};
    // Widths wl (odd) and wl + 2 whose variances, (w² − 1) / 12 each, add up to sigma²: m passes of
    // wl and the rest of wl + 2.
    const double variance = sigma * sigma;
    const double ideal = std::sqrt(12 * variance / kPasses + 1);
    long lower = long(std::floor(ideal));
    if (lower % 2 == 0) --lower;
    const double wl = double(lower);
    const double m = std::round(
        (12 * variance - kPasses * wl * wl - 4 * kPasses * wl - 3 * kPasses) / (-4 * wl - 4));
    std::array<size_t, 3> radii{};
    for (int i = 0; i < kPasses; ++i) {
        const long width = i < m ? lower : lower + 2;
        radii[size_t(i)] = size_t((width - 1) / 2);
    }
    return radii;
}

void blurShadowAlpha(uint8_t* pixels, size_t width, size_t height, size_t stride, double sigma) {
    const std::array<size_t, 3> radii = shadowBoxRadii(sigma);
    if (radii == std::array<size_t, 3>{} || width == 0 || height == 0) return;
    // Down the columns into `across`, transposed (its row x is column x), then down the columns of
    // `across` (the image's rows) back into the pixels: every pass reads rows in order.
    std::vector<float> across(width * height);
    blurColumnsInStrips(
        width, height, radii,
        [&](size_t x0, size_t w, float* strip) {
            for (size_t y = 0; y < height; ++y)
                std::copy(pixels + y * stride + x0, pixels + y * stride + x0 + w, strip + y * w);
        },
        [&](size_t x0, size_t w, const float* strip) {
            for (size_t c = 0; c < w; ++c)
                for (size_t y = 0; y < height; ++y)
                    across[(x0 + c) * height + y] = strip[y * w + c];
        });
    blurColumnsInStrips(
        height, width, radii,
        [&](size_t y0, size_t w, float* strip) {
            for (size_t x = 0; x < width; ++x)
                std::copy(across.begin() + long(x * height + y0),
                          across.begin() + long(x * height + y0 + w), strip + x * w);
        },
        [&](size_t y0, size_t w, const float* strip) {
            for (size_t c = 0; c < w; ++c) {
                uint8_t* row = pixels + (y0 + c) * stride;
                for (size_t x = 0; x < width; ++x)
                    row[x] = uint8_t(std::clamp(strip[x * w + c] + 0.5f, 0.0f, 255.0f));
            }
        });
}

}  // namespace CoreGraphicsPrivate
