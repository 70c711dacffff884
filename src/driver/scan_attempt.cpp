#include "driver/scan_attempt.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "ecc/reed_solomon.h"
#include "driver/decode_trace.h"
#include "driver/symbol_corners.h"
#include "locate/edge_trace.h"
#include "locate/finder.h"
#include "locate/region_refine.h"
#include "message/codeword_decoder.h"
#include "sample/bent_grid.h"
#include "sample/blurred_sampling.h"
#include "sample/grid_sampling.h"
#include "sample/placement.h"
#include "sample/size_search.h"

namespace ternwick {
namespace {

// How many placed codewords a trace keeps.
constexpr int kTracedCodewords = 16;

// Records the stages of one candidate into the decode's trace, when one is asked for.
class CandidateRecorder {
public:
    CandidateRecorder(DecodeContext& context, SearchPass pass, const CrossingCursor& cursor)
        : trace_(context.trace), pass_(pass), cursor_(cursor) {}

    bool active() const { return trace_ != nullptr; }

    // A candidate got past the finder: it becomes the decode's traced candidate.
    void finderAccepted(const SymbolResult& symbol, const EdgeTrace& first, const EdgeTrace& second, int attempt) {
        if (trace_ == nullptr) return;
        trace_->hasCandidate = true;
        CandidateTrace& c = trace_->candidate;
        c = CandidateTrace{};
        c.pass = static_cast<int>(pass_);
        c.direction = cursor_.direction;
        c.lineIndex = cursor_.lineIndex;
        c.seedAcross = static_cast<float>(cursor_.current + static_cast<double>(cursor_.fraction));
        c.attempt = attempt;
        c.levels = cursor_.local;
        c.traceLines[0][0] = first.line1;
        c.traceLines[0][1] = first.line2;
        c.traceLines[1][0] = second.line1;
        c.traceLines[1][1] = second.line2;
        std::copy(std::begin(symbol.finderPoints), std::end(symbol.finderPoints), std::begin(c.finderPoints));
        c.finderParams = symbol.params;
        c.failedStage = "top edge";
    }

    EdgeWalkRecord* top() { return trace_ != nullptr ? &trace_->candidate.top : nullptr; }
    EdgeWalkRecord* right() { return trace_ != nullptr ? &trace_->candidate.right : nullptr; }
    SizeSearchRecord* size() { return trace_ != nullptr ? &trace_->candidate.size : nullptr; }

    void reached(const char* stage) {
        if (trace_ != nullptr) trace_->candidate.failedStage = stage;
    }

    void topDone(const SymbolResult& symbol) {
        if (trace_ == nullptr) return;
        trace_->candidate.topRan = true;
        trace_->candidate.polarity = symbol.polarity;
        trace_->candidate.failedStage = "right edge";
    }

    void rightDone(const SymbolResult& symbol) {
        if (trace_ == nullptr) return;
        trace_->candidate.rightRan = true;
        trace_->candidate.refinedParams = symbol.params;
        trace_->candidate.failedStage = "size";
    }

    void sized(const SymbolResult& symbol) {
        if (trace_ == nullptr) return;
        CandidateTrace& c = trace_->candidate;
        c.sizeRan = true;
        c.sizeIndex = symbol.sizeIndex;
        c.symbolSize = symbolRows(symbol);
        c.symbolColumns = symbolColumns(symbol);
        c.polarity = symbol.polarity;
        c.failedStage = "correction";
    }

    void placed(const SymbolResult& symbol) {
        if (trace_ == nullptr) return;
        CandidateTrace& c = trace_->candidate;
        c.erasures = symbol.erasureCount;
        const int count = std::min(symbol.codewordCount, kTracedCodewords);
        c.rawCodewordsHead.assign(symbol.codewords.get(), symbol.codewords.get() + count);
    }

    void corrected(bool ok) {
        if (trace_ == nullptr) return;
        trace_->candidate.correction = ok ? "ok" : "failed";
    }

