#pragma once
// What `vantler-ql info` tells about a document that loads: its screens with their sizes and layer
// counts, transitions by name, links, components and the carried thumbnail, as readable text or
// as JSON. Values are read through the model's read operations, so a screen answers its pinned
// values and a component instance its screen's size.

#include <memory>
#include <string>

#include "NSData.h"
#include "VTPrototype.h"

enum class InfoFormat { Text, JSON };

// `data` is the document's file, for what lies beside the root (format version, thumbnail).
std::string documentInfo(const VTPrototype& prototype, const std::shared_ptr<const NSData>& data,
                         InfoFormat format);
