#include "image/picture_loader.h"

#include <cstdio>
#include <cstring>

#include "image/bmp_reader.h"
#include "image/byte_source.h"
#include "image/jpeg_loader.h"
#include "image/png_loader.h"

namespace ternwick {
namespace {

enum class PictureFormat { Unknown, Png, Bmp, Jpeg };

PictureFormat formatOf(const std::uint8_t* head, std::size_t size) {
    static constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(head, kPngSignature, 8) == 0) return PictureFormat::Png;
    if (size >= 2 && head[0] == 'B' && head[1] == 'M') return PictureFormat::Bmp;
    if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return PictureFormat::Jpeg;
    return PictureFormat::Unknown;
}

int loadFrom(ImageBuffer& image, ByteSource& source, PictureFormat format, Failure& error) {
    switch (format) {
        case PictureFormat::Png: return loadPngSource(image, source, &error);
        case PictureFormat::Bmp: return loadBmpSource(image, source, &error, BmpVariants::Extended);
        case PictureFormat::Jpeg: return loadJpegSource(image, source, &error);
        case PictureFormat::Unknown: break;
    }
    error = failure(FailureKind::UnsupportedFormat);
    return 0;
}

}  // namespace

int loadPictureFile(ImageBuffer& image, const std::string& path, Failure& error) {
    std::FILE* file = openPictureFile(path, error);
    if (file == nullptr) return 0;
    std::uint8_t head[8] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    int loaded = 0;
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        error = failure(FailureKind::ReadFailed);
    } else {
        FileByteSource source(file);
        loaded = loadFrom(image, source, formatOf(head, got), error);
    }
    std::fclose(file);
    return loaded;
}

int loadPictureBytes(ImageBuffer& image, const std::uint8_t* data, std::size_t size, Failure& error) {
    if (data == nullptr && size > 0) {
        error = failure(FailureKind::InvalidArgument);
        return 0;
    }
    MemoryByteSource source(data, size);
    return loadFrom(image, source, formatOf(data, size), error);
}

}  // namespace ternwick
