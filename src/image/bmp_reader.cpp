#include "image/bmp_reader.h"

#include <cstdio>
#include <cstddef>
#include <limits>
#include <new>

#include "image/grey_level.h"

namespace ternwick {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

std::uint16_t readU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t readU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t readI32(const std::uint8_t* p) { return static_cast<std::int32_t>(readU32(p)); }

// The fields of the information header this reader uses, checked for sense.
struct BmpLayout {
    std::uint32_t infoSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;       // signed: negative for top-down files
    std::uint32_t rows = 0;        // |height|
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::uint64_t stride = 0;      // bytes a stored row, padded to 4
    std::size_t paletteEntries = 0;
};

// Records the error, when the caller asked for it, and gives the empty result.
std::nullptr_t fail(Failure* error, FailureKind code, const char* reason = "") {
    if (error != nullptr) *error = failure(code, reason);
    return nullptr;
}

bool supportedDepth(std::uint16_t bits, BmpVariants variants) {
    if (bits == 32) return variants == BmpVariants::Extended;
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24;
}

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitFields = 3;

// One colour channel of a bit-field pixel: where it sits and how wide it is.
struct Channel {
    unsigned shift = 0;
    unsigned bits = 0;

    // The channel's value scaled to 0..255, rounded.
    unsigned level(std::uint32_t pixel) const {
        const std::uint32_t top = (std::uint32_t{1} << bits) - 1;
        const std::uint32_t value = (pixel >> shift) & top;
        return (value * 255u + top / 2) / top;
    }
};

// A mask of 1 to 8 contiguous bits within the pixel; false for anything else.
bool channelOf(std::uint32_t mask, unsigned pixelBits, Channel& channel) {
    if (mask == 0 || (pixelBits < 32 && (mask >> pixelBits) != 0)) return false;
    while ((mask & 1u) == 0) {
        mask >>= 1;
        ++channel.shift;
    }
    while ((mask & 1u) != 0) {
        mask >>= 1;
        ++channel.bits;
    }
    return mask == 0 && channel.bits <= 8;
}

// The red, green and blue channels of a pixel of 16 or 32 bits: from the
// masks of a bit-field file (after the 40-byte header in every header
// version), else the fixed layout of an uncompressed 32-bit file.
bool channelsOf(const BmpHeaderBlock& header, const BmpLayout& layout, Channel (&channels)[3], Failure* error) {
    std::uint32_t masks[3] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
    if (layout.compression == kBitFields) {
        if (header.size < kInfoHeaderSize + 12) return fail(error, FailureKind::Corrupt, "corrupt BMP header"), false;
        for (int c = 0; c < 3; ++c) masks[c] = readU32(header.bytes.get() + kInfoHeaderSize + 4 * c);
    }
    for (int c = 0; c < 3; ++c) {
        if (!channelOf(masks[c], layout.bitCount, channels[c])) {
            return fail(error, FailureKind::UnsupportedFormat, "unsupported BMP bit-field masks"), false;
        }
    }
    return true;
}

// False for any header that would make the reader look outside what it read,
// allocate what the file cannot back, or produce a meaningless picture.
bool parseLayout(const BmpHeaderBlock& header, BmpLayout& layout, Failure* error = nullptr) {
    if (header.size < kInfoHeaderSize) return fail(error, FailureKind::Corrupt, "corrupt BMP header"), false;
    const std::uint8_t* h = header.bytes.get();
    layout.infoSize = readU32(h);
    layout.width = readI32(h + 4);
    layout.height = readI32(h + 8);
    layout.bitCount = readU16(h + 14);
    layout.compression = readU32(h + 16);
    layout.sizeImage = readU32(h + 20);
    if (layout.infoSize < kInfoHeaderSize || layout.infoSize > header.size || layout.width <= 0 ||
        layout.height == 0 || layout.height == std::numeric_limits<std::int32_t>::min()) {
        return fail(error, FailureKind::Corrupt, "corrupt BMP header"), false;
    }
    layout.rows = static_cast<std::uint32_t>(layout.height < 0 ? -layout.height : layout.height);
    if (static_cast<std::uint64_t>(layout.width) * layout.rows > kMaxImagePixels) {
        return fail(error, FailureKind::TooLarge), false;
    }
    layout.stride = ((static_cast<std::uint64_t>(layout.bitCount) * static_cast<std::uint32_t>(layout.width) + 7) / 8 + 3) /
                    4 * 4;
    // The palette follows the information header, whatever its size, and holds
    // as many whole entries as fit before the pixel array.
    layout.paletteEntries = (header.size - layout.infoSize) / 4;
    return true;
}

}  // namespace

