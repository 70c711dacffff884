#include "image/jpeg_loader.h"

#include <turbojpeg.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace ternwick {
namespace {

int fail(Failure* error, FailureKind code, std::string reason = {}) {
    if (error != nullptr) *error = failure(code, std::move(reason));
    return 0;
}

struct HandleCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

bool mentions(const std::string& message, const char* part) { return message.find(part) != std::string::npos; }

// True when the data holds an end-of-image marker (the entropy-coded data
// never holds one, since it stuffs a zero after every 0xFF byte).
bool hasEndMarker(const std::uint8_t* data, std::size_t size) {
    static constexpr std::uint8_t kEndOfImage[2] = {0xFF, 0xD9};
    return memmem(data, size, kEndOfImage, sizeof kEndOfImage) != nullptr;
}

// The reason for a message of the JPEG library that ended a decode. Data that
// ends before its end-of-image marker is truncated, whatever the library
// stumbled on first when its input ran out.
Failure failureOf(const std::string& message, const std::uint8_t* data, std::size_t size) {
    if (mentions(message, "Premature end") || !hasEndMarker(data, size)) {
        return failure(FailureKind::Truncated, "truncated JPEG data");
    }
    if (mentions(message, "Maximum supported image dimension")) {
        return failure(FailureKind::TooLarge, "JPEG picture wider or taller than 65500 pixels");
    }
    if (mentions(message, "scans")) return failure(FailureKind::UnsupportedFormat, "JPEG picture with too many scans");
    return failure(FailureKind::Corrupt, "corrupt JPEG data: " + message);
}

// The picture into image's pixels, reused when large enough; on failure the
// image may be left with pixels of any content.
int readJpeg(ImageBuffer& image, const std::uint8_t* data, std::size_t size, Failure* error) {
    if (data == nullptr && size > 0) return fail(error, FailureKind::InvalidArgument);
    if (size < 4) return fail(error, FailureKind::Truncated, "truncated JPEG data");
    Handle handle(tjInitDecompress());
    if (!handle) return fail(error, FailureKind::OutOfMemory);

    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourSpace = 0;
    if (tjDecompressHeader3(handle.get(), data, size, &width, &height, &subsampling, &colourSpace) != 0) {
        const Failure failed = failureOf(tjGetErrorStr2(handle.get()), data, size);
        return fail(error, failed.code, failed.reason);
    }
    if (width <= 0 || height <= 0) return fail(error, FailureKind::Corrupt, "corrupt JPEG header");
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxImagePixels) {
        return fail(error, FailureKind::TooLarge);
    }
    if (colourSpace == TJCS_CMYK || colourSpace == TJCS_YCCK) {
        return fail(error, FailureKind::UnsupportedFormat, "CMYK JPEG pictures are not supported");
    }

    std::uint8_t* pixels = preparePixels(image, width, height);
    if (pixels == nullptr) return fail(error, FailureKind::OutOfMemory);
    // Rows bottom-up, as the other loaders give them. The first attempt stops
    // at the first warning, so that data cut short ends the decode at once;
    // a warning of any other kind (stray bytes between markers and the like)
    // leaves a usable picture, which the second attempt decodes in full.
    // A picture whose data the library accepts with a warning can be left
    // with rows it never writes; they are mid-grey, the grey the library
    // gives for missing data, rather than whatever the memory held before.
    const int flags = TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS;
    for (const int extra : {TJFLAG_STOPONWARNING, 0}) {
        if (extra == 0) std::memset(pixels, 128, static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        if (tjDecompress2(handle.get(), data, size, pixels, width, width, height, TJPF_GRAY, flags | extra) ==
            0) {
            break;
        }
        const std::string message = tjGetErrorStr2(handle.get());
        const Failure failed = failureOf(message, data, size);
        if (tjGetErrorCode(handle.get()) != TJERR_WARNING || failed.code != FailureKind::Corrupt) {
            return fail(error, failed.code, failed.reason);
        }
        if (extra == 0) break;  // a warning only: the picture is whole
    }
    return 1;
}

int readJpegSource(ImageBuffer& image, ByteSource& source, Failure* error) {
    const std::uint64_t size = source.remaining();
    if (size > kMaxJpegFileBytes) return fail(error, FailureKind::TooLarge, "JPEG file larger than 268435456 bytes");
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[size]);
    if (!bytes) return fail(error, FailureKind::OutOfMemory);
    if (!source.read(bytes.get(), size)) return fail(error, FailureKind::ReadFailed);
    return readJpeg(image, bytes.get(), size, error);
}

}  // namespace

int loadJpegMemory(ImageBuffer& image, const std::uint8_t* data, std::size_t size, Failure* error) {
    if (readJpeg(image, data, size, error) == 1) return 1;
    releaseImage(&image);
    return 0;
}

int loadJpegSource(ImageBuffer& image, ByteSource& source, Failure* error) {
    if (readJpegSource(image, source, error) == 1) return 1;
    releaseImage(&image);
    return 0;
}

}  // namespace ternwick
