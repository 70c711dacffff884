// An optional record of how a decode went, filled only when a caller asks for
// it (DecodeContext::trace), so that a plain decode does no extra work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "locate/geometry.h"
#include "locate/region_refine.h"
#include "locate/scan_line.h"
#include "sample/size_search.h"

namespace ternwick {

// One candidate symbol, from its crossing to the outcome of its last stage.
struct CandidateTrace {
    int pass = 0;             // 1 or 2
    int direction = 0;        // ScanDirectionUp: column line (index x); ScanDirectionRight: row line (index y)
    int lineIndex = 0;
    float seedAcross = 0.0f;  // current + fraction of the crossing
    int attempt = 1;          // 2 for the second pass's thresholded retry
    LevelStats levels;        // the crossing's local statistics
    EdgeLine traceLines[2][2];  // line1 and line2 of the first and second trace
    Vector2 finderPoints[3];  // pC, pB, pA
    TransformParams finderParams;
    bool topRan = false;
    EdgeWalkRecord top;
    bool rightRan = false;
    EdgeWalkRecord right;
    TransformParams refinedParams;
    int polarity = 0;
    bool sizeRan = false;
    SizeSearchRecord size;
    int sizeIndex = -1;
    int symbolSize = 0;     // rows
    int symbolColumns = 0;
    int erasures = 0;
    std::vector<std::uint8_t> rawCodewordsHead;  // the first placed codewords, before correction
    std::string correction;   // "ok", "failed" or empty when not reached
    std::string failedStage;  // empty when the candidate decoded
    std::vector<std::uint8_t> message;
};

// Whether the candidate's scan line is a column line (its index an x).
inline bool onColumnLine(const CandidateTrace& candidate) { return candidate.direction == ScanDirectionUp; }

struct DecodeTrace {
    // The candidate that decoded, or else the last one that got past the finder.
    bool hasCandidate = false;
    CandidateTrace candidate;
    int decodedPass = 0;  // 0 when nothing decoded
    int passesCutShort = 0;  // search passes that spent their work before their last line
    // The rejected-line lists at the end of the decode.
    std::vector<std::int32_t> rejectedRows;
    std::vector<std::int32_t> rejectedColumns;
};

}  // namespace ternwick
