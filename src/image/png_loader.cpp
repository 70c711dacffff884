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
    png_bytepp rows = nullptr;  // into the picture or into rgb
    png_bytep rgb = nullptr;    // colour rows before their grey values
    PngFailure failure;
    Failure error;  // set on the paths that fail without a long jump
};

void releaseRead(PngRead& read) {
    png_free(read.png, read.rows);
    read.rows = nullptr;
    png_free(read.png, read.rgb);
    read.rgb = nullptr;
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

// Grey values of a row of RGB pixels (rounded weighted mean).
void greyRow(const std::uint8_t* rgb, std::uint8_t* grey, png_uint_32 width) {
    for (png_uint_32 x = 0; x < width; ++x, rgb += 3) grey[x] = greyRounded(rgb[0], rgb[1], rgb[2]);
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
        releaseImage(&image);
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
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(read.png);
    // Grey samples of 1, 2 or 4 bits are widened to 8 and go straight into the
    // picture: a grey sample g has the grey value g. Colour rows become RGB
    // and are turned into grey values row by row.
    const bool colour = (colourType & PNG_COLOR_MASK_COLOR) != 0;
    if (!colour && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(read.png);
    const int passes = png_set_interlace_handling(read.png);
    png_read_update_info(read.png, read.info);
    png_get_IHDR(read.png, read.info, &width, &height, &bitDepth, &colourType, &interlace, &compression, &filter);

    const png_size_t rowBytes = png_get_rowbytes(read.png, read.info);
    const png_size_t pixelBytes = colour ? 3 : 1;
    if (bitDepth != 8 || rowBytes < static_cast<png_size_t>(width) * pixelBytes) {
        read.error = failure(FailureKind::UnsupportedFormat, "unsupported PNG layout");
        releaseRead(read);
        return 0;
    }

    std::uint8_t* pixels = preparePixels(image, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    // The picture's rows run bottom-up.
    auto pictureRow = [&](png_uint_32 i) { return pixels + static_cast<std::size_t>(height - 1 - i) * width; };
    read.rows = static_cast<png_bytepp>(png_malloc_warn(read.png, sizeof(png_bytep) * height));
    // Interlaced colour pictures are read whole; the others a row at a time.
    const png_uint_32 rgbRows = colour ? (passes > 1 ? height : 1) : 0;
    if (rgbRows > 0) read.rgb = static_cast<png_bytep>(png_malloc_warn(read.png, rowBytes * rgbRows));
    if (pixels == nullptr || read.rows == nullptr || (rgbRows > 0 && read.rgb == nullptr)) {
        if (read.rows == nullptr) diagnostics().systemError("Error while during malloc for rowPointers");
        read.error = failure(FailureKind::OutOfMemory);
        releaseRead(read);
        releaseImage(&image);
        return 0;
    }
    if (!colour) {
        for (png_uint_32 i = 0; i < height; ++i) read.rows[i] = pictureRow(i);
        png_read_image(read.png, read.rows);
    } else if (rgbRows == 1) {
        for (png_uint_32 i = 0; i < height; ++i) {
            png_read_row(read.png, read.rgb, nullptr);
            greyRow(read.rgb, pictureRow(i), width);
        }
    } else {
        for (png_uint_32 i = 0; i < height; ++i) read.rows[i] = read.rgb + i * rowBytes;
        png_read_image(read.png, read.rows);
        for (png_uint_32 i = 0; i < height; ++i) greyRow(read.rows[i], pictureRow(i), width);
    }
    png_read_end(read.png, read.info);
    releaseRead(read);
    return 1;
}

bool hasPngSignature(const std::uint8_t* bytes) { return png_sig_cmp(bytes, 0, 8) == 0; }

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
