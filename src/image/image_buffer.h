// The in-memory grey picture every stage of the decoder reads, its samplers
// and the median prefilter run once before the first search pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ternwick {

// Grey picture, three equal bytes a pixel, rows bottom-up (row 0 is the bottom
// row of the picture, x to the right, y upwards), no row padding.
struct ImageBuffer {
    float scale = 1.0f;          // sampling scale: 1.0, or 2.0 in the second pass
    std::int32_t width = 0;      // pixels per row, compared as unsigned
    std::int32_t height = 0;     // rows, compared as unsigned
    std::unique_ptr<std::uint8_t[]> pixels;  // width * height * 3 bytes, or none
};

// Largest picture the loaders accept, in pixels: anything above is refused as
// a load failure rather than allowed to exhaust memory.
inline constexpr std::uint64_t kMaxImagePixels = std::uint64_t{1} << 26;

// Frees the pixels (if any) and resets the sampling scale to 1.0. Returns 0.
int releaseImage(ImageBuffer* image);

// Straight access: the grey value of pixel (x, y). No bounds check and no
// regard to the sampling scale; callers keep (x, y) inside the picture.
inline std::uint8_t greyAt(const ImageBuffer& image, std::int32_t x, std::int32_t y) {
    return image.pixels[(static_cast<std::size_t>(y) * static_cast<std::uint32_t>(image.width) +
                         static_cast<std::uint32_t>(x)) * 3];
}

// Grey value of the pixel the scaled coordinate (x, y) falls in, 0 outside.
void sampleNearest(const ImageBuffer& image, float& out, std::int32_t x, std::int32_t y);

// Bilinear grey value at image coordinate (x, y) in pixel units, honouring the
// sampling scale; falls back to sampleNearest along and beyond the edges.
void sampleBilinear(const ImageBuffer& image, float& out, float x, float y);

// Separable 3-tap median (horizontal pass, then vertical) applied in place.
// Returns 1, or 0 when the work buffer cannot be allocated (picture unchanged).
int medianPrefilter(ImageBuffer& image);

}  // namespace ternwick
