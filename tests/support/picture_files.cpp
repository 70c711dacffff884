#include "support/picture_files.h"

#include <png.h>
#include <turbojpeg.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace ternwick::testing {
namespace {

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::uint32_t bmpStride(std::int32_t width, int bitCount) {
    return ((static_cast<std::uint32_t>(bitCount) * static_cast<std::uint32_t>(width) + 7) / 8 + 3) / 4 * 4;
}

std::vector<std::uint8_t> makeBmp(const BmpLayout& layout) {
    const std::uint32_t stride = bmpStride(layout.width, layout.bitCount);
    const std::uint32_t paletteBytes = static_cast<std::uint32_t>(layout.palette.size()) * 4;
    const std::uint32_t maskBytes = layout.infoHeaderSize == 40 ? static_cast<std::uint32_t>(layout.masks.size()) * 4 : 0;
    const std::uint32_t offBits = 14 + layout.infoHeaderSize + maskBytes + paletteBytes;
    const std::uint32_t imageBytes = stride * static_cast<std::uint32_t>(layout.height);
    std::vector<std::uint8_t> out(offBits + imageBytes, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, static_cast<std::uint32_t>(out.size()));
    put32(out, 10, offBits);
    put32(out, 14, layout.infoHeaderSize);
    put32(out, 18, static_cast<std::uint32_t>(layout.width));
    put32(out, 22, static_cast<std::uint32_t>(layout.topDown ? -layout.height : layout.height));
    put16(out, 26, 1);
    put16(out, 28, layout.bitCount);
    put32(out, 30, layout.compression);
    put32(out, 34, imageBytes);
    put32(out, 46, static_cast<std::uint32_t>(layout.palette.size()));
    for (std::size_t m = 0; m < layout.masks.size(); ++m) put32(out, 54 + 4 * m, layout.masks[m]);
    for (std::size_t e = 0; e < layout.palette.size(); ++e) {
        const std::uint32_t rgb = layout.palette[e];
        const std::size_t at = 14 + layout.infoHeaderSize + maskBytes + e * 4;
        out[at] = static_cast<std::uint8_t>(rgb);
        out[at + 1] = static_cast<std::uint8_t>(rgb >> 8);
        out[at + 2] = static_cast<std::uint8_t>(rgb >> 16);
    }
    for (int yTop = 0; yTop < layout.height; ++yTop) {
        const int stored = layout.topDown ? yTop : layout.height - 1 - yTop;
        const std::size_t rowAt = offBits + static_cast<std::size_t>(stored) * stride;
        for (int x = 0; x < layout.width; ++x) {
            const std::uint32_t v = layout.pixel(x, yTop);
            switch (layout.bitCount) {
                case 1: out[rowAt + x / 8] |= static_cast<std::uint8_t>((v & 1u) << (7 - x % 8)); break;
                case 4: out[rowAt + x / 2] |= static_cast<std::uint8_t>((v & 15u) << (x % 2 == 0 ? 4 : 0)); break;
                case 8: out[rowAt + x] = static_cast<std::uint8_t>(v); break;
                case 16: put16(out, rowAt + 2 * x, v); break;
                case 32: put32(out, rowAt + 4 * x, v); break;
                default:
                    out[rowAt + 3 * x] = static_cast<std::uint8_t>(v);
                    out[rowAt + 3 * x + 1] = static_cast<std::uint8_t>(v >> 8);
                    out[rowAt + 3 * x + 2] = static_cast<std::uint8_t>(v >> 16);
            }
        }
    }
    return out;
}

namespace {

void appendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

}  // namespace

std::vector<std::uint8_t> makePng(const PngLayout& layout) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("PNG writing failed");
    }
    png_set_write_fn(png, &out, appendToVector, flushNothing);
    png_set_IHDR(png, info, layout.width, layout.height, layout.bitDepth, layout.colourType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (const std::uint32_t rgb : layout.palette) {
        palette.push_back(png_color{static_cast<png_byte>(rgb >> 16), static_cast<png_byte>(rgb >> 8),
                                    static_cast<png_byte>(rgb)});
    }
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!layout.transparency.empty()) {
        png_set_tRNS(png, info, layout.transparency.data(), static_cast<int>(layout.transparency.size()), nullptr);
    }
    std::vector<png_bytep> rows;
    std::vector<std::vector<std::uint8_t>> copies = layout.rows;
    for (auto& row : copies) rows.push_back(row.data());
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

ImageBuffer makeGreyImage(int width, int height, const std::function<std::uint8_t(int x, int y)>& grey) {
    ImageBuffer image;
    image.width = width;
    image.height = height;
    image.scale = 1.0f;
    image.capacity = static_cast<std::size_t>(width) * height;
    image.pixels.reset(new std::uint8_t[image.capacity]);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image.pixels[static_cast<std::size_t>(y) * width + x] = grey(x, y);
    }
    return image;
}

std::vector<std::uint8_t> greyImageToPng(const ImageBuffer& image) {
    PngLayout layout;
    layout.width = static_cast<std::uint32_t>(image.width);
    layout.height = static_cast<std::uint32_t>(image.height);
    layout.colourType = PNG_COLOR_TYPE_GRAY;
    layout.bitDepth = 8;
    for (int yTop = 0; yTop < image.height; ++yTop) {
        const int y = image.height - 1 - yTop;
        std::vector<std::uint8_t> row(layout.width);
        for (int x = 0; x < image.width; ++x) row[x] = greyAt(image, x, y);
        layout.rows.push_back(std::move(row));
    }
    return makePng(layout);
}

std::vector<std::uint8_t> greyImageToBmp(const ImageBuffer& image) {
    BmpLayout layout;
    layout.width = image.width;
    layout.height = image.height;
    layout.bitCount = 24;
    layout.pixel = [&image](int x, int yTop) {
        const std::uint32_t g = greyAt(image, x, image.height - 1 - yTop);
        return (g << 16) | (g << 8) | g;
    };
    return makeBmp(layout);
}

std::vector<std::uint8_t> greyImageToJpeg(const ImageBuffer& image, JpegStyle style, int quality) {
    const int channels = style == JpegStyle::Grey ? 1 : style == JpegStyle::Cmyk ? 4 : 3;
    const auto width = static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> pixels(width * static_cast<std::size_t>(image.height) * channels);
    for (int yTop = 0; yTop < image.height; ++yTop) {
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t grey = greyAt(image, static_cast<int>(x), image.height - 1 - yTop);
            std::uint8_t* p = pixels.data() + (static_cast<std::size_t>(yTop) * width + x) * channels;
            for (int c = 0; c < channels; ++c) p[c] = style == JpegStyle::Cmyk ? (c == 3 ? 255 - grey : 0) : grey;
        }
    }
    const int format = style == JpegStyle::Grey ? TJPF_GRAY : style == JpegStyle::Cmyk ? TJPF_CMYK : TJPF_RGB;
    const int subsampling = style == JpegStyle::Grey ? TJSAMP_GRAY : TJSAMP_420;
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int flags = style == JpegStyle::Progressive ? TJFLAG_PROGRESSIVE : 0;
    const int status = tjCompress2(handle, pixels.data(), image.width, 0, image.height, format, &jpeg, &size,
                                   subsampling, quality, flags);
    std::vector<std::uint8_t> out;
    if (status == 0) out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    if (status != 0) throw std::runtime_error("cannot write a JPEG");
    return out;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace ternwick::testing
