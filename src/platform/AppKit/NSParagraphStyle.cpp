#include "NSParagraphStyle.h"

std::shared_ptr<NSParagraphStyle> NSParagraphStyle::defaultParagraphStyle() {
    static const auto style = std::make_shared<NSParagraphStyle>();
    return style;
}

std::shared_ptr<NSMutableParagraphStyle> NSParagraphStyle::mutableCopy() const {
    auto copy = std::make_shared<NSMutableParagraphStyle>();
    copy->setAlignment(alignment_);
    copy->setLineBreakMode(lineBreakMode_);
    return copy;
}
