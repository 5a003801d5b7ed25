#!/usr/bin/env bash
# Makes the image codec test files of this folder with encoders independent of the project:
# make_png.py (zlib only) for the PNGs of every colour type and bit depth, the colour chunks and the
# limits; ImageMagick's convert (Debian package imagemagick: libpng, libjpeg-turbo, giflib, libtiff,
# libwebp and libheif/x265 behind it) for the other formats. Run it from anywhere; it rewrites the
# files. Checked by tests/platform/ImageIO/ImageIOTest.cpp.
#
# The test picture "quad" is 16 x 16 pixels in four flat 8 x 8 quadrants: red (255, 0, 0) top
# left, green (0, 255, 0) top right, blue (0, 0, 255) bottom left, white bottom right; "quad-alpha"
# is the same with the white quadrant transparent. Lossy files are probed in the quadrants'
# middles with a tolerance.
set -euo pipefail
cd "$(dirname "$0")"
convert=/usr/bin/convert  # ImageMagick itself (a stand-in may come first on PATH)

python3 make_png.py

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
$convert -size 8x8 xc:'rgb(255,0,0)' xc:'rgb(0,255,0)' +append \
    \( -size 8x8 xc:'rgb(0,0,255)' xc:'rgb(255,255,255)' +append \) -append \
    -depth 8 -type TrueColor "$work/quad.png"
$convert "$work/quad.png" -transparent white "$work/quad-alpha.png"
m() { $convert "$@"; }

# PNG (libpng through ImageMagick): Adam7-interlaced RGBA.
m "$work/quad-alpha.png" -interlace PNG -define png:color-type=6 png-interlaced-rgba.png

# JPEG
m "$work/quad.png" -quality 95 -sampling-factor 1x1 jpeg-rgb.jpg
m "$work/quad.png" -quality 95 -interlace JPEG -sampling-factor 1x1 jpeg-progressive.jpg
m "$work/quad.png" -colorspace Gray -quality 95 jpeg-grey.jpg
m "$work/quad.png" -colorspace CMYK -quality 95 -sampling-factor 1x1 jpeg-cmyk.jpg
# A flat Display P3 colour (200, 100, 50) with the hand-written Display P3 profile attached (the
# pixels are not converted: the image had no profile before).
m -size 16x16 xc:'rgb(200,100,50)' -quality 95 -sampling-factor 1x1 -profile DisplayP3-test.icc jpeg-p3-icc.jpg
# The progressive file with its last scan repeated up to 500 and 501 scans (the scan limit).
python3 make_jpeg_scans.py

# GIF: the transparent quadrant through the transparent colour index; and interlaced.
m "$work/quad-alpha.png" gif-transparent.gif
m "$work/quad.png" -interlace GIF gif-interlaced.gif

# TIFF: RGB with LZW, RGBA (unassociated alpha), 16 bits per sample.
m "$work/quad.png" -compress LZW tiff-rgb.tif
m "$work/quad-alpha.png" -compress Zip -define tiff:alpha=unassociated tiff-rgba.tif
m "$work/quad.png" -depth 16 -compress None tiff-rgb-16.tif

# WebP: lossless with alpha, lossy without.
m "$work/quad-alpha.png" -define webp:lossless=true webp-lossless-alpha.webp
m "$work/quad.png" -quality 95 webp-lossy.webp

# HEIC (HEVC through x265) and AVIF: 64 x 64, as the encoders work in blocks.
m "$work/quad.png" -filter point -resize 64x64 -quality 95 heic-quad.heic
m "$work/quad.png" -filter point -resize 64x64 -quality 95 avif-quad.avif
echo "made $(ls | wc -l) files in $(pwd)"
