#include "driver/further_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "driver/symbol_search.h"
#include "image/sharpening.h"
#include "locate/geometry.h"
#include "locate/scan_line.h"

namespace ternwick {
namespace {

// Pictures up to this many pixels that may hold modules of one or two pixels
// are searched magnified, two pixels a side for each pixel, so that those
// modules become two or four.
constexpr std::uint64_t kMagnifiedPixelLimit = 512 * 512;

// The further passes may spend what the first two passes spent: the work
// they counted, and what they did uncounted, counted as the further passes
// count theirs (the prefilter as two copies of the picture, reading a line as
// a unit a sample; the second pass samples at twice the resolution).
std::int64_t uncountedWork(const ImageBuffer& picture) {
    const std::int64_t width = picture.width;
    const std::int64_t height = picture.height;
    const std::int64_t columns = (width - 1) / scanStep(picture.width);
    const std::int64_t rows = (height - 1) / scanStep(picture.height);
    return width * height / 2 + 3 * (columns * height + rows * width);
}

// In a framed copy of the picture as it is, only the crossings within this
// many pixels of the frame are followed.
constexpr int kFrameBand = 2;

// Framed copies are searched only when some line of the schedule swings this
// often within this many pixels (or a sixth of the picture) of its ends.
constexpr int kLeastEdgeSwings = 2;
constexpr std::int32_t kEdgeDepth = 24;

// For pictures up to kFloorPixelLimit pixels, the allowance is at least this
// much for each pixel, up to the ceiling: enough for a small symbol whose
// first two passes spent little.
constexpr std::int64_t kFurtherWorkPerPixel = 64;
constexpr std::int64_t kFurtherWorkFloorCeiling = 80000;
constexpr std::int64_t kFloorPixelLimit = 128 * 128;

// A picture is searched magnified only when its lines show runs of one or two
// pixels between steep steps of opposite sign (modules of one or two pixels):
// at least this many, and at least this share of its steep steps. A steep
// step rises by half the picture's contrast, and at least by the least step.
constexpr int kLeastFineRuns = 4;
constexpr int kFineRunShareDivisor = 16;
constexpr int kLeastSteepStep = 32;

// Pictures up to this many pixels whose edges look blurred by at least the
// least sigma below are searched sharpened first, by an unsharp mask of that
// sigma (up to the most) and this amount.
constexpr std::uint64_t kSharpenedPixelLimit = 4000000;
constexpr double kLeastSharpenedBlur = 1.0;
constexpr double kMostSharpenedBlur = 8.0;
constexpr double kSharpeningAmount = 2.0;

// Pictures whose edges look blurred by at least this sigma are also searched
// for symbols read by undoing the blur on their module grids.
constexpr double kLeastDeblurredBlur = 1.5;
// The work reading blurred symbols may spend beyond the other copies' allowance:
// enough for most symbols; the ceiling keeps a large blurred picture without
// one from taking much longer than its first passes.
constexpr std::int64_t kBlurredWorkPerPixel = 24;
constexpr std::int64_t kBlurredWorkCeiling = 4000000;
// Pictures up to this many pixels are read blurred even where no pass before
// located a candidate: their first passes may see no edge steep enough, and
// reading them costs little.
constexpr std::int64_t kBlurredAlwaysPixelLimit = 256 * 256;

// True when most pixels along the picture's four edges are dark: the solid
// sides of a dark finder lying on the edges make it so.
bool edgesMostlyDark(const ImageBuffer& picture, std::uint8_t middle) {
    std::int64_t dark = 0;
    std::int64_t count = 0;
    const auto tally = [&](std::int32_t x, std::int32_t y) {
        ++count;
        if (greyAt(picture, x, y) < middle) ++dark;
    };
    for (std::int32_t x = 0; x < picture.width; ++x) {
        tally(x, 0);
        tally(x, picture.height - 1);
    }
    for (std::int32_t y = 0; y < picture.height; ++y) {
        tally(0, y);
        tally(picture.width - 1, y);
    }
    return 2 * dark > count;
}

// Counts, along lines of the picture, the steep steps and the runs of one or
// two pixels between steep steps of opposite sign.
struct FineRuns {
    std::int64_t steps = 0;
    std::int64_t fine = 0;

