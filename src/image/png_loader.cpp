#include "image/png_loader.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "core/diagnostics.h"
#include "image/byte_source.h"
#include "image/grey_level.h"

namespace ternwick {

static void convertRgbToGrey(ImageBuffer& image);

namespace {

void readFromSource(png_structp png, png_bytep out, png_size_t count) {
    auto* source = static_cast<ByteSource*>(png_get_io_ptr(png));
    if (!source->read(out, count)) png_error(png, "Read Error");
}

// What went wrong inside libpng, kept in a fixed buffer: the error path runs
// between libpng's C frames and its long jump, where nothing may allocate or
// throw.
struct PngFailure {
    char message[160] = {};
};

// libpng's messages, worded as its own default handlers word them, go to the
// diagnostics sink; the message is also kept to become the load error.
void reportError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    if (failure != nullptr) std::snprintf(failure->message, sizeof failure->message, "%s", message);
    try {
        diagnostics().errorText(std::string("libpng error: ") + message + "\n");
    } catch (...) {
        // Out of memory for the text: the message is still kept above.
    }
    png_longjmp(png, 1);
}

void reportWarning(png_structp, png_const_charp message) {
    try {
        diagnostics().errorText(std::string("libpng warning: ") + message + "\n");
    } catch (...) {
    }
}

// Everything the reading function owns, kept outside its frame so that it is
// intact after libpng's error jump.
struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop endInfo = nullptr;
    png_bytepp rows = nullptr;
    png_uint_32 rowCount = 0;
    PngFailure failure;
    Failure error;  // set on the paths that fail without a long jump
};

void releaseRead(PngRead& read) {
    if (read.rows != nullptr) {
        for (png_uint_32 i = 0; i < read.rowCount; ++i) png_free(read.png, read.rows[i]);
        png_free(read.png, read.rows);
        read.rows = nullptr;
    }
    png_destroy_read_struct(&read.png, &read.info, &read.endInfo);
}

// Whether the rest of the file can hold the compressed picture at all: deflate
// packs at most 1032 bytes into one (a 258-byte match costs at least two
// bits), and the picture's rows take at least height * floor(width * bits
// per pixel / 8) bytes before compression, interlaced or not. A header that
// promises more than that is refused before its rows are allocated.
bool compressedDataCanFit(std::uint32_t width, std::uint32_t height, int bitsPerPixel, std::uint64_t available) {
    constexpr std::uint64_t kDeflateBestRatio = 1032;
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPerPixel) / 8;
    const std::uint64_t raw = rowBytes * height;
    return available >= raw / kDeflateBestRatio;
}

