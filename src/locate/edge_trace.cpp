#include "locate/edge_trace.h"

#include <cmath>

#include "core/checked_convert.h"

namespace ternwick {
namespace {

constexpr int kSearchPositions = 5;   // positions searched across the motion per step
constexpr int kWindow = 5;            // points between a chord's ends
constexpr double kStraight = 0.984;   // |cos| above which two directions agree
constexpr double kBendRun = 9.0;      // steps (times the scale) a stretch needs when a bend ends it
constexpr double kFinalRun = 10.0;    // the same when the trace ends
constexpr double kSecondLegAtBend = 0.8;  // |cos| a second line must stay below
constexpr double kSecondLegAtEnd = 0.9;

bool movesAlongY(std::int32_t direction) {
    return direction == ScanDirectionUp || direction == ScanDirectionDown;
}

// Whether a turn from one direction to the other flips the sense of the
// across coordinate relative to the level.
bool turnFlipsPolarity(std::int32_t from, std::int32_t to) {
    return (from == ScanDirectionUp && to == ScanDirectionRight) ||
           (from == ScanDirectionDown && to == ScanDirectionLeft) ||
           (from == ScanDirectionRight && to == ScanDirectionUp) ||
           (from == ScanDirectionLeft && to == ScanDirectionDown);
}

// Extends a line to a later point of the same edge.
void extendLine(EdgeLine& line, const Vector2& to) {
    line = lineThrough(line.origin, to);
    line.refined = 1;
}

}  // namespace

std::int32_t clockwiseDirection(std::int32_t direction) {
    const std::int32_t next = 2 * (direction % 8);
    return next == 0 ? 1 : next;
}

std::int32_t anticlockwiseDirection(std::int32_t direction) {
    const std::int32_t previous = (direction / 2) % 16;
    return previous == 0 ? 8 : previous;
}

void seedEdgeTraces(const CrossingCursor& cursor, EdgeTrace& first, EdgeTrace& second) {
    EdgeTrace seed;
    seed.polarity = cursor.nextLevel > cursor.currentLevel ? 1 : -1;
    seed.along = cursor.lineIndex;
    seed.across = static_cast<float>(static_cast<double>(cursor.current) + cursor.fraction);
    seed.minLevel = cursor.local.minLevel;
    seed.midLevel = cursor.local.midLevel;
    seed.maxLevel = cursor.local.maxLevel;
    seed.baseValue = cursor.local.baseValue;
    seed.sign = cursor.local.sign;
    first = seed;
    first.direction = clockwiseDirection(cursor.direction);
    second = seed;
    second.direction = anticlockwiseDirection(cursor.direction);
}

Vector2 tracePoint(const EdgeTrace& trace) {
    const auto along = static_cast<float>(trace.along);
    return movesAlongY(trace.direction) ? Vector2{trace.across, along} : Vector2{along, trace.across};
}

int traceEdgeStep(EdgeTrace& trace, const ImageBuffer& image) {
    if (trace.steps < INT32_MAX) ++trace.steps;
    const std::int32_t direction = trace.direction;
    if (!image.pixels || (!movesAlongY(direction) && !runsAlongX(direction))) return ScanStatusNothingMore;
    const bool alongX = runsAlongX(direction);
    const std::int64_t extentAcross = alongX ? image.height : image.width;
    const std::int64_t extentAlongMotion = alongX ? image.width : image.height;
    // Across the motion only positions 2 .. extent - 3 are read, so that the
    // trace keeps a pixel of margin; along it, 1 .. extent - 1.
    auto outsideAcross = [&](std::int64_t q) { return q + 1 >= extentAcross - 1 || q - 1 <= 0; };

    std::int32_t nearest = 0;
    if (!truncateToInt32(static_cast<double>(trace.across) + 0.5, nearest)) return ScanStatusNothingMore;
    const std::int64_t q0 = nearest;
    if (outsideAcross(q0)) return ScanStatusNothingMore;

    const std::int64_t along =
        std::int64_t{trace.along} + (direction == ScanDirectionUp || direction == ScanDirectionRight ? 1 : -1);
    std::int32_t storedAlong = 0;
    if (truncateToInt32(static_cast<double>(along), storedAlong)) trace.along = storedAlong;
    if (along >= extentAlongMotion || along <= 0) return ScanStatusNothingMore;

    const double mid = trace.midLevel;
    auto levelAt = [&](std::int64_t q) -> double {
        const double grey = greyOnLine(image, !alongX, static_cast<std::int32_t>(along), static_cast<std::int32_t>(q));
        return (grey - trace.baseValue) * trace.sign;
    };
    const double level0 = levelAt(q0);
    const int side = (mid - level0) * trace.polarity >= 0.0 ? 1 : -1;

    std::int64_t previous = q0;
    double previousLevel = level0;
    for (int i = 0; i < kSearchPositions; ++i) {
        const std::int64_t q = q0 + static_cast<std::int64_t>(i) * side;
        if (outsideAcross(q)) return ScanStatusNothingMore;
        const double level = levelAt(q);
        if (std::fabs(level - mid) < kEpsilon) {
            trace.across = static_cast<float>(q);
            return ScanStatusStepTaken;
        }
        if ((mid - level) * (mid - previousLevel) < 0.0) {
            // The edge lies between the previous position and this one; place
            // it by linear interpolation from the nearer of the two.
            const double d1 = mid - previousLevel;
            const double d2 = mid - level;
            const double span = std::fabs(previousLevel - level);
            const double across = std::fabs(d2) > std::fabs(d1)
                                      ? static_cast<double>(previous) + trace.polarity * d1 / span
                                      : static_cast<double>(q) + trace.polarity * d2 / span;
            trace.across = static_cast<float>(across);
            return ScanStatusStepTaken;
        }
        previousLevel = level;
        previous = q;
    }

    // No crossing near the path: the edge runs away, so turn towards it. The
    // old across coordinate becomes the new along one, truncated.
    std::int32_t newAlong = 0;
    if (!truncateToInt32(trace.across, newAlong)) return ScanStatusNothingMore;
    const std::int32_t turned = movesAlongY(direction) ? (side > 0 ? ScanDirectionRight : ScanDirectionLeft)
                                                       : (side > 0 ? ScanDirectionUp : ScanDirectionDown);
    if (turnFlipsPolarity(direction, turned)) trace.polarity = -trace.polarity;
    trace.direction = turned;
    trace.across = static_cast<float>(along);
    trace.along = newAlong;
    trace.turns += 1;
    return ScanStatusStepTaken;
}

void traceEdgeLines(EdgeTrace& trace, const ImageBuffer& image) {
    trace.line1 = EdgeLine{};
    trace.line2 = EdgeLine{};
    const double scale = image.scale;
    const Vector2 start = tracePoint(trace);
    Vector2 leaving = start;      // A: the point that has just left the window
    Vector2 stretchStart = start; // S
    int run = 0;                  // h: straight chords in the current stretch
    int savedRun = 0;             // v
    Vector2 window[kWindow];
    for (Vector2& point : window) {
        if (traceEdgeStep(trace, image) == ScanStatusNothingMore) return;
        point = tracePoint(trace);
    }
    Vector2 initial = difference(window[kWindow - 1], start);
    if (std::fabs(initial.x) < kEpsilon && std::fabs(initial.y) < kEpsilon) return;
    vectorNormalize(initial);
    // Directions of the current (L0) and previous (L1) chords; their origins
    // play no part.
    Vector2 currentDirection = initial;
    Vector2 previousDirection = initial;
    Vector2 chord{};  // C, the latest chord's direction

    int status = traceEdgeStep(trace, image);
    while (status == ScanStatusStepTaken) {
        if (trace.turns > 2) break;
        leaving = window[0];
        for (int i = 0; i + 1 < kWindow; ++i) window[i] = window[i + 1];
        const Vector2 point = tracePoint(trace);
        window[kWindow - 1] = point;
        chord = difference(point, leaving);
        vectorNormalize(chord);
        if (std::fabs(static_cast<double>(point.x) - leaving.x) < kEpsilon &&
            std::fabs(static_cast<double>(point.y) - leaving.y) < kEpsilon) {
            return;
        }
        const double dot0 = std::fabs(dot(chord, currentDirection));
        const double dot1 = std::fabs(dot(chord, previousDirection));
        double straightness = dot0;
        if (dot0 <= kStraight && dot1 > kStraight && savedRun > run) {
            // A short wobble back to the previous direction: undo the bend.
            currentDirection = previousDirection;
            straightness = dot1;
            run = savedRun;
            window[3] = {static_cast<float>((static_cast<double>(window[2].x) + window[4].x) / 2.0),
                         static_cast<float>((static_cast<double>(window[2].y) + window[4].y) / 2.0)};
        } else if (trace.line1.valid && trace.turns == 0) {
            if (std::fabs(dot(chord, trace.line1.direction)) > kStraight) extendLine(trace.line1, leaving);
        } else if (trace.line2.valid && trace.turns == 1) {
            if (std::fabs(dot(chord, trace.line2.direction)) > kStraight) extendLine(trace.line2, leaving);
        }

        if (straightness > kStraight) {
            ++run;
            savedRun = run;
        } else {
            if (run * scale > kBendRun) {
                if (!trace.line1.valid) {
                    trace.line1 = lineThrough(stretchStart, leaving);
                } else if (!trace.line2.valid) {
                    if (std::fabs(dot(chord, trace.line1.direction)) < kSecondLegAtBend) {
                        trace.line2 = lineThrough(stretchStart, leaving);
                    }
                } else if (std::fabs(dot(chord, trace.line2.direction)) < kSecondLegAtBend) {
                    return;
                }
            } else {
                savedRun = run;
            }
            previousDirection = currentDirection;
            currentDirection = chord;
            run = 0;
            stretchStart = leaving;
        }
        status = traceEdgeStep(trace, image);
    }

    if (run * scale > kFinalRun) {
        if (!trace.line1.valid) {
            trace.line1 = lineThrough(stretchStart, leaving);
        } else if (!trace.line2.valid && std::fabs(dot(chord, trace.line1.direction)) < kSecondLegAtEnd) {
            trace.line2 = lineThrough(stretchStart, leaving);
        }
    }
}

}  // namespace ternwick
