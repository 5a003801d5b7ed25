// PNG decoding and encoding of a large image (CGImageCreateFromPNGData / CGImageConvertToPNGData),
// the encoder's zlib settings side by side (level × filters: time and size, to choose the thumbnail
// settings of ImageIOPrivate.h), and the decoded copy and one mipmap halving that draw through a
// bitmap context.
//
// bench/run-images builds this in Release and runs it beside ImageMagick's convert on the same
// file; see there for the figures.
//
//   --vantler_image=PATH         the PNG to work on (default: a generated 2000 × 2000 RGBA picture)
//   --vantler_once=baseline      no benchmark: start and end (the start-up cost of the modes below)
//   --vantler_once=decode IN OUT no benchmark: read the PNG IN, write its pixels as raw 8-bit RGBA
//                                (straight alpha) to OUT; a whole process, as `convert IN rgba:OUT`
//   --vantler_once=encode IN OUT W H
//                                no benchmark: read raw RGBA IN of W × H pixels, write a PNG to OUT
//                                with the settings CGImageDestination uses

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGImage.h"
#include "CGImagePrivate.h"
#include "CGImageToData.h"
#include "ImageIOPrivate.h"
#include "NSData.h"

namespace {

std::string gImagePath;

std::vector<uint8_t> readAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return bytes;
    if (std::fseek(in, 0, SEEK_END) == 0) {
        const long length = std::ftell(in);
        if (length > 0) {
            bytes.resize(size_t(length));
            std::rewind(in);
            if (std::fread(bytes.data(), 1, bytes.size(), in) != bytes.size()) bytes.clear();
        }
    }
    std::fclose(in);
    return bytes;
}

bool writeAll(const std::string& path, const uint8_t* bytes, size_t length) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = std::fwrite(bytes, 1, length, out) == length;
    return std::fclose(out) == 0 && ok;
}

// A 2000 × 2000 straight RGBA picture: soft gradients with noise on the left (photo-like), flat
// panels with hard edges on the right (interface-like), a translucent band across.
CGImageRef generatedImage() {
    const size_t size = 2000;
    std::vector<uint8_t> pixels(size * size * 4);
    uint32_t state = 1;
    for (size_t y = 0; y < size; ++y)
        for (size_t x = 0; x < size; ++x) {
            uint8_t* p = &pixels[(y * size + x) * 4];
            state = state * 1664525 + 1013904223;
            const int noise = int(state >> 28) - 8;
            if (x < size / 2) {
                p[0] = uint8_t(std::clamp(int(128 + 100 * std::sin(x * 0.01) + noise), 0, 255));
                p[1] = uint8_t(std::clamp(int(128 + 100 * std::cos(y * 0.013) + noise), 0, 255));
                p[2] = uint8_t(std::clamp(int((x + y) * 255 / (2 * size)) + noise, 0, 255));
            } else {
                const bool panel = (x / 200 + y / 150) % 3 == 0;
                p[0] = panel ? 240 : 40;
                p[1] = panel ? 90 : 44;
                p[2] = panel ? 60 : 52;
            }
            p[3] = (y > 900 && y < 1100) ? 128 : 255;
        }
    return CGImageCreate(size, size, 8, 32, size * 4, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                         kCGImageAlphaLast, NSData::dataWithVector(std::move(pixels)));
}

const std::vector<uint8_t>& pngFile() {
    static const std::vector<uint8_t> bytes = [] {
        if (!gImagePath.empty()) return readAll(gImagePath);
        std::vector<uint8_t> out;
        ImageIOPrivate::encodePNG(generatedImage(), {6, 0xF8, 0}, out);
        return out;
    }();
    return bytes;
}

const CGImageRef& decodedImage() {
    static const CGImageRef image =
        CGImageCreateFromPNGData(NSData::dataWithBytes_length(pngFile().data(), pngFile().size()));
    return image;
}

