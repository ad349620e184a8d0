// Running object snap: the bits of "OSMODE" the host answers, and a point an entity offers.
#pragma once

#include "cadhost/engine/Geometry.h"

namespace cadhost {

// Running object snap modes (the bits of "OSMODE").
enum SnapMode : int {
    kSnapEndpoint = 1,
    kSnapCenter = 4,
    kSnapNode = 8,
    kSnapQuadrant = 16,
    kSnapIntersection = 32,
    kSnapInsertion = 64,
};

// The modes the host snaps to.
inline constexpr int kSnapModesAnswered =
    kSnapEndpoint | kSnapCenter | kSnapNode | kSnapQuadrant | kSnapIntersection | kSnapInsertion;

// A point an entity can be snapped to, and the mode that asks for it.
struct SnapPoint {
    Point3 at;
    int mode = 0;
};

} // namespace cadhost
