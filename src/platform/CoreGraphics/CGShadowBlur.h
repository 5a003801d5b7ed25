#pragma once
// The blur of shadows (CGContextSetShadowWithColor), for the CoreGraphics stand-in's own sources
// and its benchmark. Not platform API.
//
// CoreGraphics' shadow blur b looks like a Gaussian of standard deviation b / 2. Cairo has no blur,
// so it is approximated by three box blurs in a row (each pass the running mean over an odd window,
// centred, so the result is symmetric), with box widths chosen so that their variances add up to
// the Gaussian's (W. M. Wells, "Efficient synthesis of Gaussian filters by cascaded uniform
// filters", 1986; widths as in I. Kutskir's "Fastest Gaussian blur"). Three boxes keep the result
// within a few per cent of the Gaussian and cost the same at every radius.

#include <array>
#include <cstddef>
#include <cstdint>

#pragma GCC visibility push(default)  // exported from libVantler

namespace CoreGraphicsPrivate {

// The half widths of the three boxes for a Gaussian of `sigma` pixels (0, 0, 0 for sigma ≤ 0.4
// or NaN: no blur). How far the blur spreads is their sum.
std::array<size_t, 3> shadowBoxRadii(double sigma);

// Blurs 8-bit alpha values in place (`width` × `height`, rows `stride` bytes apart) with the three
// boxes for `sigma` pixels; what lies outside the image counts as transparent, so the total of all
// values is kept as long as the image has a margin of the spread around what it holds.
void blurShadowAlpha(uint8_t* pixels, size_t width, size_t height, size_t stride, double sigma);

}  // namespace CoreGraphicsPrivate

#pragma GCC visibility pop
