#include "VTLayer.h"

#include "CGImageToData.h"
#include "NSCoder+geometry.h"

std::shared_ptr<VTLayer> VTLayer::init() {
    auto layer = std::make_shared<VTLayer>();
    layer->setInitialValues();
    return layer;
}

void VTLayer::setInitialValues() {
    size_ = CGSizeMake(44, 44);
    backgroundColor_ = CGColorCreateSRGB(0, 0, 0, 0);
}

bool VTLayer::initWithCoder(NSCoder& coder) {
    setInitialValues();
    size_ = decodeCGSizeForKey(coder, "size");  // as stored; an absent group reads 0 × 0
    // A colour that is absent or unreadable gives a new transparent sRGB colour.
    backgroundColor_ = newCGColorForKey(coder, "backgroundColor");
    if (!backgroundColor_) backgroundColor_ = CGColorCreateSRGB(0, 0, 0, 0);
    return true;
}
