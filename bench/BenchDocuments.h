#pragma once
// What the document benchmarks share: the layers their documents are made of, and the floor they
// compare the model with, every value of every object entry of a keyed archive read as any reader
// of the file must, with no object made.

#include <cstdint>
#include <memory>
#include <string>

#include "CGImageToData.h"
#include "KeyedArchive.h"
#include "NSData.h"
#include "VTAnimationCurve.h"
#include "VTAnimationInfo.h"
#include "VTLayer.h"

// A layer with a fill in sRGB or Display P3, a position and opacity timing; every third one a
// text layer (which holds no sublayers).
inline std::shared_ptr<VTLayer> benchLayer(int index) {
    auto layer = index % 3 == 0 ? VTLayer::textLayer()
                                : VTLayer::initWithName("Layer " + std::to_string(index));
    const double shade = (index % 256) / 255.0;
    layer->setBackgroundColor(index % 2
                                  ? CGColorCreateSRGB(shade, 0.5, 1 - shade, 1)
                                  : CGColorCreate(cachedColorSpaceFromName(kCGColorSpaceDisplayP3),
                                                  {1 - shade, shade, 0.25, 1}));
    layer->setPosition({double(index % 97), double(index % 89)});
    layer->setAnimationInfo(
        {{kVTPropertyOpacity, VTAnimationInfo::initWithCurve_delay_duration(
                                  VTAnimationCurve::curveWithType(index % 8), 0.1, 0.3)}});
    return layer;
}

// A separate function so that profilers can count it apart from the document's construction.
[[gnu::noinline]] inline uint64_t readEveryValue(const NSData& data) {
    KeyedArchive archive(data);
    const auto& list = archive.plist();
    uint64_t touched = 0;
    for (uint64_t uid = 1; uid < archive.objectCount(); ++uid) {
        const auto entry = archive.entry(uid);
        if (entry.kind != plist::Kind::Dictionary) continue;
        for (uint64_t i = 0; i < entry.count; ++i) {
            touched += list.stringValue(list.object(list.keyRef(entry, i))).size();
            const auto value = list.object(list.valueRef(entry, i));
            if (value.kind == plist::Kind::Real) touched += list.realValue(value).value != 0;
            if (value.kind == plist::Kind::Integer) touched += list.integerValue(value).bits != 0;
            if (value.kind == plist::Kind::String) touched += list.stringValue(value).size();
        }
    }
    return touched;
}
