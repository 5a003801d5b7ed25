#include "RefusalReason.h"

std::string refusalReason(const QLRequestResult& result) {
    if (!result.refusalReason.empty()) return result.refusalReason;
    return "the generator refused the document";
}
