// What the location stages find out about a candidate symbol: the levels of
// the crossing that started it, its polarity, the transform between the
// picture and the symbol square, the clock periods along the two alternating
// sides and the finder's three points. The later stages add what they read
// to a record built on this one.
#pragma once

#include <cstdint>

#include "locate/geometry.h"
#include "locate/scan_line.h"

namespace ternwick {

struct Candidate {
    LevelStats levels;             // statistics of the crossing that started the candidate
    std::int32_t polarity = 0;     // +1 or -1
    TransformParams params;
    Matrix3 forwardTransform;      // image point -> symbol square (0..100)
    Matrix3 inverseTransform;      // symbol square -> image point
    Vector2 topPeriodStart;
    Vector2 topPeriodEnd;
    Vector2 rightPeriodStart;
    Vector2 rightPeriodEnd;
    Vector2 finderPoints[3];       // corner pC, leg end pB (-> (0,100)), leg end pA (-> (100,0))
};

}  // namespace ternwick
