#include "ExampleAssets.h"

#include <stdexcept>

#include "NSKeyedArchiver.h"
#include "NSKeyedUnarchiver.h"
#include "NSURL.h"
#include "NSUUID.h"
#include "VTArchivableClasses.h"

namespace examples {
namespace {

// Where the assets were imported from on the designer's machine; only the file name shows (it
// names the image layers).
constexpr std::string_view kImportFolder = "file:///Users/demo/Design/Assets/";

// An asset in its saved form: the keys an image asset writes, under its class name, so that
// decoding it gives a VTImage whose UUID and URL are these and not new ones.
class SavedAsset : public NSObject {
  public:
    const NSClass& classForKeyedArchiver() const override { return VTImage::objcClass(); }
    void encodeWithCoder(NSCoder& coder) const override {
        coder.encodeObject_forKey(uuid, "uuid");
        coder.encodeObject_forKey(url, "url");
        coder.encodeDouble_forKey(scale, "scale");
        if (movie) coder.encodeObject_forKey(movie, "videoData");
        coder.encodeObject_forKey(still, "jpegData");
    }

    std::shared_ptr<NSUUID> uuid;
    std::shared_ptr<NSURL> url;
    double scale = 1;
    std::shared_ptr<const NSData> still, movie;
};

double scaleOfFileName(std::string_view file) {
    if (file.find("@2x") != std::string_view::npos) return 2;
    if (file.find("@3x") != std::string_view::npos) return 3;
    return 1;
}

std::shared_ptr<SavedAsset> savedAsset(std::string_view file, std::string_view uuid) {
    auto saved = std::make_shared<SavedAsset>();
    saved->uuid = NSUUID::initWithUUIDString(uuid);
    saved->url = NSURL::URLWithString(std::string(kImportFolder) + std::string(file));
    saved->scale = scaleOfFileName(file);
    return saved;
}

std::shared_ptr<VTImage> decoded(const std::shared_ptr<const SavedAsset>& saved,
                                 std::string_view file) {
    VTRegisterArchivableClasses();
    auto asset = std::dynamic_pointer_cast<VTImage>(NSKeyedUnarchiver::unarchiveObjectWithData(
        NSKeyedArchiver::archivedDataWithRootObject(saved)));
    if (!asset || !asset->CGImage())
        throw std::runtime_error("cannot decode the asset " + std::string(file));
    return asset;
}

}  // namespace

std::shared_ptr<NSData> ExampleAssets::read(std::string_view file) const {
    auto data = NSData::dataWithContentsOfFile_options(path(file), 0);
    if (!data || !data->length()) throw std::runtime_error("cannot read " + path(file));
    return data;
}

std::shared_ptr<VTImage> ExampleAssets::still(std::string_view file, std::string_view uuid) const {
    auto saved = savedAsset(file, uuid);
    saved->still = read(file);
    return decoded(saved, file);
}

std::shared_ptr<VTImage> ExampleAssets::movie(std::string_view file, std::string_view uuid) const {
    // The first frame as the importer grabs it.
    const auto imported = VTImage::imageWithURL(NSURL::fileURLWithPath(path(file)));
    if (!imported || !imported->isVideoOrAudio() || !imported->pngData())
        throw std::runtime_error("cannot read a first frame from " + path(file));
    auto saved = savedAsset(file, uuid);
    saved->still = imported->pngData();
    saved->movie = read(file);
    return decoded(saved, file);
}

}  // namespace examples
