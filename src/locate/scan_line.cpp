#include "locate/scan_line.h"

#include <cmath>
#include <cstdlib>

#include "locate/geometry.h"

namespace ternwick {
namespace {

constexpr double kStrongStep = 10.0;     // grey step that counts as an edge
constexpr double kMinimumSwing = 5.0;    // half-range a counted transition needs
constexpr int kCrossingLookahead = 6;    // pixels after a crossing taken into its local levels

bool isDirection(std::int32_t direction) {
    return direction == ScanDirectionUp || direction == ScanDirectionLeft || direction == ScanDirectionDown ||
           direction == ScanDirectionRight;
}

// True when the fixed coordinate names a column or row of the picture and the
// positions first..last all lie on it.
bool lineInsidePicture(const ImageBuffer& image, std::int32_t direction, std::int32_t lineIndex,
                       std::int32_t first, std::int32_t last) {
    if (!image.pixels || !isDirection(direction)) return false;
    const std::int32_t across = runsAlongX(direction) ? image.height : image.width;
    return lineIndex >= 0 && lineIndex < across && first >= 0 && first <= last &&
           last < extentAlong(image, direction);
}

float levelOf(double grey, const LevelStats& stats) {
    return static_cast<float>((grey - stats.baseValue) * stats.sign);
}

// Widens the local level range by one level; the mid level follows a change.
void takeLocalLevel(float level, float& lo, float& hi, float& mid) {
    if (level < lo) {
        lo = level;
        mid = static_cast<float>((static_cast<double>(lo) + hi) * 0.5);
    } else if (level > hi) {
        hi = level;
        mid = static_cast<float>((static_cast<double>(lo) + hi) * 0.5);
    }
}

}  // namespace

ScanLine scanLineOf(const ImageBuffer& image, std::int32_t direction, std::int32_t lineIndex) {
    ScanLine line;
    line.direction = direction;
    line.lineIndex = lineIndex;
    line.start = 0;
    line.end = extentAlong(image, direction) - 1;
    return line;
}

bool stretchQualifies(const ScanLine& line) {
    return line.transitionCount > 2 && std::abs(line.position - line.segmentStart) > 10;
}

CrossingCursor stretchCursor(const ScanLine& line) {
    CrossingCursor cursor;
    cursor.direction = line.direction;
    cursor.lineIndex = line.lineIndex;
    cursor.first = line.segmentStart;
    cursor.last = line.position - 1;
    cursor.current = line.segmentStart;
    cursor.next = line.segmentStart;
    return cursor;
}

int countTransitions(const ImageBuffer& image, ScanLine& line) {
    if (line.position == line.end) return ScanStatusNothingMore;
    // The pass reads positions from the current one up to end - 1; the cursor
    // walking the line afterwards reads up to end itself.
    if (!lineInsidePicture(image, line.direction, line.lineIndex, line.position, line.end)) {
        return ScanStatusNothingMore;
    }
    const bool alongX = runsAlongX(line.direction);
    const std::int32_t p0 = line.position;
    line.stats = LevelStats{};
    line.transitionCount = 0;
    line.lastTransition = 0;
    line.segmentStart = p0;

    LevelStats& stats = line.stats;
    stats.value = greyOnLine(image, alongX, line.lineIndex, p0);
    line.position = p0 + 1;
    int polarity = 1;
    for (std::int32_t p = p0 + 1; p < line.end; ++p) {
        stats.previousValue = stats.value;
        stats.value = greyOnLine(image, alongX, line.lineIndex, p);
        const double diff = static_cast<double>(stats.value) - stats.previousValue;
        if (std::fabs(diff) > kStrongStep) {
            if (stats.started == 0) {
                stats.started = 1;
                stats.minLevel = 0.0f;
                stats.baseValue = stats.previousValue;
                stats.sign = static_cast<float>(diff / std::fabs(diff));
                stats.maxLevel = static_cast<float>(std::fabs(diff));
                stats.midLevel = static_cast<float>(std::fabs(diff) * 0.5);
                line.lastTransition = p;
                polarity = 1;
            } else {
                const float level = levelOf(stats.value, stats);
                if (level < stats.minLevel) {
                    stats.minLevel = level;
                } else if (level > stats.maxLevel) {
                    stats.maxLevel = level;
                }
                const double minLevel = stats.minLevel;
                const double maxLevel = stats.maxLevel;
                stats.midLevel = static_cast<float>((minLevel + maxLevel) * 0.5);
                const double half = static_cast<float>((maxLevel - minLevel) * 0.5);
                const bool swungBack = polarity == 1 ? level < minLevel + half : level > maxLevel - half;
                if (swungBack && half > kMinimumSwing) {
                    ++line.transitionCount;
                    line.lastTransition = p;
                    polarity = -polarity;
                }
            }
        }
        line.position = p + 1;
    }
    return ScanStatusDone;
}

int nextCrossing(CrossingCursor& cursor, const ImageBuffer& image, const LevelStats& lineStats) {
    if (cursor.current == cursor.last) return ScanStatusNothingMore;
    // The walk reads the positions first..last + 1; a cursor that is not on
    // that stretch, or a stretch outside the picture, has nothing to give.
    if (cursor.current < cursor.first || cursor.current > cursor.last || cursor.next < cursor.current ||
        cursor.next > cursor.current + 1 ||
        !lineInsidePicture(image, cursor.direction, cursor.lineIndex, cursor.first, cursor.last + 1)) {
        return ScanStatusNothingMore;
    }
    const bool alongX = runsAlongX(cursor.direction);
    auto greyAtPosition = [&](std::int32_t position) -> float {
        return greyOnLine(image, alongX, cursor.lineIndex, position);
    };

    float lo = 0.0f;
    float hi = 0.0f;
    float mid = 0.0f;
    if (cursor.current == cursor.first) {
        lo = 256.0f;
        hi = -256.0f;
    } else {
        lo = hi = mid = cursor.currentLevel;
    }
    const double lineMid = lineStats.midLevel;
    for (;;) {
        cursor.current = cursor.next;
        cursor.currentLevel = cursor.nextLevel;
        cursor.currentValue = cursor.nextValue;
        cursor.next = cursor.next + 1;
        if (cursor.current == cursor.first) {
            cursor.currentValue = greyAtPosition(cursor.current);
            cursor.currentLevel = levelOf(cursor.currentValue, lineStats);
            lo = hi = mid = cursor.currentLevel;
        }
        cursor.nextValue = greyAtPosition(cursor.next);
        cursor.nextLevel = levelOf(cursor.nextValue, lineStats);
        takeLocalLevel(cursor.nextLevel, lo, hi, mid);

        const double e1 = lineMid - cursor.currentLevel;
        const double e2 = lineMid - cursor.nextLevel;
        if (std::fabs(e1 - e2) >= kEpsilon && e1 * e2 <= 0.0) {
            cursor.fraction = static_cast<float>(e1 / (e1 - e2));
            for (std::int32_t p = cursor.next + 1; p <= cursor.next + kCrossingLookahead && p <= cursor.last; ++p) {
                takeLocalLevel(levelOf(greyAtPosition(p), lineStats), lo, hi, mid);
            }
            break;
        }
        // The end of the stretch without a crossing still gives one seed, on
        // the last pair of pixels; the call after it returns 5.
        if (cursor.current == cursor.last) break;
    }
    cursor.local = lineStats;
    cursor.local.minLevel = lo;
    cursor.local.maxLevel = hi;
    cursor.local.midLevel = mid;
    return ScanStatusDone;
}

}  // namespace ternwick
