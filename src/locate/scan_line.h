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

// True for the codes whose motion runs along x (2 and 8), false for 1 and 4.
inline bool runsAlongX(std::int32_t direction) {
    return direction == ScanDirectionLeft || direction == ScanDirectionRight;
}

// Number of positions along a line of the given direction: the picture's
// width for 2 and 8, its height for 1 and 4.
inline std::int32_t extentAlong(const ImageBuffer& image, std::int32_t direction) {
    return runsAlongX(direction) ? image.width : image.height;
}

// Grey value at a position of the line with a fixed coordinate: pixel
// (position, fixed) when the position runs along x, (fixed, position) otherwise.
inline std::uint8_t greyOnLine(const ImageBuffer& image, bool positionAlongX, std::int32_t fixed,
                               std::int32_t position) {
    return positionAlongX ? greyAt(image, position, fixed) : greyAt(image, fixed, position);
}

// The line with the given direction and fixed coordinate, over the picture's
// whole extent along it, ready for its first countTransitions.
ScanLine scanLineOf(const ImageBuffer& image, std::int32_t direction, std::int32_t lineIndex);

// Whether the stretch countTransitions has just passed over is worth walking
// crossing by crossing: more than two swings over more than ten pixels.
bool stretchQualifies(const ScanLine& line);

// A cursor over that stretch, from its start to the pixel before the line's
// position, ready for its first nextCrossing.
CrossingCursor stretchCursor(const ScanLine& line);

// One pass over the line from its position to its end: fixes the level scale
// at the first step of more than 10 grey values and counts the swings across
// the mid level. 5 when the position is already at the end (or the line does
// not lie inside the picture), 1 after the pass.
int countTransitions(const ImageBuffer& image, ScanLine& line);

// Walks the cursor to the next crossing of the line's mid level. 1 with the
// cursor on the crossing (fraction and local statistics set); also 1, once,
// when the end of the stretch is reached without a crossing; 5 when the
// stretch is used up (or does not lie inside the picture).
int nextCrossing(CrossingCursor& cursor, const ImageBuffer& image, const LevelStats& lineStats);

}  // namespace ternwick
