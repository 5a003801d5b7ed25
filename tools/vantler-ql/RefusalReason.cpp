#include "RefusalReason.h"

#include "VTPrototype.h"

std::string refusalReason(const std::string& path) {
    std::shared_ptr<NSError> error;
    const auto prototype = VTPrototype::prototypeFromPath_error(path, &error);
    if (!prototype) {
        if (!error) return "the document could not be loaded";
        return error->localizedFailureReason().value_or(error->localizedDescription());
    }
    if (prototype->countOfScreens() == 0) return "the document has no screens";  // Part 1.1 step 7
    return "the generator refused the document";
}