std::unique_ptr<std::uint8_t[]> convertBmpPixels(const BmpHeaderBlock& header, const std::uint8_t* pixelArray,
                                                 std::size_t pixelArraySize, Failure* error, BmpVariants variants) {
    BmpLayout layout;
    if (!parseLayout(header, layout, error)) return nullptr;
    if (layout.compression == 1 || layout.compression == 2) {
        return fail(error, FailureKind::UnsupportedFormat, "run-length compressed BMP pictures are not supported");
    }
    const bool bitFields = variants == BmpVariants::Extended && layout.compression == kBitFields &&
                           (layout.bitCount == 16 || layout.bitCount == 32);
    if (layout.compression != kRgb && !bitFields) {
        return fail(error, FailureKind::UnsupportedFormat, "compressed or bit-field BMP pictures are not supported");
    }
    if (!supportedDepth(layout.bitCount, variants)) {
        return fail(error, FailureKind::UnsupportedFormat, "unsupported BMP depth");
    }
    Channel channels[3];
    const bool channelled = bitFields || layout.bitCount == 32;
    if (channelled && !channelsOf(header, layout, channels, error)) return nullptr;
    if (static_cast<std::uint64_t>(layout.rows) * layout.stride > pixelArraySize) {
        return fail(error, FailureKind::Truncated, "truncated BMP data");
    }

    const auto width = static_cast<std::size_t>(layout.width);
    const std::size_t rows = layout.rows;
    std::unique_ptr<std::uint8_t[]> out(new (std::nothrow) std::uint8_t[width * rows]);
    if (!out) return fail(error, FailureKind::OutOfMemory);

    // Grey value of each palette entry the file holds.
    std::uint8_t paletteGrey[256] = {};
    const std::size_t paletteUsable = layout.paletteEntries < 256 ? layout.paletteEntries : 256;
    const std::uint8_t* palette = header.bytes.get() + layout.infoSize;
    for (std::size_t e = 0; e < paletteUsable; ++e) {
        paletteGrey[e] = greyTruncated(palette[e * 4 + 2], palette[e * 4 + 1], palette[e * 4]);
    }

    for (std::size_t i = 0; i < rows; ++i) {
        const std::size_t stored = layout.height > 0 ? i : rows - 1 - i;
        const std::uint8_t* row = pixelArray + stored * layout.stride;
        std::uint8_t* target = out.get() + i * width;
        for (std::size_t j = 0; j < width; ++j) {
            std::uint8_t grey = 0;
            std::size_t index = 0;
            if (channelled) {
                const std::uint32_t pixel = layout.bitCount == 32 ? readU32(row + 4 * j) : readU16(row + 2 * j);
                grey = greyTruncated(channels[0].level(pixel), channels[1].level(pixel), channels[2].level(pixel));
            } else switch (layout.bitCount) {
                case 1: index = (row[j / 8] >> (7 - j % 8)) & 1u; break;
                case 4: index = j % 2 == 0 ? row[j / 2] >> 4 : row[j / 2] & 0x0F; break;
                case 8: index = row[j]; break;
                case 16: {
                    const unsigned low = row[2 * j];
                    const unsigned high = row[2 * j + 1];
                    // The 5-bit channels are used as they stand, not widened to 0..255.
                    grey = greyTruncated(high / 4, 8 * (high % 4) + low / 32, low % 32);
                    break;
                }
                default: grey = greyTruncated(row[3 * j + 2], row[3 * j + 1], row[3 * j]); break;
            }
            if (layout.bitCount <= 8) {
                if (index >= paletteUsable) return fail(error, FailureKind::Corrupt, "BMP palette index beyond the palette");
                grey = paletteGrey[index];
            }
            target[j] = grey;
        }
    }
    return out;
}