void setPixelCounters(benchmark::State& state, const CGImageRef& image) {
    const double pixels = double(CGImageGetWidth(image) * CGImageGetHeight(image));
    state.counters["Mpixel/s"] =
        benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DecodePNG(benchmark::State& state) {
    const auto data = NSData::dataWithBytes_length(pngFile().data(), pngFile().size());
    for (auto _ : state) {
        CGImageRef image = CGImageCreateFromPNGData(data);
        benchmark::DoNotOptimize(image);
        if (!image) state.SkipWithError("decoding failed");
    }
    setPixelCounters(state, decodedImage());
    state.counters["file bytes"] = double(pngFile().size());
}
BENCHMARK(BM_DecodePNG)->Unit(benchmark::kMillisecond)->UseRealTime();

// The settings CGImageDestination uses, through CGImageConvertToPNGData.
void BM_EncodePNG_Default(benchmark::State& state) {
    const CGImageRef& image = decodedImage();
    size_t bytes = 0;
    for (auto _ : state) {
        auto png = CGImageConvertToPNGData(image);
        if (!png) state.SkipWithError("encoding failed");
        bytes = png ? png->length() : 0;
    }
    setPixelCounters(state, image);
    state.counters["bytes"] = double(bytes);
    state.counters["ratio"] = double(bytes) / double(CGImageGetBytes(image).size());
}
BENCHMARK(BM_EncodePNG_Default)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arguments: zlib level, libpng filter mask, zlib strategy.
void BM_EncodePNG_Settings(benchmark::State& state) {
    const CGImageRef& image = decodedImage();
    const ImageIOPrivate::PNGEncoderSettings settings{int(state.range(0)), int(state.range(1)),
                                                      int(state.range(2))};
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> png;
        if (!ImageIOPrivate::encodePNG(image, settings, png))
            state.SkipWithError("encoding failed");
        bytes = png.size();
    }
    setPixelCounters(state, image);
    state.counters["bytes"] = double(bytes);
    state.counters["ratio"] = double(bytes) / double(CGImageGetBytes(image).size());
}
// Filters: 0x08 none, 0x10 sub, 0x20 up, 0x80 Paeth, 0x18 none+sub, 0xF8 all (libpng picks per
// row). Strategies: 0 default, 1 filtered, 3 RLE.
BENCHMARK(BM_EncodePNG_Settings)
    ->ArgNames({"level", "filters", "strategy"})
    ->ArgsProduct({{1, 2, 3, 6}, {0x08, 0x10, 0x20, 0x80, 0x18, 0xF8}, {0}})
    ->Args({1, 0x10, 3})
    ->Args({1, 0x20, 3})
    ->Args({2, 0x18, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// createDecodedCGImage: straight RGBA → premultiplied A R G B through a bitmap context.
void BM_DecodedCopy(benchmark::State& state) {
    const CGImageRef& image = decodedImage();
    for (auto _ : state) benchmark::DoNotOptimize(createDecodedCGImage(image));
    setPixelCounters(state, image);
}
BENCHMARK(BM_DecodedCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

// Mipmap level 1: the decoded copy drawn at half size (box filter).
void BM_MipmapHalving(benchmark::State& state) {
    const CGImageRef source = createDecodedCGImage(decodedImage());
    const size_t w = (CGImageGetWidth(source) + 1) / 2, h = (CGImageGetHeight(source) + 1) / 2;
    for (auto _ : state) {
        const CGContextRef context = CGBitmapContextCreate(
            nullptr, w, h, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedFirst);
        CGContextDrawImage(context, CGRectMake(0, 0, double(w), double(h)), source);
        benchmark::DoNotOptimize(CGBitmapContextCreateImage(context));
    }
    setPixelCounters(state, source);
}
BENCHMARK(BM_MipmapHalving)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- --vantler_once

int decodeOnce(const std::string& in, const std::string& out) {
    const CGImageRef image = CGImageCreateFromPNGData(
        std::shared_ptr<const NSData>(NSData::dataWithVector(readAll(in))));
    if (!image) {
        std::fprintf(stderr, "image_codec_bench: %s: not a readable image\n", in.c_str());
        return 1;
    }
    // As `convert IN rgba:OUT`: straight R G B A rows (the decoded bytes themselves when the file
    // was RGBA already).
    const size_t rowBytes = CGImageGetWidth(image) * 4;
    if (CGImageGetAlphaInfo(image) == kCGImageAlphaLast && CGImageGetBitsPerPixel(image) == 32 &&
        CGImageGetBytesPerRow(image) == rowBytes) {
        const auto bytes = CGImageGetBytes(image);
        return writeAll(out, bytes.data(), bytes.size()) ? 0 : 1;
    }
    std::vector<uint8_t> rgba(CGImageGetHeight(image) * rowBytes);
    for (size_t y = 0; y < CGImageGetHeight(image); ++y)
        CoreGraphicsPrivate::readStraightRow(image->layout, image->row(y), image->width,
                                             rgba.data() + y * rowBytes);
    return writeAll(out, rgba.data(), rgba.size()) ? 0 : 1;
}

int encodeOnce(const std::string& in, const std::string& out, size_t width, size_t height) {
    auto bytes = readAll(in);
    if (bytes.size() != width * height * 4) {
        std::fprintf(stderr, "image_codec_bench: %s: not %zu x %zu RGBA pixels\n", in.c_str(),
                     width, height);
        return 1;
    }
    const CGImageRef image = CGImageCreate(
        width, height, 8, 32, width * 4, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        kCGImageAlphaLast, NSData::dataWithVector(std::move(bytes)));
    const auto png = CGImageConvertToPNGData(image);
    if (!png) return 1;
    return writeAll(out, png->bytes(), png->length()) ? 0 : 1;
}

bool takeFlag(std::string_view arg, std::string_view name, std::string* value) {
    if (arg.substr(0, name.size()) != name) return false;
    const std::string_view rest = arg.substr(name.size());
    if (rest.empty() || rest[0] != '=') return false;
    *value = std::string(rest.substr(1));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string once;
    std::vector<std::string> operands;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string value;
        if (takeFlag(arg, "--vantler_image", &value)) {
            gImagePath = value;
        } else if (takeFlag(arg, "--vantler_once", &value)) {
            once = value;
            while (i + 1 < argc && argv[i + 1][0] != '-') operands.push_back(argv[++i]);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    if (once == "baseline") return 0;  // a process that does nothing, for its start-up time
    if (once == "decode" && operands.size() == 2) return decodeOnce(operands[0], operands[1]);
    if (once == "encode" && operands.size() == 4)
        return encodeOnce(operands[0], operands[1], std::stoul(operands[2]),
                          std::stoul(operands[3]));
    if (!once.empty()) {
        std::fprintf(stderr,
                     "usage: image_codec_bench --vantler_once=decode IN OUT | "
                     "--vantler_once=encode IN OUT W H\n");
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    if (!decodedImage()) {
        std::fprintf(stderr, "image_codec_bench: the image does not decode\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
