// AVAssetImageGenerator (AVFoundation.h): the still frame that stands for a video, decoded by the
// media module and made into an image here, or AVFoundation's error saying why there is none.

#include <span>
#include <string>
#include <vector>

#include "AVFoundation.h"
#include "CGColorSpace.h"
#include "MediaModule.h"
#include "NSData.h"
#include "NSString.h"

const char* const AVAssetImageGeneratorApertureModeEncodedPixels =
    "AVAssetImageGeneratorApertureModeEncodedPixels";
const char* const AVAssetImageGeneratorApertureModeCleanAperture =
    "AVAssetImageGeneratorApertureModeCleanAperture";

using namespace AVFoundationPrivate;

namespace {

// AVFoundation's error for a frame that cannot be made: AVErrorUnknown, with its description; the
// failure reason says why.
constexpr const char* kAVFoundationErrorDomain = "AVFoundationErrorDomain";
constexpr int64_t kAVErrorUnknown = -11800;
constexpr const char* kUnknownErrorDescription = "The operation could not be completed";

std::shared_ptr<NSError> unknownError(const std::string& reason) {
    auto userInfo = std::make_shared<NSMutableDictionary>();
    userInfo->setObject_forKey(NSString::stringWithUTF8String(kUnknownErrorDescription),
                               NSString::stringWithUTF8String(NSLocalizedDescriptionKey));
    userInfo->setObject_forKey(NSString::stringWithUTF8String(reason),
                               NSString::stringWithUTF8String(NSLocalizedFailureReasonErrorKey));
    return NSError::errorWithDomain_code_userInfo(kAVFoundationErrorDomain, kAVErrorUnknown,
                                                  std::move(userInfo));
}

// An sRGB image sharing the pixels (no copy of a frame that may be 400 MB).
CGImageRef imageOfPixels(std::vector<uint32_t> pixels, size_t width, size_t height) {
    auto owner = std::make_shared<const std::vector<uint32_t>>(std::move(pixels));
    auto data = std::make_shared<NSData>(
        owner, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(owner->data()),
                                        owner->size() * sizeof(uint32_t)));
    return CGImageCreate(
        width, height, 8, 32, width * 4, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host, std::move(data));
}

}  // namespace

std::shared_ptr<AVAssetImageGenerator> AVAssetImageGenerator::assetImageGeneratorWithAsset(
    std::shared_ptr<const AVURLAsset> asset) {
    auto generator = std::make_shared<AVAssetImageGenerator>();
    generator->asset_ = std::move(asset);
    return generator;
}

CGImageRef AVAssetImageGenerator::copyCGImageAtTime_actualTime_error(
    CMTime requestedTime, CMTime* actualTime, std::shared_ptr<NSError>* error) const {
    const auto fail = [error](const std::string& reason) -> CGImageRef {
        if (error) *error = unknownError(reason);
        return nullptr;
    };
    if (!asset_ || !asset_->URL() || !asset_->URL()->isFileURL())
        return fail("The asset is not a local file");
    // Without the module no media can be read: the path of a file that does not decode.
    const MediaModule* module = mediaModule();
    if (!module) return fail("The media framework could not be loaded");
    MediaFrame frame =
        module->frameAtTime(asset_->URL()->path(), requestedTime, appliesPreferredTrackTransform_);
    if (frame.pixels.empty()) return fail(frame.failure);
    CGImageRef image = imageOfPixels(std::move(frame.pixels), frame.width, frame.height);
    if (!image) return fail("The frame could not be made into an image");
    if (actualTime) *actualTime = frame.time.value_or(requestedTime);
    return image;
}
