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

// What went wrong inside libpng, kept in a fixed buffer: the error path runs
// between libpng's C frames and its long jump, where nothing may allocate or
// throw.
struct PngFailure {
    char message[160] = {};
    bool stoppedAfterRows = false;  // the read was ended on purpose, every row complete
};

// libpng's messages, worded as its own default handlers word them, go to the
// diagnostics sink; the message is also kept to become the load error.
void reportError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    if (failure != nullptr) std::snprintf(failure->message, sizeof failure->message, "%s", message);
    if (failure != nullptr && failure->stoppedAfterRows) png_longjmp(png, 1);
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

// Bytes libpng may still read once the last row is complete: the rest of the
// compressed stream's end, its checksum and the chunk's checksum. A file that
// holds more compressed data than its picture needs would otherwise have all
// of it inflated only to be thrown away (a few megabytes of surplus inflate
// to gigabytes), so the read stops there and the picture is kept. What is
// inflated after the last row is then at most libpng's one input buffer
// (8 KiB, a few megabytes inflated at worst), whatever the file holds.
constexpr std::uint64_t kTailBytes = 64;

// Everything the reading function owns, kept outside its frame so that it is
// intact after libpng's error jump.
struct PngRead {
    ByteSource* source = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop endInfo = nullptr;
    png_bytepp rows = nullptr;  // into the picture or into rgb
    png_bytep rgb = nullptr;    // colour rows before their grey values: one, or all of an interlaced picture
    png_uint_32 rgbRows = 0;
    png_size_t rowBytes = 0;
    std::uint8_t* pixels = nullptr;  // the picture's grey rows, bottom-up
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    png_uint_32 rowsGrey = 0;  // colour rows already turned into grey values
    // Rows holding data over all interlace passes, and those read so far.
    std::uint64_t dataRows = 0;
    std::uint64_t rowsRead = 0;
    std::uint64_t tailRead = 0;
    // A palette picture is read as indices and looked up here, so that an
    // index beyond the palette is seen (libpng reads it as black).
    bool indexed = false;
    int paletteEntries = 0;
    png_color palette[256] = {};
    PngFailure failure;
    Failure error;  // set on the paths that fail without a long jump
};

bool allRowsRead(const PngRead& read) { return read.dataRows != 0 && read.rowsRead == read.dataRows; }

void readFromSource(png_structp png, png_bytep out, png_size_t count) {
    auto* read = static_cast<PngRead*>(png_get_io_ptr(png));
    if (allRowsRead(*read)) {
        if (count > kTailBytes - read->tailRead) {
            read->failure.stoppedAfterRows = true;
            png_error(png, "surplus data after the last row");
        }
        read->tailRead += count;
    }
    if (!read->source->read(out, count)) png_error(png, "Read Error");
}

// Called by libpng once a row's data is inflated and transformed, before the
// row is handed over: counts the rows so that reads after the last one are
// known as such.
void countRow(png_structp png, png_row_infop, png_bytep) {
    ++static_cast<PngRead*>(png_get_io_ptr(png))->rowsRead;
}

// Rows that carry data: all of them, or for an interlaced picture the rows of
// each of the seven passes that has any columns.
std::uint64_t dataRowsOf(png_uint_32 width, png_uint_32 height, int interlace) {
    if (interlace == PNG_INTERLACE_NONE) return height;
    std::uint64_t rows = 0;
    for (int pass = 0; pass < 7; ++pass) {
        if (PNG_PASS_COLS(width, pass) != 0) rows += PNG_PASS_ROWS(height, pass);
    }
    return rows;
}

void releaseRead(PngRead& read) {
    png_free(read.png, read.rgb);
    read.rgb = nullptr;
    png_free(read.png, read.rows);
    read.rows = nullptr;
    png_destroy_read_struct(&read.png, &read.info, &read.endInfo);
}

// Whether the rest of the file can hold the compressed picture at all: deflate
// packs at most 1032 bytes into one (a 258-byte match costs at least two
// bits), and the picture's rows take at least height * (1 + floor(width *
// bits per pixel / 8)) bytes before compression, a filter byte and the
// samples, interlaced or not (the passes together have at least height
// rows). A header that promises more than that is refused before its rows
// are allocated.
bool compressedDataCanFit(std::uint32_t width, std::uint32_t height, int bitsPerPixel, std::uint64_t available) {
    constexpr std::uint64_t kDeflateBestRatio = 1032;
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPerPixel) / 8;
    const std::uint64_t raw = (rowBytes + 1) * height;
    return available >= raw / kDeflateBestRatio;
}

// The picture's row of the i-th row from the top (its rows run bottom-up).
std::uint8_t* pictureRow(const PngRead& read, png_uint_32 i) {
    return read.pixels + static_cast<std::size_t>(read.height - 1 - i) * read.width;
}

// Grey values of a row of RGB pixels (rounded weighted mean).
void greyRow(const std::uint8_t* rgb, std::uint8_t* grey, png_uint_32 width) {
    for (png_uint_32 x = 0; x < width; ++x, rgb += 3) grey[x] = greyRounded(rgb[0], rgb[1], rgb[2]);
}

