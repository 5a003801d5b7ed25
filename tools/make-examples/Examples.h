#pragma once
// The bundled example documents, each made by one function: four small app screens built through
// the model, a document carrying its own thumbnail, and a keyed archive for `vantler-ql dump`.

#include <memory>
#include <optional>
#include <vector>

#include "ExampleAssets.h"
#include "NSData.h"
#include "VTPrototype.h"

namespace examples {

// The document bytes of a prototype as the design tool saves it: the prototype as the archive's
// root object, then the format version, then the thumbnail when one is given. Without one the
// generator draws the document, which is what most examples are for.
std::shared_ptr<NSData> documentData(const std::shared_ptr<const VTPrototype>& prototype,
                                     const std::optional<std::vector<uint8_t>>& thumbnail = {});

std::shared_ptr<NSData> signInDocument(const ExampleAssets& assets);
std::shared_ptr<NSData> feedDocument(const ExampleAssets& assets);
std::shared_ptr<NSData> settingsDocument();
std::shared_ptr<NSData> mediaPlayerDocument(const ExampleAssets& assets);
std::shared_ptr<NSData> embeddedThumbnailDocument();
std::shared_ptr<NSData> sampleArchive();

}  // namespace examples
