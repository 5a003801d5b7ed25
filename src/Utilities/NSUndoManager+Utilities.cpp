#include "NSUndoManager+Utilities.h"

#include <utility>

void setOriginalActionName(NSUndoManager& manager, std::string name) {
    if (!manager.isUndoing() && !manager.isRedoing()) manager.setActionName(std::move(name));
}
