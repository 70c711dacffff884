// The public readSymbols on small pictures of every pixel format and stride.
#include <algorithm>
#include <cmath>
#include <vector>

#include "fuzz_targets.h"
#include "ternwick/ternwick.h"

namespace ternwick::fuzz {
namespace {

// The same allowance as the decode target: every run stays short.
constexpr std::int64_t kFuzzWorkBudget = 100000;

constexpr PixelFormat kFormats[] = {PixelFormat::Grey, PixelFormat::RGB, PixelFormat::BGR, PixelFormat::RGBA,
                                    PixelFormat::BGRA};

bool sameSymbols(const ReadResult& a, const ReadResult& b) {
    if (a.symbols.size() != b.symbols.size() || a.error.code != b.error.code) return false;
    for (std::size_t i = 0; i < a.symbols.size(); ++i) {
        const Symbol& s = a.symbols[i];
        const Symbol& t = b.symbols[i];
        if (s.bytes != t.bytes || s.rows != t.rows || s.pass != t.pass || s.correctedErrors != t.correctedErrors) {
            return false;
        }
        for (std::size_t c = 0; c < 4; ++c) {
            if (s.corners[c].x != t.corners[c].x || s.corners[c].y != t.corners[c].y) return false;
        }
    }
    return true;
}

void checkResult(const ReadResult& result, int maxSymbols) {
    fuzzCheck(!result.error || result.symbols.empty(), "a refused picture has no symbols");
    fuzzCheck(static_cast<int>(result.symbols.size()) <= maxSymbols, "no more symbols than asked for");
    for (const Symbol& symbol : result.symbols) {
        fuzzCheck(symbol.rows >= 10 && symbol.rows <= 144 && symbol.columns == symbol.rows,
                  "a symbol has a size of the table");
        fuzzCheck(symbol.pass >= 1, "a symbol names the pass that found it");
        for (const Point& corner : symbol.corners) {
            fuzzCheck(std::isfinite(corner.x) && std::isfinite(corner.y), "a corner is a finite point");
        }
    }
}

}  // namespace

int fuzzReadSymbols(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const PixelFormat format = kFormats[data[0] % std::size(kFormats)];
    const int width = data[1] % (kMaxPictureSide + 1);
    const int height = data[2] % (kMaxPictureSide + 1);
    const int pixelBytes = bytesPerPixel(format);
    // Bits 0-3: padding at the end of each row; bit 4: a stride one byte
    // short of a row; bit 5: every channel of a pixel the same grey (then
    // the result must equal the grey picture's); bit 6: up to three symbols.
    const int flags = data[3];
    const bool shortStride = (flags & 0x10) != 0;
    const bool replicated = (flags & 0x20) != 0;
    const int maxSymbols = (flags & 0x40) != 0 ? 3 : 1;
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(width) * pixelBytes + (flags & 0x0F) - (shortStride ? 1 : 0);
    data += 4;
    size -= 4;

    ReaderOptions options;
    options.workBudget = kFuzzWorkBudget;
    options.maxSymbols = maxSymbols;
    if (width == 0 || height == 0 || stride < static_cast<std::ptrdiff_t>(width) * pixelBytes) {
        const std::uint8_t byte = 0;
        const ReadResult refused = readSymbols({&byte, width, height, stride, format}, options);
        fuzzCheck(refused.error.code == ErrorCode::InvalidArgument, "an impossible picture is refused");
        fuzzCheck(refused.symbols.empty(), "a refused picture has no symbols");
        return 0;
    }

    // The last row ends at its last pixel, without padding, so that a read of
    // the padding after it is caught.
    const std::size_t bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height - 1) +
                              static_cast<std::size_t>(width) * static_cast<std::size_t>(pixelBytes);
    std::vector<std::uint8_t> picture(bytes, 0xFF);
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xFF);
    if (replicated) {
        for (std::size_t i = 0; i < grey.size() && i < size; ++i) grey[i] = data[i];
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = picture.data() + y * stride + x * pixelBytes;
                std::fill(p, p + pixelBytes, grey[static_cast<std::size_t>(y) * width + x]);
            }
        }
    } else {
        std::copy(data, data + std::min(size, bytes), picture.begin());
    }
    const ReadResult result = readSymbols({picture.data(), width, height, stride, format}, options);
    fuzzCheck(!result.error, "a valid picture is read to the end");
    checkResult(result, maxSymbols);
    if (replicated && format != PixelFormat::Grey) {
        const ReadResult plain = readSymbols({grey.data(), width, height, width, PixelFormat::Grey}, options);
        fuzzCheck(sameSymbols(result, plain), "a colour picture of grey pixels reads as the grey picture");
    }
    return 0;
}

}  // namespace ternwick::fuzz
