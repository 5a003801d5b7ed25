#pragma once
// The inside of CTLine, for the CoreText sources.

#include "CTLine.h"
#include "CTTypesetter.h"

class CTLine {
  public:
    explicit CTLine(CoreTextPrivate::TypesetLine line) : typeset(std::move(line)) {}
    const CoreTextPrivate::TypesetLine typeset;
};