    void line(const ImageBuffer& picture, int step, bool alongRow, std::int32_t index, std::int32_t length) {
        int lastSign = 0;
        std::int32_t lastAt = -8;
        int previous = alongRow ? greyAt(picture, 0, index) : greyAt(picture, index, 0);
        for (std::int32_t i = 1; i < length; ++i) {
            const int grey = alongRow ? greyAt(picture, i, index) : greyAt(picture, index, i);
            const int rise = grey - previous;
            previous = grey;
            if (std::abs(rise) < step) continue;
            const int sign = rise > 0 ? 1 : -1;
            ++steps;
            if (sign == -lastSign && i - lastAt <= 2) ++fine;
            lastSign = sign;
            lastAt = i;
        }
    }
};

// True when the picture may hold modules of one or two pixels, judged along
// the lines of the search schedule.
bool hasFineRuns(const ImageBuffer& picture, std::uint8_t light, std::uint8_t dark) {
    const int step = std::max(kLeastSteepStep, (light - dark) / 2);
    FineRuns runs;
    const std::uint32_t columnStep = scanStep(picture.width);
    const std::uint32_t rowStep = scanStep(picture.height);
    for (auto x = columnStep; x < static_cast<std::uint32_t>(picture.width); x += columnStep) {
        runs.line(picture, step, false, static_cast<std::int32_t>(x), picture.height);
    }
    for (auto y = rowStep; y < static_cast<std::uint32_t>(picture.height); y += rowStep) {
        runs.line(picture, step, true, static_cast<std::int32_t>(y), picture.width);
    }
    return runs.fine >= kLeastFineRuns && runs.fine * kFineRunShareDivisor >= runs.steps;
}

// True when a line of the search schedule swings across the picture's middle
// grey at least kLeastEdgeSwings times within kEdgeDepth of an end: what a
// symbol's finder or clock side on the picture's edge, with modules beside
// it, makes.
bool edgesShowDetail(const ImageBuffer& picture, std::uint8_t light, std::uint8_t dark) {
    const int middle = (light + dark + 1) / 2;
    const int margin = std::max(kLeastSteepStep / 2, (light - dark) / 4);
    const std::int32_t depth = std::max(kEdgeDepth, std::min(picture.width, picture.height) / 6);
    const auto swings = [&](bool alongRow, std::int32_t index, std::int32_t from, std::int32_t to) {
        int count = 0;
        int state = 0;
        for (std::int32_t i = from; i < to; ++i) {
            const int grey = alongRow ? greyAt(picture, i, index) : greyAt(picture, index, i);
            const int now = grey >= middle + margin ? 1 : grey < middle - margin ? -1 : 0;
            if (now != 0 && now != state) {
                if (state != 0) ++count;
                state = now;
            }
        }
        return count;
    };
    const auto lineShows = [&](bool alongRow, std::int32_t index, std::int32_t length) {
        const std::int32_t reach = std::min(depth, length);
        return swings(alongRow, index, 0, reach) >= kLeastEdgeSwings ||
               swings(alongRow, index, length - reach, length) >= kLeastEdgeSwings;
    };
    const std::uint32_t columnStep = scanStep(picture.width);
    const std::uint32_t rowStep = scanStep(picture.height);
    for (auto x = columnStep; x < static_cast<std::uint32_t>(picture.width); x += columnStep) {
        if (lineShows(false, static_cast<std::int32_t>(x), picture.height)) return true;
    }
    for (auto y = rowStep; y < static_cast<std::uint32_t>(picture.height); y += rowStep) {
        if (lineShows(true, static_cast<std::int32_t>(y), picture.width)) return true;
    }
    return false;
}

// The grey below which the given share of the picture's pixels lie, read from
// every fourth pixel of every fourth row.
std::uint8_t greyAtShare(const ImageBuffer& picture, double share) {
    std::array<std::uint32_t, 256> histogram{};
    std::uint32_t count = 0;
    for (std::int32_t y = 0; y < picture.height; y += 4) {
        for (std::int32_t x = 0; x < picture.width; x += 4) {
            ++histogram[greyAt(picture, x, y)];
            ++count;
        }
    }
    const auto wanted = static_cast<std::uint32_t>(share * count);
    std::uint32_t below = 0;
    for (int grey = 0; grey < 256; ++grey) {
        below += histogram[static_cast<std::size_t>(grey)];
        if (below > wanted) return static_cast<std::uint8_t>(grey);
    }
    return 255;
}

// True when the picture holds two greys at most, judged from every fourth
// pixel of every fourth row: a picture thresholded to black and white.
bool blackAndWhiteOnly(const ImageBuffer& picture) {
    int first = -1;
    int second = -1;
    for (std::int32_t y = 0; y < picture.height; y += 4) {
        for (std::int32_t x = 0; x < picture.width; x += 4) {
            const int grey = greyAt(picture, x, y);
            if (grey == first || grey == second) continue;
            if (first < 0) {
                first = grey;
            } else if (second < 0) {
                second = grey;
            } else {
                return false;
            }
        }
    }
    return true;
}

// The point of the picture as loaded, in first-pass coordinates, of a point
// of the framed copy in the coordinates of the pass that searched it.
struct CopyToPicture {
    double scale;   // 1 / magnification
    double offset;  // added after scaling, the same along x and y