// Reads the picture after the signature (already checked). Kept free of
// objects with destructors, since libpng reports errors by a long jump here.
int readPng(PngRead& read, ImageBuffer& image, ByteSource& source) {
    read.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read.failure, reportError, reportWarning);
    if (read.png == nullptr) return 0;
    read.info = png_create_info_struct(read.png);
    if (read.info == nullptr) {
        png_destroy_read_struct(&read.png, nullptr, nullptr);
        return 0;
    }
    read.endInfo = png_create_info_struct(read.png);
    if (read.endInfo == nullptr) {
        png_destroy_read_struct(&read.png, &read.info, nullptr);
        return 0;
    }
    if (setjmp(png_jmpbuf(read.png))) {
        releaseRead(read);
        return 0;
    }
    png_set_read_fn(read.png, &source, readFromSource);
    png_set_sig_bytes(read.png, 8);
    // The grey picture needs nothing from the ancillary chunks (tRNS, which
    // libpng goes on handling, matters only to transformations not asked for
    // here). Skipping them unread keeps a chunk's declared length, which may
    // be anything up to 2 GiB, from deciding what is allocated.
    png_set_keep_unknown_chunks(read.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(read.png, read.info);

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int interlace = 0;
    int compression = 0;
    int filter = 0;
    png_get_IHDR(read.png, read.info, &width, &height, &bitDepth, &colourType, &interlace, &compression, &filter);
    if (width == 0 || height == 0 || static_cast<std::uint64_t>(width) * height > kMaxImagePixels) {
        read.error = failure(FailureKind::TooLarge);
        releaseRead(read);
        return 0;
    }
    if (!compressedDataCanFit(width, height, bitDepth * png_get_channels(read.png, read.info), source.remaining())) {
        read.error = failure(FailureKind::Truncated, "truncated PNG data");
        releaseRead(read);
        return 0;
    }

    png_set_strip_16(read.png);
    png_set_strip_alpha(read.png);
    png_set_packswap(read.png);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(read.png);
    // Grey samples of 1, 2 or 4 bits are widened to 8 before becoming RGB.
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0 && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(read.png);
    png_set_gray_to_rgb(read.png);
    png_set_interlace_handling(read.png);
    png_read_update_info(read.png, read.info);
    png_get_IHDR(read.png, read.info, &width, &height, &bitDepth, &colourType, &interlace, &compression, &filter);

    const png_size_t rowBytes = png_get_rowbytes(read.png, read.info);
    // Each output row copies 3 * width bytes from a library row.
    if (bitDepth != 8 || rowBytes < static_cast<png_size_t>(width) * 3) {
        read.error = failure(FailureKind::UnsupportedFormat, "unsupported PNG layout");
        releaseRead(read);
        return 0;
    }

    read.rows = static_cast<png_bytepp>(png_malloc_warn(read.png, sizeof(png_bytep) * height));
    if (read.rows == nullptr) {
        diagnostics().systemError("Error while during malloc for rowPointers");
        read.error = failure(FailureKind::OutOfMemory);
        releaseRead(read);
        return 0;
    }
    std::memset(read.rows, 0, sizeof(png_bytep) * height);
    read.rowCount = height;
    for (png_uint_32 i = 0; i < height; ++i) {
        read.rows[i] = static_cast<png_bytep>(png_malloc(read.png, rowBytes));
    }
    png_read_image(read.png, read.rows);
    png_read_end(read.png, read.info);

    const std::size_t rowSize = static_cast<std::size_t>(width) * 3;
    auto* pixels = new (std::nothrow) std::uint8_t[rowSize * height];
    if (pixels == nullptr) {
        read.error = failure(FailureKind::OutOfMemory);
        releaseRead(read);
        return 0;
    }
    for (png_uint_32 i = 0; i < height; ++i) std::memcpy(pixels + i * rowSize, read.rows[height - 1 - i], rowSize);
    releaseRead(read);

    image.pixels.reset(pixels);
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    image.scale = 1.0f;
    convertRgbToGrey(image);
    return 1;
}

bool hasPngSignature(const std::uint8_t* bytes) { return png_sig_cmp(bytes, 0, 8) == 0; }

}  // namespace

// Replaces every RGB pixel by its grey value (rounded weighted mean) in all three bytes.
static void convertRgbToGrey(ImageBuffer& image) {
    if (!image.pixels) return;
    const std::size_t count = static_cast<std::size_t>(static_cast<std::uint32_t>(image.width)) *
                              static_cast<std::uint32_t>(image.height);
    std::uint8_t* p = image.pixels.get();
    for (std::size_t i = 0; i < count; ++i, p += 3) {
        p[1] = greyRounded(p[0], p[1], p[2]);
        p[2] = p[1];
        p[0] = p[2];
    }
}

namespace {

// The load error of a failed read: the reason set on the way, or else what
// libpng reported.
Failure failureOf(const PngRead& read) {
    if (read.error.failed()) return read.error;
    const std::string message = read.failure.message;
    if (message.empty()) return failure(FailureKind::OutOfMemory);
    if (message == "Read Error") return failure(FailureKind::Truncated, "truncated PNG data");
    return failure(FailureKind::Corrupt, "corrupt PNG data: " + message);
}

}  // namespace

int loadPngSource(ImageBuffer& image, ByteSource& source, Failure* error) {
    std::uint8_t signature[8];
    if (!source.read(signature, sizeof signature) || !hasPngSignature(signature)) {
        if (error != nullptr) *error = failure(FailureKind::UnsupportedFormat);
        return 0;
    }
    PngRead read;
    const int result = readPng(read, image, source);
    if (result != 1 && error != nullptr) *error = failureOf(read);
    return result;
}

int loadPngImage(ImageBuffer& image, const std::string& path, Failure* error) {
    Failure opened;
    std::FILE* file = openPictureFile(path, opened);
    if (file == nullptr) {
        if (error != nullptr) *error = opened;
        return 0;
    }
    FileByteSource source(file);
    const int result = loadPngSource(image, source, error);
    std::fclose(file);
    return result;
}

int loadPngMemory(ImageBuffer& image, const std::uint8_t* data, std::size_t size, Failure* error) {
    if (data == nullptr) {
        if (error != nullptr) *error = failure(FailureKind::InvalidArgument);
        return 0;
    }
    MemoryByteSource source(data, size);
    return loadPngSource(image, source, error);
}

}  // namespace ternwick
