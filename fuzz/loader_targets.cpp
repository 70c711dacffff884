// The picture loaders on arbitrary files.
#include <zlib.h>

#include <vector>

#include "core/diagnostics.h"
#include "fuzz_targets.h"
#include "image/bmp_reader.h"
#include "image/jpeg_loader.h"
#include "image/png_loader.h"

namespace ternwick::fuzz {
namespace {

// What every load must leave behind: nothing on failure; on success a picture
// within the size limit, one grey byte a pixel. Reading every byte lets the
// address checker see a buffer that is too short.
void checkLoad(int result, const ImageBuffer& image) {
    fuzzCheck(result == 0 || result == 1, "a loader returns 0 or 1");
    if (result == 0) {
        fuzzCheck(image.pixels == nullptr, "a failed load holds no pixels");
        return;
    }
    fuzzCheck(image.pixels != nullptr && image.width > 0 && image.height > 0, "a loaded picture has pixels");
    const auto pixels = static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height);
    fuzzCheck(pixels <= kMaxImagePixels, "a loaded picture is within the size limit");
    fuzzCheck(image.scale == 1.0f, "a loaded picture has scale 1");
    volatile std::uint8_t read = 0;
    for (std::uint64_t i = 0; i < pixels; ++i) read = image.pixels[i];
    (void)read;
}

// Rewrites the checksum of every whole chunk after the signature, so that a
// changed byte inside a chunk is read instead of refused.
void fixChunkChecksums(std::vector<std::uint8_t>& png) {
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = (static_cast<std::uint32_t>(png[at]) << 24) | (png[at + 1] << 16) |
                                     (png[at + 2] << 8) | png[at + 3];
        if (length > png.size() - at - 12) break;
        const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, png.data() + at + 4, length + 4));
        std::uint8_t* out = png.data() + at + 8 + length;
        out[0] = static_cast<std::uint8_t>(crc >> 24);
        out[1] = static_cast<std::uint8_t>(crc >> 16);
        out[2] = static_cast<std::uint8_t>(crc >> 8);
        out[3] = static_cast<std::uint8_t>(crc);
        at += 12 + length;
    }
}

}  // namespace

int fuzzBmpLoader(const std::uint8_t* data, std::size_t size) {
    ImageBuffer image;
    checkLoad(loadBmpMemory(image, data, size), image);
    MemoryByteSource source(data, size);
    ImageBuffer extended;
    checkLoad(loadBmpSource(extended, source, nullptr, BmpVariants::Extended), extended);
    return 0;
}

int fuzzJpegLoader(const std::uint8_t* data, std::size_t size) {
    ImageBuffer image;
    Failure error;
    const int result = loadJpegMemory(image, data, size, &error);
    checkLoad(result, image);
    fuzzCheck(result == 1 || (error.failed() && !error.reason.empty()), "a failed load says why");
    return 0;
}

int fuzzPngLoader(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> png(data, data + size);
    fixChunkChecksums(png);
    CapturingDiagnosticSink sink;  // libpng's complaints about broken files
    ScopedDiagnosticSink scoped(sink);
    ImageBuffer image;
    checkLoad(loadPngMemory(image, png.data(), png.size()), image);
    return 0;
}

}  // namespace ternwick::fuzz