    explicit CopyToPicture(const FramedCopy& copy, int foundInPass) {
        // Pixel p's sample sits at p in the first pass and at p - 0.25 in the
        // second, which samples at twice the resolution.
        const double half = foundInPass == static_cast<int>(SearchPass::Second) ? 0.25 : 0.5;
        scale = 1.0 / copy.magnification;
        offset = half * scale - copy.border - 0.5;
    }
    void move(Vector2& point) const {
        point.x = static_cast<float>(point.x * scale + offset);
        point.y = static_cast<float>(point.y * scale + offset);
    }
    // Row-vector matrices: picture = copy * toPicture, copy = picture * toCopy.
    Matrix3 toPicture() const {
        const auto s = static_cast<float>(scale);
        const auto o = static_cast<float>(offset);
        return Matrix3{{{s, 0.0f, 0.0f}, {0.0f, s, 0.0f}, {o, o, 1.0f}}};
    }
    Matrix3 toCopy() const {
        const auto f = static_cast<float>(1.0 / scale);
        const auto o = static_cast<float>(-offset / scale);
        return Matrix3{{{f, 0.0f, 0.0f}, {0.0f, f, 0.0f}, {o, o, 1.0f}}};
    }
};

// The work of making a copy: a unit for four of its pixels, and for the
// sharpening a unit for sixteen products of its filter (measured, a unit of
// sharpening then takes about half the time of a unit of the search).
std::int64_t copyWork(const ImageBuffer& picture, const FramedCopy& copy) {
    const std::int64_t side = copy.magnification;
    const std::int64_t width = (picture.width + 2 * static_cast<std::int64_t>(copy.border)) * side;
    const std::int64_t height = (picture.height + 2 * static_cast<std::int64_t>(copy.border)) * side;
    std::int64_t work = width / 4 * height;
    if (copy.sharpenSigma > 0.0) {
        const int taps = 2 * static_cast<int>(std::ceil(3.0 * copy.sharpenSigma)) + 1;
        work += static_cast<std::int64_t>(picture.width) * picture.height * taps / 16;
    }
    return work;
}

// The sharpened picture, made once for the copies that search it.
struct SharpenedPicture {
    ImageBuffer picture;
    double sigma = 0.0;
};

// The work of a copy whose sharpened picture is already made.
std::int64_t copyWork(const ImageBuffer& picture, const FramedCopy& copy, const SharpenedPicture& sharpened) {
    FramedCopy framing = copy;
    if (sharpened.picture.pixels && sharpened.sigma == copy.sharpenSigma) framing.sharpenSigma = 0.0;
    return copyWork(picture, framing);
}

// Makes the copy a plan describes, sharpened first when it says so, and
// charges the work. False when the copy cannot be made.
bool makeCopy(DecodeContext& context, const FramedCopy& plan, SharpenedPicture& sharpened, ImageBuffer& out) {
    const std::int64_t work = copyWork(context.image, plan, sharpened);
    if (plan.sharpenSigma > 0.0) {
        if (!sharpened.picture.pixels || sharpened.sigma != plan.sharpenSigma) {
            if (!unsharpMask(context.image, plan.sharpenSigma, kSharpeningAmount, sharpened.picture)) return false;
            sharpened.sigma = plan.sharpenSigma;
        }
        if (!makeFramedCopy(sharpened.picture, plan, out)) return false;
    } else if (!makeFramedCopy(context.image, plan, out)) {
        return false;
    }
    context.work.charge(work);
    return true;
}

// The scan lines of copies of one size, columns then rows, each line in every
// copy in turn, until a symbol is found or the shared allowance is spent. A
// symbol found is moved into the picture's coordinates.
void scanCopies(DecodeContext& context, ScanLineAttempts& attempts, ImageBuffer* images, const FramedCopy* plans,
                int count) {
    const auto width = static_cast<std::uint32_t>(images[0].width);
    const auto height = static_cast<std::uint32_t>(images[0].height);
    const auto attemptIn = [&](int c, int direction, std::uint32_t index, std::int64_t length) {
        std::swap(context.image, images[c]);
        context.crossingBand = plans[c].nearFrameOnly ? plans[c].border + kFrameBand : 0;
        // Reading a line's pixels is charged too, at the chain's sampling scale.
        context.work.charge(static_cast<std::int64_t>(context.image.scale) * length);
        const int found =
            attempts.furtherPass(context, static_cast<int>(plans[c].pass), direction, static_cast<int>(index));
        context.crossingBand = 0;
        std::swap(context.image, images[c]);
        for (std::int32_t s = 0; s < context.symbolCount; ++s) {
            moveToPicture(context.symbols[s], plans[c], static_cast<int>(plans[c].pass));
        }
        return found > 0;
    };
    const std::uint32_t columnStep = scanStep(images[0].width);
    const std::uint32_t rowStep = scanStep(images[0].height);
    // Columns and rows in turn: a finder lying either way is met early.
    std::uint32_t x = columnStep;
    std::uint32_t y = rowStep;
    while (x < width || y < height) {
        for (int c = 0; c < count && x < width; ++c) {
            if (context.work.exhausted() || attemptIn(c, ScanDirectionUp, x, height)) return;
        }
        for (int c = 0; c < count && y < height; ++c) {
            if (context.work.exhausted() || attemptIn(c, ScanDirectionRight, y, width)) return;
        }
        x += columnStep;
        y += rowStep;
    }
}

// The rejected-line lists of a context, kept while the copies are searched.
struct RejectedLines {
    std::vector<std::int32_t> rows, columns;