std::unique_ptr<std::uint8_t[]> readBmpSource(ByteSource& source, BmpHeaderBlock& header, Failure* error,
                                              BmpVariants variants) {
    std::uint8_t fileHeader[kFileHeaderSize];
    if (!source.read(fileHeader, sizeof fileHeader)) return fail(error, FailureKind::Truncated, "truncated BMP data");
    if (readU16(fileHeader) != 0x4D42) return fail(error, FailureKind::UnsupportedFormat);
    const std::uint32_t offBits = readU32(fileHeader + 10);
    if (offBits < kFileHeaderSize + kInfoHeaderSize) return fail(error, FailureKind::Corrupt, "corrupt BMP header");
    const std::size_t blockSize = offBits - kFileHeaderSize;
    if (blockSize > source.remaining()) return fail(error, FailureKind::Truncated, "truncated BMP data");

    header.bytes.reset(new (std::nothrow) std::uint8_t[blockSize]);
    header.size = header.bytes ? blockSize : 0;
    if (!header.bytes) return fail(error, FailureKind::OutOfMemory);
    if (!source.read(header.bytes.get(), blockSize)) {
        header = BmpHeaderBlock{};
        return fail(error, FailureKind::ReadFailed);
    }

    BmpLayout layout;
    if (!parseLayout(header, layout, error)) return nullptr;
    const std::uint64_t needed = static_cast<std::uint64_t>(layout.rows) * layout.stride;
    std::uint64_t arraySize = layout.sizeImage != 0 ? layout.sizeImage : needed;
    if (arraySize < needed) return fail(error, FailureKind::Corrupt, "corrupt BMP header");
    // Nothing is allocated that the file cannot fill.
    if (arraySize > source.remaining()) return fail(error, FailureKind::Truncated, "truncated BMP data");

    std::unique_ptr<std::uint8_t[]> pixelArray(new (std::nothrow) std::uint8_t[arraySize]);
    if (!pixelArray) return fail(error, FailureKind::OutOfMemory);
    if (!source.read(pixelArray.get(), arraySize)) return fail(error, FailureKind::ReadFailed);
    return convertBmpPixels(header, pixelArray.get(), arraySize, error, variants);
}

std::unique_ptr<std::uint8_t[]> readBmpFile(const std::string& path, BmpHeaderBlock& header, Failure* error) {
    Failure opened;
    std::FILE* file = openPictureFile(path, opened);
    if (file == nullptr) {
        if (error != nullptr) *error = opened;
        return nullptr;
    }
    FileByteSource source(file);
    auto pixels = readBmpSource(source, header, error);
    std::fclose(file);
    return pixels;
}

namespace {

int finishLoad(ImageBuffer& image, std::unique_ptr<std::uint8_t[]> pixels, BmpHeaderBlock& header) {
    BmpLayout layout;
    if (!pixels || !parseLayout(header, layout)) {
        releaseImage(&image);
        return 0;
    }
    image.pixels = std::move(pixels);
    image.capacity = static_cast<std::size_t>(layout.width) * layout.rows;
    image.median = nullptr;
    image.width = layout.width;
    image.height = static_cast<std::int32_t>(layout.rows);
    image.scale = 1.0f;
    return 1;
}

}  // namespace

int loadBmpImage(ImageBuffer& image, const std::string& path, Failure* error) {
    BmpHeaderBlock header;
    auto pixels = readBmpFile(path, header, error);
    return finishLoad(image, std::move(pixels), header);
}

int loadBmpSource(ImageBuffer& image, ByteSource& source, Failure* error, BmpVariants variants) {
    BmpHeaderBlock header;
    auto pixels = readBmpSource(source, header, error, variants);
    return finishLoad(image, std::move(pixels), header);
}

int loadBmpMemory(ImageBuffer& image, const std::uint8_t* data, std::size_t size, Failure* error) {
    MemoryByteSource source(data, size);
    return loadBmpSource(image, source, error);
}

}  // namespace ternwick
