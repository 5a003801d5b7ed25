#!/usr/bin/env bash
# Makes the media files of this folder with the ffmpeg program (Debian package ffmpeg), a few KB
# each: seeds of fuzz/media_asset_fuzzer.cpp, and the crafted files the tests of
# tests/platform/AVFoundation/ read. Run it from anywhere; it rewrites the files. The tests make
# their other media files themselves at test time.
set -euo pipefail
cd "$(dirname "$0")"
f() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
split="color=c=red:s=16x16:r=25:d=0.2[l];color=c=blue:s=16x16:r=25:d=0.2[r];[l][r]hstack"

# Seeds: one small file per demuxer family the stand-in opens.
f -f lavfi -i "$split" -c:v libx264 -pix_fmt yuv420p split.mp4
f -f lavfi -i "$split" -f lavfi -i "sine=duration=0.2" -c:v mpeg4 -c:a aac split-with-sound.mov
f -f lavfi -i "$split" -c:v mjpeg -pix_fmt yuvj420p split.avi
f -f lavfi -i "sine=duration=0.1:sample_rate=8000" -c:a pcm_s16le tone.wav
f -f lavfi -i "sine=duration=0.2:sample_rate=8000" -c:a libmp3lame -b:a 8k tone.mp3
f -f lavfi -i "sine=duration=0.2:sample_rate=8000" -c:a aac -b:a 8k tone.aac
# Frames narrower than swscale's 16-pixel blocks, in the 4:2:0 that Motion JPEG and H.264 decode to.
f -f lavfi -i "color=c=red:d=0.04:r=25:s=6x4,format=yuvj420p" -frames:v 1 -c:v mjpeg narrow-6x4.avi
# The rotated seed: a display matrix turning the frames a quarter turn clockwise (this ffmpeg's
# "rotate" tag counts counterclockwise).
f -i split.mp4 -c copy -metadata:s:v rotate=270 split-rotated.mp4

# Motion JPEG frames whose headers declare 65535 x 65535 pixels (beyond the image limits) in a
# container that says 16 x 16: each SOF0 segment's height and width are rewritten.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
f -f lavfi -i "color=c=red:s=16x16:r=25:d=0.12" -c:v mjpeg -pix_fmt yuvj420p "$work/small.avi"
python3 - "$work/small.avi" mjpeg-frames-65535x65535.avi <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
i = data.find(b'\xff\xc0')
while i >= 0:
    struct.pack_into('>HH', data, i + 5, 65535, 65535)  # FF C0, length, precision, height, width
    i = data.find(b'\xff\xc0', i + 2)
open(sys.argv[2], 'wb').write(data)
PY
# A video cut short before its header (ffmpeg writes moov last) and garbage with a movie's name.
head -c 1500 split.mp4 > truncated-no-header.mp4
python3 -c "import sys; sys.stdout.buffer.write(bytes((i * 7919 >> 3) & 255 for i in range(2048)))" > garbage.mp4
