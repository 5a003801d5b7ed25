#pragma once
// The image and movie assets of the examples, read from their folder (examples/assets) and given
// the identity the design tool saved them with, a fixed UUID and the URL they were imported from,
// so that every run writes the same document bytes.

#include <memory>
#include <string>
#include <string_view>

#include "NSData.h"
#include "VTImage.h"

namespace examples {

class ExampleAssets {
  public:
    explicit ExampleAssets(std::string folder) : folder_(std::move(folder)) {}

    // A still image, its file's bytes (PNG, JPEG with its colour profile) kept as they are. The
    // scale comes from the file name as on import: "@2x" is two pixels per point.
    std::shared_ptr<VTImage> still(std::string_view file, std::string_view uuid) const;
    // A movie: its bytes, and its first frame as the still that stands for it wherever the movie
    // is not played (a thumbnail, a preview).
    std::shared_ptr<VTImage> movie(std::string_view file, std::string_view uuid) const;

  private:
    std::string path(std::string_view file) const { return folder_ + "/" + std::string(file); }
    // Throws std::runtime_error naming the file when it cannot be read.
    std::shared_ptr<NSData> read(std::string_view file) const;

    std::string folder_;
};

}  // namespace examples
