// First stage on a scan line: count the level transitions of a whole column or
// row, then walk it from one crossing of its mid level to the next.
#pragma once

#include <cstdint>

#include "image/image_buffer.h"

namespace ternwick {

// Directions of motion in image-buffer coordinates (row 0 at the bottom).
enum ScanDirection : std::int32_t {
    ScanDirectionUp = 1,     // +y: a column scan line
    ScanDirectionLeft = 2,   // -x
    ScanDirectionDown = 4,   // -y
    ScanDirectionRight = 8,  // +x: a row scan line
};

enum ScanStatus : std::int32_t {
    ScanStatusDone = 1,         // done, or a crossing found
    ScanStatusNothingMore = 5,  // nothing more on this line, or the trace hit the border
    ScanStatusStepTaken = 6,    // an edge-following step was taken
};

// Level scale of a scan line. A level is (grey - baseValue) * sign.
struct LevelStats {
    std::uint8_t started = 0;
    float minLevel = 0.0f;
    float maxLevel = 0.0f;
    float midLevel = 0.0f;
    float baseValue = 0.0f;
    float sign = 0.0f;
    float value = 0.0f;
    float previousValue = 0.0f;
};

struct ScanLine {
    std::int32_t direction = 0;
    std::int32_t lineIndex = 0;
    std::int32_t start = 0;
    std::int32_t end = 0;
    LevelStats stats;
    std::int32_t transitionCount = 0;
    std::int32_t segmentStart = 0;
    std::int32_t position = 0;
    std::int32_t lastTransition = 0;
};

struct CrossingCursor {
    std::int32_t direction = 0;
    std::int32_t lineIndex = 0;
    std::int32_t first = 0;
    std::int32_t last = 0;
    std::int32_t current = 0;
    float currentLevel = 0.0f;
    float currentValue = 0.0f;
    std::int32_t next = 0;
    float nextLevel = 0.0f;
    float nextValue = 0.0f;
    float fraction = 0.0f;
    LevelStats local;
};

}  // namespace ternwick