    RejectedLines() = default;
    explicit RejectedLines(const DecodeContext& context)
        : rows(context.rejectedRows, context.rejectedRows + context.rejectedRowCount),
          columns(context.rejectedColumns, context.rejectedColumns + context.rejectedColumnCount) {}
    void restore(DecodeContext& context) const {
        std::fill(std::begin(context.rejectedRows), std::end(context.rejectedRows), 0);
        std::fill(std::begin(context.rejectedColumns), std::end(context.rejectedColumns), 0);
        std::copy(rows.begin(), rows.end(), context.rejectedRows);
        std::copy(columns.begin(), columns.end(), context.rejectedColumns);
        context.rejectedRowCount = static_cast<std::int32_t>(rows.size());
        context.rejectedColumnCount = static_cast<std::int32_t>(columns.size());
    }
};

}  // namespace

int framedCopies(const ImageBuffer& picture, FramedCopy (&copies)[kMaxFramedCopies], std::int64_t allowance) {
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(picture.width) * static_cast<std::uint64_t>(picture.height);
    const std::uint8_t light = greyAtShare(picture, 0.95);
    const std::uint8_t dark = greyAtShare(picture, 0.05);
    const bool fine = pixels <= kMagnifiedPixelLimit && hasFineRuns(picture, light, dark);
    const int magnification = fine ? 2 : 1;
    const int border = std::max(8, std::min(picture.width, picture.height) / 10);
    // The border that stands against the colour the picture's edges mostly have comes first.
    const bool lightFirst = edgesMostlyDark(picture, static_cast<std::uint8_t>((light + dark + 1) / 2));
    const std::uint8_t first = lightFirst ? light : dark;
    const std::uint8_t second = lightFirst ? dark : light;
    int count = 0;
    // The blur is judged only where the allowance could pay for the least
    // sharpening, and a sharpened copy is made only where it could pay for it.
    const FramedCopy leastSharpened{border, first, 1, SearchPass::First, kLeastSharpenedBlur};
    double blur = 0.0;
    if (pixels <= kSharpenedPixelLimit && copyWork(picture, leastSharpened) < allowance) {
        blur = estimateBlurSigma(picture);
        const FramedCopy sharpened{border, first, 1, SearchPass::First, std::min(blur, kMostSharpenedBlur)};
        if (blur >= kLeastSharpenedBlur && copyWork(picture, sharpened) < allowance) copies[count++] = sharpened;
    }
    // Framed copies, for pictures magnified or with detail at their edges.
    if (fine || edgesShowDetail(picture, light, dark)) {
        const bool nearFrameOnly = magnification == 1;
        copies[count++] = FramedCopy{border, first, magnification, SearchPass::First, 0.0, nearFrameOnly};
        copies[count++] = FramedCopy{border, second, magnification, SearchPass::First, 0.0, nearFrameOnly};
    }
    // Heavily blurred symbols, found on the sharpened picture and read from the picture as loaded.
    if (blur >= kLeastDeblurredBlur) {
        copies[count++] = FramedCopy{.border = 0,
                                     .outside = first,
                                     .magnification = 1,
                                     .pass = SearchPass::First,
                                     .sharpenSigma = std::min(blur, kMostSharpenedBlur),
                                     .blurredReading = blur};
    }
    return count;
}

bool makeFramedCopy(const ImageBuffer& picture, const FramedCopy& copy, ImageBuffer& out) {
    const std::int64_t m = copy.magnification;
    const std::int64_t width = (picture.width + 2 * static_cast<std::int64_t>(copy.border)) * m;
    const std::int64_t height = (picture.height + 2 * static_cast<std::int64_t>(copy.border)) * m;
    if (m < 1 || copy.border < 0 || static_cast<std::uint64_t>(width * height) > kMaxImagePixels) return false;
    const auto bytes = static_cast<std::size_t>(width * height);
    std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[bytes]);
    if (!pixels) return false;
    const auto rowBytes = static_cast<std::size_t>(width);
    const auto side = static_cast<std::size_t>(m);
    const std::size_t frame = static_cast<std::size_t>(copy.border) * side;
    const auto pictureWidth = static_cast<std::size_t>(picture.width);
    const std::size_t inner = pictureWidth * side;
    // The frame's rows above and below, then each row of the picture framed on
    // both sides, written once and repeated for the magnification.
    std::memset(pixels.get(), copy.outside, frame * rowBytes);
    std::memset(pixels.get() + bytes - frame * rowBytes, copy.outside, frame * rowBytes);
    for (std::size_t y = 0; y < static_cast<std::size_t>(picture.height); ++y) {
        std::uint8_t* row = pixels.get() + (frame + y * side) * rowBytes;
        const std::uint8_t* source = picture.pixels.get() + y * pictureWidth;
        std::memset(row, copy.outside, frame);
        std::memset(row + frame + inner, copy.outside, rowBytes - frame - inner);
        std::uint8_t* target = row + frame;
        if (side == 1) {
            std::memcpy(target, source, pictureWidth);
        } else {
            for (std::size_t x = 0; x < pictureWidth; ++x) {
                for (std::size_t k = 0; k < side; ++k) target[x * side + k] = source[x];
            }
        }
        for (std::size_t r = 1; r < side; ++r) std::memcpy(row + r * rowBytes, row, rowBytes);
    }
    out.width = static_cast<std::int32_t>(width);
    out.height = static_cast<std::int32_t>(height);
    out.scale = copy.pass == SearchPass::Second ? 2.0f : 1.0f;
    out.pixels = std::move(pixels);
    out.capacity = bytes;
    out.median = nullptr;
    return true;
}