// Completes the picture once every row is read, and releases the read: colour
// rows not yet turned into grey values (all of an interlaced picture, or the
// last row when the read was stopped inside it) are turned now, and palette
// indices are looked up.
int finishPicture(PngRead& read, ImageBuffer& image) {
    const png_uint_32 width = read.width;
    for (png_uint_32 i = read.rowsGrey; i < read.height && read.rgbRows > 0; ++i) {
        greyRow(read.rgbRows == 1 ? read.rgb : read.rgb + i * read.rowBytes, pictureRow(read, i), width);
    }
    if (read.indexed) {
        std::uint8_t greyOf[256] = {};
        for (int e = 0; e < read.paletteEntries && e < 256; ++e) {
            greyOf[e] = greyRounded(read.palette[e].red, read.palette[e].green, read.palette[e].blue);
        }
        const std::size_t count = static_cast<std::size_t>(width) * read.height;
        for (std::size_t p = 0; p < count; ++p) {
            if (read.pixels[p] >= read.paletteEntries) {
                read.error = failure(FailureKind::Corrupt, "PNG palette index beyond the palette");
                releaseRead(read);
                releaseImage(&image);
                return 0;
            }
            read.pixels[p] = greyOf[read.pixels[p]];
        }
    }
    releaseRead(read);
    return 1;
}

// Reads the picture after the signature (already checked). Kept free of
// objects with destructors, since libpng reports errors by a long jump here.
int readPng(PngRead& read, ImageBuffer& image) {
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
        if (read.failure.stoppedAfterRows) return finishPicture(read, image);
        releaseRead(read);
        releaseImage(&image);
        return 0;
    }
    png_set_read_fn(read.png, &read, readFromSource);
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
    if (!compressedDataCanFit(width, height, bitDepth * png_get_channels(read.png, read.info), read.source->remaining())) {
        read.error = failure(FailureKind::Truncated, "truncated PNG data");
        releaseRead(read);
        return 0;
    }

    png_set_strip_16(read.png);
    png_set_strip_alpha(read.png);
    const bool indexed = colourType == PNG_COLOR_TYPE_PALETTE;
    const bool rgb = !indexed && (colourType & PNG_COLOR_MASK_COLOR) != 0;
    read.indexed = indexed;
    if (indexed) {
        png_colorp palette = nullptr;
        if (png_get_PLTE(read.png, read.info, &palette, &read.paletteEntries) == 0) read.paletteEntries = 0;
        for (int e = 0; e < read.paletteEntries && e < 256; ++e) read.palette[e] = palette[e];
        // One index a byte; nothing else, since even the grey widening
        // below would expand the palette.
        png_set_packing(read.png);
    } else {
        png_set_packswap(read.png);
        // Grey samples of 1, 2 or 4 bits are widened to 8 and go straight into
        // the picture: a grey sample g has the grey value g. Colour rows
        // become RGB and are turned into grey values row by row.
        if (!rgb && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(read.png);
    }
    const int passes = png_set_interlace_handling(read.png);
    png_set_read_user_transform_fn(read.png, countRow);
    png_read_update_info(read.png, read.info);
    png_get_IHDR(read.png, read.info, &width, &height, &bitDepth, &colourType, &interlace, &compression, &filter);
    read.width = width;
    read.height = height;
    read.dataRows = dataRowsOf(width, height, interlace);

    const png_size_t rowBytes = png_get_rowbytes(read.png, read.info);
    read.rowBytes = rowBytes;
    // Each output row takes width grey values or indices, or 3 * width bytes, from a library row.
    if (bitDepth != 8 || rowBytes < static_cast<png_size_t>(width) * (rgb ? 3 : 1)) {
        read.error = failure(FailureKind::UnsupportedFormat, "unsupported PNG layout");
        releaseRead(read);
        return 0;
    }

    read.pixels = preparePixels(image, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    read.rows = static_cast<png_bytepp>(png_malloc_warn(read.png, sizeof(png_bytep) * height));
    // Interlaced colour pictures are read whole; the others a row at a time.
    read.rgbRows = rgb ? (passes > 1 ? height : 1) : 0;
    if (read.rgbRows > 0) read.rgb = static_cast<png_bytep>(png_malloc_warn(read.png, rowBytes * read.rgbRows));
    if (read.pixels == nullptr || read.rows == nullptr || (read.rgbRows > 0 && read.rgb == nullptr)) {
        if (read.rows == nullptr) diagnostics().systemError("Error while during malloc for rowPointers");
        read.error = failure(FailureKind::OutOfMemory);
        releaseRead(read);
        releaseImage(&image);
        return 0;
    }
    if (read.rgbRows == 1) {
        for (png_uint_32 i = 0; i < height; ++i) {
            png_read_row(read.png, read.rgb, nullptr);
            greyRow(read.rgb, pictureRow(read, i), width);
            read.rowsGrey = i + 1;
        }
    } else {
        for (png_uint_32 i = 0; i < height; ++i) {
            read.rows[i] = read.rgbRows > 0 ? read.rgb + static_cast<std::size_t>(i) * rowBytes : pictureRow(read, i);
        }
        png_read_image(read.png, read.rows);
    }
    // png_read_end is not called: the chunks after the image data, down to
    // the end chunk, add nothing to the picture.
    return finishPicture(read, image);
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
    read.source = &source;
    const int result = readPng(read, image);
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
