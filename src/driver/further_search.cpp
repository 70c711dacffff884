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

// Pictures up to this many pixels are searched magnified, two pixels a side
// for each pixel, so that modules of one or two pixels become two or four;
// the smallest ones, which may hold a symbol of one pixel a module, three.
constexpr std::uint64_t kMagnifiedPixelLimit = 512 * 512;
constexpr std::uint64_t kThreefoldPixelLimit = 160 * 160;

// The further passes may spend as much work as the second pass spent, and at
// least this much for each pixel of a framed copy (up to a ceiling): enough
// for a symbol that fills the picture.
constexpr std::int64_t kFurtherWorkPerPixel = 8;
constexpr std::int64_t kFurtherWorkFloorCeiling = 4000000;

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
// enough for most symbols, little enough that a blurred picture without one
// takes at most about twice as long as before the further passes.
constexpr std::int64_t kBlurredWorkPerPixel = 12;
constexpr std::int64_t kBlurredWorkCeiling = 4000000;

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

// The scan lines of the copy, columns then rows, until a symbol is found or
// the shared allowance is spent.
void scanCopy(DecodeContext& context, ScanLineAttempts& attempts, SearchPass pass) {
    const auto attempt = [&](int direction, std::uint32_t index) {
        return attempts.furtherPass(context, static_cast<int>(pass), direction, static_cast<int>(index));
    };
    const auto width = static_cast<std::uint32_t>(context.image.width);
    const auto height = static_cast<std::uint32_t>(context.image.height);
    const std::uint32_t columnStep = scanStep(context.image.width);
    const std::uint32_t rowStep = scanStep(context.image.height);
    // Reading a line's pixels is charged too, at the chain's sampling scale.
    const auto scale = static_cast<std::int64_t>(context.image.scale);
    for (std::uint32_t x = columnStep; x < width && !context.work.exhausted(); x += columnStep) {
        context.work.charge(scale * height);
        if (attempt(ScanDirectionUp, x) > 0) return;
    }
    for (std::uint32_t y = rowStep; y < height && !context.work.exhausted(); y += rowStep) {
        context.work.charge(scale * width);
        if (attempt(ScanDirectionRight, y) > 0) return;
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

int framedCopies(const ImageBuffer& picture, FramedCopy (&copies)[kMaxFramedCopies]) {
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(picture.width) * static_cast<std::uint64_t>(picture.height);
    const int magnification = pixels <= kThreefoldPixelLimit ? 3 : pixels <= kMagnifiedPixelLimit ? 2 : 1;
    const int border = std::max(8, std::min(picture.width, picture.height) / 10);
    const std::uint8_t light = greyAtShare(picture, 0.95);
    const std::uint8_t dark = greyAtShare(picture, 0.05);
    // The border that stands against the colour the picture's edges mostly have comes first.
    const bool lightFirst = edgesMostlyDark(picture, static_cast<std::uint8_t>((light + dark + 1) / 2));
    const std::uint8_t first = lightFirst ? light : dark;
    const std::uint8_t second = lightFirst ? dark : light;
    int count = 0;
    const double blur = pixels <= kSharpenedPixelLimit ? estimateBlurSigma(picture) : 0.0;
    if (blur >= kLeastSharpenedBlur) {
        copies[count++] = FramedCopy{border, first, 1, SearchPass::First, std::min(blur, kMostSharpenedBlur)};
    }
    copies[count++] = FramedCopy{border, first, magnification, SearchPass::First};
    copies[count++] = FramedCopy{border, second, magnification, SearchPass::First};
    if (blur >= kLeastDeblurredBlur) {
        copies[count++] = FramedCopy{0, first, 1, SearchPass::First, std::min(blur, kMostSharpenedBlur), blur};
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
    std::memset(pixels.get(), copy.outside, bytes);
    const auto rowBytes = static_cast<std::size_t>(width);
    for (std::int32_t y = 0; y < picture.height; ++y) {
        // One row of the copy, then its repeats.
        const std::int64_t firstRow = (y + copy.border) * m;
        std::uint8_t* row = pixels.get() + static_cast<std::size_t>(firstRow) * rowBytes;
        for (std::int32_t x = 0; x < picture.width; ++x) {
            const std::uint8_t grey = greyAt(picture, x, y);
            std::uint8_t* target = row + static_cast<std::size_t>((x + copy.border) * m);
            std::memset(target, grey, static_cast<std::size_t>(m));
        }
        for (std::int64_t r = 1; r < m; ++r) std::memcpy(row + r * rowBytes, row, rowBytes);
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

void searchFurther(DecodeContext& context, ScanLineAttempts& attempts) {
    if (context.symbolCount != 0 || context.outOfMemory || !context.image.pixels) return;
    FramedCopy copies[kMaxFramedCopies];
    const int copyCount = framedCopies(context.image, copies);

    // The earlier passes' record stays as they left it.
    DecodeTrace* const trace = context.trace;
    context.trace = nullptr;
    const RejectedLines earlier(context);

    // One allowance for all copies, as large as the second pass's spending.
    const std::int64_t fullLimit = context.work.limit;
    std::int64_t copyPixels = 0;
    for (int i = 0; i < copyCount; ++i) {
        const std::int64_t border = copies[i].border;
        copyPixels = std::max(copyPixels, (context.image.width + 2 * border) * (context.image.height + 2 * border) *
                                              copies[i].magnification * copies[i].magnification);
    }
    const std::int64_t floor = std::min({kFurtherWorkPerPixel * copyPixels, kFurtherWorkFloorCeiling, fullLimit});
    context.work.limit = std::clamp(context.work.spent, floor, fullLimit);
    context.work.startPass();
    ImageBuffer sharpened;
    double sharpenedSigma = 0.0;
    for (int i = 0; i < copyCount && context.symbolCount == 0; ++i) {
        if (copies[i].blurredReading > 0.0) {
            // Reading blurred symbols has an allowance of its own beyond what the other copies spent.
            const std::int64_t pixels = static_cast<std::int64_t>(context.image.width) * context.image.height;
            const std::int64_t allowance = std::min(kBlurredWorkPerPixel * pixels, kBlurredWorkCeiling);
            context.work.limit = std::max(context.work.limit, context.work.spent + allowance);
        }
        if (context.work.exhausted()) continue;
        ImageBuffer copy;
        if (copies[i].sharpenSigma > 0.0) {
            // The sharpened picture is made once for the copies that search it.
            if (!sharpened.pixels || sharpenedSigma != copies[i].sharpenSigma) {
                if (!unsharpMask(context.image, copies[i].sharpenSigma, kSharpeningAmount, sharpened)) continue;
                sharpenedSigma = copies[i].sharpenSigma;
                const int taps = 2 * static_cast<int>(std::ceil(3.0 * copies[i].sharpenSigma)) + 1;
                context.work.charge(static_cast<std::int64_t>(sharpened.width) * sharpened.height * taps / 8);
            }
            if (!makeFramedCopy(sharpened, copies[i], copy)) continue;
        } else if (!makeFramedCopy(context.image, copies[i], copy)) {
            continue;
        }
        context.work.charge(copy.width / 4 * static_cast<std::int64_t>(copy.height));
        std::swap(context.image, copy);
        RejectedLines{}.restore(context);
        context.blurredReading = copies[i].blurredReading;
        context.blurredPicture = &copy;  // the picture as loaded, while the copy is searched
        context.blurredReads.clear();
        scanCopy(context, attempts, copies[i].pass);
        context.blurredReading = 0.0;
        context.blurredPicture = nullptr;
        context.blurredReads.clear();
        std::swap(context.image, copy);
        for (std::int32_t s = 0; s < context.symbolCount; ++s) {
            moveToPicture(context.symbols[s], copies[i], static_cast<int>(copies[i].pass));
        }
    }
    earlier.restore(context);
    context.work.limit = fullLimit;
    context.image.scale = 1.0f;
    context.trace = trace;
}

}  // namespace ternwick