void moveToPicture(SymbolResult& symbol, const FramedCopy& copy, int foundInPass) {
    const CopyToPicture map(copy, foundInPass);
    for (Vector2* point : {&symbol.topPeriodStart, &symbol.topPeriodEnd, &symbol.rightPeriodStart,
                           &symbol.rightPeriodEnd, &symbol.finderPoints[0], &symbol.finderPoints[1],
                           &symbol.finderPoints[2]}) {
        map.move(*point);
    }
    const Matrix3 inverse = symbol.inverseTransform;
    matrixMultiply(inverse, map.toPicture(), symbol.inverseTransform);
    const Matrix3 forward = symbol.forwardTransform;
    matrixMultiply(map.toCopy(), forward, symbol.forwardTransform);
    symbol.pass = kFurtherPass;
}

void searchFurther(DecodeContext& context, ScanLineAttempts& attempts, std::int64_t earlierWork) {
    if (context.symbolCount != 0 || context.outOfMemory || !context.image.pixels) return;
    // One allowance for all copies, from what the first two passes spent, and
    // at least the floor.
    const std::int64_t fullLimit = context.work.limit;
    const std::int64_t pixels = static_cast<std::int64_t>(context.image.width) * context.image.height;
    const std::int64_t floor =
        pixels <= kFloorPixelLimit ? std::min(kFurtherWorkFloorCeiling, kFurtherWorkPerPixel * pixels) : 0;
    const std::int64_t allowance = std::min(fullLimit, std::max(floor, earlierWork + uncountedWork(context.image)));
    context.work.limit = allowance;
    context.work.startPass();
    FramedCopy copies[kMaxFramedCopies];
    const int copyCount = framedCopies(context.image, copies, allowance);

    // The earlier passes' record stays as they left it.
    DecodeTrace* const trace = context.trace;
    context.trace = nullptr;
    const RejectedLines earlier(context);
    // First-pass candidates located but not sized are sized from their border
    // on the picture as loaded, after a sharpened copy and before the framed ones.
    bool unsizedRead = false;
    const auto readUnsized = [&] {
        if (unsizedRead) return;
        unsizedRead = true;
        const bool blackAndWhite = !context.unsized.empty() && blackAndWhiteOnly(context.image);
        for (const Candidate& located : context.unsized) {
            if (context.work.exhausted() || context.outOfMemory) return;
            if (readUnsizedCandidate(context, located, kFurtherPass, blackAndWhite)) return;
        }
    };
    SharpenedPicture sharpened;
    int next = 0;
    while (context.symbolCount == 0 && !context.outOfMemory) {
        const bool blurredNext = next < copyCount && copies[next].blurredReading > 0.0;
        if (next == copyCount || copies[next].sharpenSigma == 0.0 || blurredNext) readUnsized();
        if (next == copyCount || context.symbolCount != 0) break;
        // A blurred symbol is mostly located by the passes before, though not read: in a
        // picture larger than a small one where they located nothing, nothing is read blurred.
        if (blurredNext && context.locatedCandidates == 0 && pixels > kBlurredAlwaysPixelLimit) break;
        if (blurredNext) {
            // Reading blurred symbols has an allowance of its own beyond what the other copies spent.
            const std::int64_t blurredAllowance = std::min(kBlurredWorkPerPixel * pixels, kBlurredWorkCeiling);
            context.work.limit = std::max(context.work.limit, context.work.spent + blurredAllowance);
        }
        // A sharpened copy is searched alone, the framed ones line by line in turn.
        const int first = next;
        next = first + 1;
        while (copies[first].sharpenSigma == 0.0 && next < copyCount && copies[next].sharpenSigma == 0.0) ++next;
        if (context.work.exhausted()) continue;  // the blurred reading may still have an allowance
        ImageBuffer images[kMaxFramedCopies];
        FramedCopy plans[kMaxFramedCopies];
        int made = 0;
        for (int i = first; i < next; ++i) {
            // A copy is made only when the allowance has room for making it.
            if (context.work.spent + copyWork(context.image, copies[i], sharpened) >= context.work.limit) continue;
            if (makeCopy(context, copies[i], sharpened, images[made])) plans[made++] = copies[i];
        }
        if (made == 0) continue;
        RejectedLines{}.restore(context);
        context.blurredReading = plans[0].blurredReading;
        // The picture as loaded sits in images[0] while the copy is searched.
        context.blurredPicture = plans[0].blurredReading > 0.0 ? &images[0] : nullptr;
        context.blurredReads.clear();
        scanCopies(context, attempts, images, plans, made);
        context.blurredReading = 0.0;
        context.blurredPicture = nullptr;
        context.blurredReads.clear();
    }
    earlier.restore(context);
    context.work.limit = fullLimit;
    context.image.scale = 1.0f;
    context.trace = trace;
}

}  // namespace ternwick