    void decoded(const SymbolResult& symbol) {
        if (trace_ == nullptr) return;
        CandidateTrace& c = trace_->candidate;
        c.failedStage.clear();
        c.message.assign(symbol.message.get(), symbol.message.get() + symbol.messageLength);
        trace_->decodedPass = static_cast<int>(pass_);
    }

private:
    DecodeTrace* trace_;
    SearchPass pass_;
    const CrossingCursor& cursor_;
};

// Work units of the Reed-Solomon check of a sized candidate: mostly the
// syndromes, a field product for every codeword and check codeword of its
// block, at several products a unit.
std::int64_t correctionWork(const SymbolResult& symbol) {
    const SymbolShape& size = kSymbolShapes[static_cast<std::size_t>(symbol.sizeIndex)];
    return static_cast<std::int64_t>(symbol.codewordCount) * (size.eccCodewords / size.blockCount) / 8;
}

enum class Located { FinderRefused, SideFailed, Located };

// Finder (elongated: the finder of a rectangle too long for buildFinder) and
// both sides of a candidate, up to the first stage that fails.
// finderOnly receives the candidate as the finder leaves it.
Located locateCandidate(SymbolResult& candidate, DecodeContext& context, const EdgeTrace& first,
                        const EdgeTrace& second, CandidateRecorder& recorder, int attempt, bool elongated,
                        Candidate& finderOnly) {
    const int built = elongated ? buildElongatedFinder(candidate, first, second) : buildFinder(candidate, first, second);
    if (built == 0) return Located::FinderRefused;
    finderOnly = candidate;
    recorder.finderAccepted(candidate, first, second, attempt);
    if (fitTopEdge(candidate, context, recorder.top()) == 0) return Located::SideFailed;
    recorder.topDone(candidate);
    if (fitRightEdge(candidate, context, recorder.right()) == 0) return Located::SideFailed;
    recorder.rightDone(candidate);
    return Located::Located;
}

// The rectangular sizes on the transform the sides' walks refined and, as
// the walks along a rectangle's short side can go astray, on the finder's
// own, with its legs followed to their ends and as it was.
int fitRectangle(SymbolResult& candidate, DecodeContext& context, const Candidate& finderOnly,
                 SizeSearchRecord* record, int (*fit)(SymbolResult&, SearchContext&, SizeSearchRecord*)) {
    if (fit(candidate, context, record) == 1) return 1;
    const auto restoreFinder = [&] {
        candidate.params = finderOnly.params;
        candidate.forwardTransform = finderOnly.forwardTransform;
        candidate.inverseTransform = finderOnly.inverseTransform;
        std::copy(std::begin(finderOnly.finderPoints), std::end(finderOnly.finderPoints),
                  std::begin(candidate.finderPoints));
    };
    restoreFinder();
    if (!context.outOfMemory && extendFinderLegs(candidate, context) && fit(candidate, context, record) == 1) {
        return 1;
    }
    restoreFinder();
    return context.outOfMemory ? 0 : fit(candidate, context, record);
}

// The length of a candidate's finder legs together.
double legLength(const Candidate& candidate) {
    return distance(candidate.finderPoints[0], candidate.finderPoints[1]) +
           distance(candidate.finderPoints[0], candidate.finderPoints[2]);
}

// Keeps a located first-pass candidate that could not be sized, unless one
// with about the same finder is kept already; when kMaxUnsized are
// kept, it takes the place of the one with the shortest legs if its own are
// longer. The kept ones stay in the order of their legs, longest first.
void keepUnsized(DecodeContext& context, const Candidate& candidate) {
    std::vector<Candidate>& kept = context.unsized;
    const auto same = [&](const Candidate& other) {
        for (int i = 0; i < 3; ++i) {
            if (distance(other.finderPoints[i], candidate.finderPoints[i]) >= 1.0) return false;
        }
        return true;
    };
    if (std::any_of(kept.begin(), kept.end(), same)) return;
    const double length = legLength(candidate);
    if (kept.size() >= kMaxUnsized) {
        if (legLength(kept.back()) >= length) return;
        kept.pop_back();
    }
    const auto at = std::find_if(kept.begin(), kept.end(), [&](const Candidate& other) { return legLength(other) < length; });
    kept.insert(at, candidate);
}

// Places the codewords, keeps them as placed and corrects them. True when
// every block is consistent.
bool placeAndCorrect(SymbolResult& candidate, DecodeContext& context, std::vector<std::uint8_t>& placed,
                     CandidateRecorder* recorder = nullptr) {
    placeCodewords(candidate);
    if (recorder != nullptr) recorder->placed(candidate);
    context.work.charge(correctionWork(candidate));
    placed.assign(candidate.codewords.get(), candidate.codewords.get() + candidate.codewordCount);
    return correctSymbol(candidate) == 1;
}

// Counts the codewords the correction changed from what was placed.
void countCorrections(SymbolResult& candidate, const std::vector<std::uint8_t>& placed) {
    for (std::int32_t i = 0; i < candidate.codewordCount; ++i) {
        if (candidate.codewords[static_cast<std::size_t>(i)] != placed[static_cast<std::size_t>(i)]) {
            ++candidate.correctedCodewords;
        }
    }
}

// A square whose codewords did not correct, read once more as the mirror
// image of what was sampled: the finder's L reads the same either way.
bool correctsMirrored(SymbolResult& candidate, DecodeContext& context, std::vector<std::uint8_t>& placed) {
    if (candidate.mirrored != 0 || candidate.sizeIndex >= kFirstRectangularIndex) return false;
    if (!turnOverModules(candidate)) return false;
    candidate.mirrored = 1;
    for (std::int32_t i = 0; i < candidate.moduleCount; ++i) {
        candidate.modules[static_cast<std::size_t>(i)] &= static_cast<std::uint8_t>(~ModuleVisited);
    }
    std::fill(candidate.codewords.get(), candidate.codewords.get() + candidate.codewordCount, std::uint8_t{0});
    candidate.erasureCount = 0;
    return placeAndCorrect(candidate, context, placed);
}

// True when each of the four corners lies within the distance of its match.
template <typename Point>
bool cornersWithin(const Point* corners, const Point* others, double distance) {
    for (int c = 0; c < 4; ++c) {
        if (std::hypot(corners[c].x - others[c].x, corners[c].y - others[c].y) > distance) return false;
    }
    return true;
}

// True when a square of the size lying where the candidate does, each corner
// within a module, has been read as blurred before in this pass; else it is
// remembered as read.
bool readBefore(DecodeContext& context, const Candidate& candidate, int sizeIndex) {
    BlurredRead read;
    read.sizeIndex = sizeIndex;
    const Vector2 square[4] = {{0.0f, 0.0f}, {100.0f, 0.0f}, {0.0f, 100.0f}, {100.0f, 100.0f}};
    for (int c = 0; c < 4; ++c) transformPoint(candidate.inverseTransform, square[c], read.corners[c]);
    const double module = std::hypot(read.corners[1].x - read.corners[0].x, read.corners[1].y - read.corners[0].y) /
                          kSymbolSizes[static_cast<std::size_t>(sizeIndex)].symbolSize;
    for (const BlurredRead& earlier : context.blurredReads) {
        if (earlier.sizeIndex == sizeIndex && cornersWithin(earlier.corners, read.corners, module)) return true;
    }
    context.blurredReads.push_back(read);
    return false;
}

// A located candidate read as a heavily blurred square: the sizes whose
// clocks show most clearly, in turn, each deblurred on its module grid,
// placed and corrected, until one corrects. False with the buffers released
// when none does.
bool readBlurred(SymbolResult& candidate, DecodeContext& context, std::vector<std::uint8_t>& placed,
                 CandidateRecorder& recorder) {
    const Candidate located = candidate;
    const ImageBuffer& picture = context.blurredPicture != nullptr ? *context.blurredPicture : context.image;
    if (context.work.exhausted()) return false;
    const BlurredSizes sizes = blurredSizes(candidate, context, picture, context.blurredReading);
    for (std::size_t rank = 0; rank < sizes.size(); ++rank) {
        const int sizeIndex = sizes[rank];
        // The first size is read once its clock has been judged; the next only while work is left.
        if (sizeIndex < 0 || (rank > 0 && context.work.exhausted())) break;
        if (readBefore(context, candidate, sizeIndex)) continue;
        if (fitBlurredSymbol(candidate, context, picture, context.blurredReading, sizeIndex) == 1) {
            recorder.sized(candidate);
            if (placeAndCorrect(candidate, context, placed, &recorder)) return true;
            if (correctsMirrored(candidate, context, placed)) return true;
        }
        releaseSymbolBuffers(candidate);
        static_cast<Candidate&>(candidate) = located;
    }
    return false;
}

// The chain from the finder to the decoded message for one crossing. True
// when the candidate decoded; its record then holds the symbol, and message
// what the symbol says about its message. What the decoder has always read is
// read first, the same way; rectangles and mirror images are tried only where
// that has failed.
bool decodeCandidate(SymbolResult& candidate, MessageInfo& message, DecodeContext& context,
                     const CrossingCursor& cursor, const EdgeTrace& first, const EdgeTrace& second, SearchPass pass) {
    const bool secondPass = pass == SearchPass::Second;
    CandidateRecorder recorder(context, pass, cursor);
    const int direction = cursor.direction;
    const int lineIndex = cursor.lineIndex;

    releaseSymbolBuffers(candidate);
    startCandidate(candidate, cursor.local);
    Candidate finderOnly;
    Located located = locateCandidate(candidate, context, first, second, recorder, 1, false, finderOnly);
    // A finder too long for a square may be a rectangle's: only the
    // rectangular sizes are tried on it, and a failure leaves no rejected line.
    const bool elongated = located == Located::FinderRefused;
    if (elongated) {
        startCandidate(candidate, cursor.local);
        located = locateCandidate(candidate, context, first, second, recorder, 1, true, finderOnly);
    }
    if (located != Located::Located) return false;
    if (!elongated) ++context.locatedCandidates;
    const auto reject = [&] {
        if (!elongated) recordRejectedLine(context, direction, lineIndex);
        return false;
    };

    std::vector<std::uint8_t> placed;
    bool consistent = false;
    if (context.blurredReading > 0.0) {
        if (elongated) return false;
        consistent = readBlurred(candidate, context, placed, recorder);
    } else if (!elongated && fitSymbolSize(candidate, context, recorder.size()) == 1) {
        recorder.sized(candidate);
        sampleModules(candidate, context);
        context.work.charge(candidate.moduleCount);
    } else if (!secondPass) {
        if (!elongated && context.keepUnsized) keepUnsized(context, candidate);
        if (fitRectangle(candidate, context, finderOnly, recorder.size(), fitRectangularSize) == 0) return reject();
        recorder.sized(candidate);
        sampleModules(candidate, context);
        context.work.charge(candidate.moduleCount);
        if (candidate.mirrored != 0 && !turnOverModules(candidate)) return false;
    } else {
        // Second pass: locate the same crossing again with the levels the top
        // walk saw, and sample on a locally thresholded grid.
        releaseSymbolBuffers(candidate);
        startCandidate(candidate, cursor.local);
        candidate.levels.minLevel = context.lastTopEdgeLevels.minLevel;
        candidate.levels.maxLevel = context.lastTopEdgeLevels.maxLevel;
        candidate.levels.midLevel = context.lastTopEdgeLevels.midLevel;
        if (locateCandidate(candidate, context, first, second, recorder, 2, elongated, finderOnly) !=
            Located::Located) {
            return false;
        }
        if (elongated || fitSymbolSizeThresholded(candidate, context, recorder.size()) == 0) {
            if (fitRectangle(candidate, context, finderOnly, recorder.size(), fitRectangularSizeThresholded) == 0) {
                return reject();
            }
            if (candidate.mirrored != 0 && !turnOverModules(candidate)) return false;
        }
        recorder.sized(candidate);
    }
    if (context.blurredReading <= 0.0) {
        consistent = placeAndCorrect(candidate, context, placed, &recorder);
        if (!consistent) consistent = correctsMirrored(candidate, context, placed);
    }
    recorder.corrected(consistent);
    if (!consistent) {
        releaseSymbolBuffers(candidate);
        return reject();
    }
    countCorrections(candidate, placed);
    candidate.pass = static_cast<std::int32_t>(pass);
    message = decodeCodewords(candidate);
    recorder.decoded(candidate);
    return true;
}

// True when the context follows only crossings near the line's ends and the
// cursor's crossing is not one of them.
bool outsideCrossingBand(const DecodeContext& context, const CrossingCursor& cursor) {
    if (context.crossingBand <= 0) return false;
    const std::int32_t extent = extentAlong(context.image, cursor.direction);
    return cursor.current >= context.crossingBand && cursor.current < extent - context.crossingBand;
}

// True when the search of this decode is over: the first symbol is in and the
// decode stops there, the decode holds as many symbols as it may, the pass has spent its
// work, or memory ran out.
bool searchOver(const DecodeContext& context) {
    const bool stopAtFirst = (context.flags & StopAtFirstSymbol) != 0;
    return (stopAtFirst && context.symbolCount > 0) || context.symbolCount >= context.symbolLimit ||
           context.symbolCount < 0 || context.work.exhausted() || context.outOfMemory;
}

// The picture point of the cursor's crossing.
Vector2 crossingPoint(const CrossingCursor& cursor) {
    const auto along = static_cast<float>(cursor.current + static_cast<double>(cursor.fraction));
    const auto fixed = static_cast<float>(cursor.lineIndex);
    return runsAlongX(cursor.direction) ? Vector2{along, fixed} : Vector2{fixed, along};
}

// True when the point lies on a symbol already decoded, its border included
// and half a module around it.
bool insideDecodedSymbol(const DecodeContext& context, const Vector2& point) {
    for (std::int32_t i = 0; i < context.symbolCount; ++i) {
        const SymbolResult& symbol = context.symbols[static_cast<std::size_t>(i)];
        Vector2 square;
        transformPoint(symbol.forwardTransform, point, square);
        const double margin = 50.0 / std::max({symbolRows(symbol), symbolColumns(symbol), 1});
        if (square.x >= -margin && square.x <= 100.0 + margin && square.y >= -margin &&
            square.y <= 100.0 + margin) {
            return true;
        }
    }
    return false;
}

// True when a symbol already decoded has the symbol's corners, each within a
// module of its own.
bool decodedBefore(const DecodeContext& context, const SymbolResult& symbol) {
    const int height = context.image.height;
    const std::array<PicturePoint, 4> corners = symbolCorners(symbol, height);
    const double module = std::hypot(corners[1].x - corners[0].x, corners[1].y - corners[0].y) /
                          std::max(symbolColumns(symbol), 1);
    for (std::int32_t i = 0; i < context.symbolCount; ++i) {
        const std::array<PicturePoint, 4> other = symbolCorners(context.symbols[static_cast<std::size_t>(i)], height);
        if (cornersWithin(corners.data(), other.data(), module)) return true;
    }
    return false;
}

int attempt(DecodeContext& context, int direction, int lineIndex, SearchPass pass) {
    if (searchOver(context)) return context.symbolCount;
    const ImageBuffer& image = context.image;
    if (!image.pixels || (direction != ScanDirectionUp && direction != ScanDirectionRight)) {
        return context.symbolCount;
    }
    // The fixed coordinate must name a line of the picture.
    const std::int32_t across = direction == ScanDirectionUp ? image.width : image.height;
    if (static_cast<std::uint32_t>(lineIndex) >= static_cast<std::uint32_t>(across)) return context.symbolCount;

    const bool allSymbols = (context.flags & AllSymbols) != 0;
    ScanLine line = scanLineOf(image, direction, lineIndex);
    int status = countTransitions(image, line);
    while (status != ScanStatusNothingMore) {
        if (stretchQualifies(line)) {
            CrossingCursor cursor = stretchCursor(line);
            int crossing = nextCrossing(cursor, image, line.stats);
            while (crossing != ScanStatusNothingMore) {
                // A pass that has spent its work passes over the remaining crossings.
                if (searchOver(context)) return context.symbolCount;
                if (outsideCrossingBand(context, cursor) ||
                    (allSymbols && insideDecodedSymbol(context, crossingPoint(cursor)))) {
                    crossing = nextCrossing(cursor, image, line.stats);
                    continue;
                }
                EdgeTrace first;
                EdgeTrace second;
                seedEdgeTraces(cursor, first, second);
                traceEdgeLines(first, image);
                traceEdgeLines(second, image);
                context.work.charge(first.steps + second.steps);
                SymbolResult candidate;
                MessageInfo message;
                if (decodeCandidate(candidate, message, context, cursor, first, second, pass)) {
                    if (allSymbols && decodedBefore(context, candidate)) {
                        releaseSymbolBuffers(candidate);
                    } else {
                        storeSymbol(context, std::move(candidate), std::move(message));
                    }
                    if (searchOver(context)) return context.symbolCount;
                }
                crossing = nextCrossing(cursor, image, line.stats);
            }
            if (searchOver(context)) return context.symbolCount;
        }
        status = countTransitions(image, line);
    }
    return context.symbolCount;
}

}  // namespace

int attemptScanLine(DecodeContext& context, int direction, int lineIndex) {
    return attempt(context, direction, lineIndex, SearchPass::First);
}

int attemptScanLineSecondPass(DecodeContext& context, int direction, int lineIndex) {
    return attempt(context, direction, lineIndex, SearchPass::Second);
}

bool readUnsizedCandidate(DecodeContext& context, const Candidate& located, int pass, bool blackAndWhite) {
    SymbolResult candidate;
    static_cast<Candidate&>(candidate) = located;
    bool bent = false;
    if (fitSymbolSizeFromBorder(candidate, context) == 1) {
        sampleModules(candidate, context);
        context.work.charge(candidate.moduleCount);
    } else {
        // A grid bent so far that no size passes on the transform: the size
        // and the grid from following both dashed sides.
        static_cast<Candidate&>(candidate) = located;
        if (fitBentSymbol(candidate, context) == 0) return false;
        bent = true;
    }
    std::vector<std::uint8_t> placed;
    const auto corrects = [&] {
        return placeAndCorrect(candidate, context, placed) || correctsMirrored(candidate, context, placed);
    };
    bool consistent = corrects();
    if (!consistent && bent && blackAndWhite && !context.work.exhausted()) {
        // A black and white picture: its light modules may have shrunk where the light was dim.
        releaseSymbolBuffers(candidate);
        static_cast<Candidate&>(candidate) = located;
        consistent = fitBentSymbol(candidate, context, BentModules::LightWins) == 1 && corrects();
    }
    if (!consistent) {
        releaseSymbolBuffers(candidate);
        return false;
    }
    countCorrections(candidate, placed);
    candidate.pass = pass;
    MessageInfo message = decodeCodewords(candidate);
    storeSymbol(context, std::move(candidate), std::move(message));
    return true;
}

void recordRejectedLine(DecodeContext& context, int direction, int lineIndex) {
    std::int32_t* list = nullptr;
    std::int32_t* count = nullptr;
    if (direction == ScanDirectionUp) {
        list = context.rejectedColumns;
        count = &context.rejectedColumnCount;
    } else if (direction == ScanDirectionRight) {
        list = context.rejectedRows;
        count = &context.rejectedRowCount;
    } else {
        return;
    }
    if (*count > 0 && *count <= kRejectedLineCapacity && list[*count - 1] == lineIndex) return;
    if (*count < 0 || *count >= kRejectedLineCapacity) return;
    list[*count] = lineIndex;
    ++*count;
}

}  // namespace ternwick
