// The units of the kinds, one per file of this folder; Kinds.cpp lists them.
#pragma once

#include "cadhost/engine/kinds/KindUnit.h"

namespace cadhost::kinds {

extern const KindUnit kLineUnit, kPointUnit, kCircleUnit, kArcUnit, kEllipseUnit, kLwPolylineUnit, kPolylineUnit,
    kSplineUnit, kFaceUnit, kSolidUnit, kTraceUnit, kLeaderUnit, kImageUnit, kWipeoutUnit, kHatchUnit, kTextUnit,
    kAttribUnit, kMTextUnit, kInsertUnit, kDimensionUnit, kXLineUnit, kRayUnit;

} // namespace cadhost::kinds
