#pragma once
// The text module's typesetter (private to the module): paragraphs and single lines laid out in
// pango layouts over the catalog's fonts (CTFontCatalog.h), measured in CoreText's metrics, and
// drawn on cairo. Each function does what its entry in TextModule's table says, under the
// catalog's lock.

#include <memory>
#include <vector>

#include "TextModule.h"

namespace CoreTextPrivate {

std::vector<TypesetLine> typesetParagraph(const std::shared_ptr<const StyledText>& text,
                                          size_t start, size_t stop, size_t separatorEnd,
                                          double width, bool complete);

bool typesetSingleLine(const std::shared_ptr<const StyledText>& text, TypesetLine& line);

void drawLine(cairo_t* cr, const TypesetLine& line, const CGAffineTransform& textMatrix,
              CGPoint origin, const RunPaint& paint);

}  // namespace CoreTextPrivate
