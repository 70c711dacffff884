// The in-memory grey picture every stage of the decoder reads, its samplers
// and the median prefilter of the first search pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ternwick {

class MedianCache;

// Grey picture, one byte a pixel, rows bottom-up (row 0 is the bottom row of
// the picture, x to the right, y upwards), no row padding.
struct ImageBuffer {
    float scale = 1.0f;          // sampling scale: 1.0, or 2.0 in the second pass
    std::int32_t width = 0;      // pixels per row, compared as unsigned
    std::int32_t height = 0;     // rows, compared as unsigned
    std::unique_ptr<std::uint8_t[]> pixels;  // width * height bytes, or none
    std::size_t capacity = 0;    // bytes behind pixels, kept for the next picture
    // While set, every read gives the median-filtered picture (see MedianCache).
    MedianCache* median = nullptr;
};

// Largest picture the loaders accept, in pixels: anything above is refused as
// a load failure rather than allowed to exhaust memory.
inline constexpr std::uint64_t kMaxImagePixels = std::uint64_t{1} << 26;

// Frees the pixels (if any) and resets the sampling scale to 1.0. Returns 0.
int releaseImage(ImageBuffer* image);

// Makes room for a width x height picture, reusing the pixels already there
// when they are large enough, and sets the size and a scale of 1.0. Returns
// the pixels, or nullptr when memory ran out (the image then has none).
std::uint8_t* preparePixels(ImageBuffer& image, std::int32_t width, std::int32_t height);

// The separable 3-tap median (horizontal pass, then vertical) of the whole
// picture, computed a tile at a time where the search reads it: every value is
// the one medianPrefilter gives, each tile filtered at most once a picture.
class MedianCache {
public:
    static constexpr int kTileShift = 3;  // tiles of 8 x 8 pixels

    // Starts on a new picture (its pixels must stay in place while in use).
    // False when memory ran out.
    bool start(const ImageBuffer& image);

    std::uint8_t at(std::int32_t x, std::int32_t y) {
        const std::size_t tile = (static_cast<std::size_t>(static_cast<std::uint32_t>(y) >> kTileShift)) * tileColumns_ +
                                 (static_cast<std::uint32_t>(x) >> kTileShift);
        if (stamps_[tile] != stamp_) fillTile(tile);
        return values_[static_cast<std::size_t>(y) * width_ + static_cast<std::uint32_t>(x)];
    }

    std::size_t tilesFilled() const { return tilesFilled_; }

private:
    void fillTile(std::size_t tile);

    const std::uint8_t* source_ = nullptr;
    std::size_t width_ = 0;
    std::size_t height_ = 0;
    std::size_t tileColumns_ = 0;
    std::unique_ptr<std::uint8_t[]> values_;
    std::size_t valueCapacity_ = 0;
    std::unique_ptr<std::uint32_t[]> stamps_;
    std::size_t stampCapacity_ = 0;
    std::uint32_t stamp_ = 0;
    std::size_t tilesFilled_ = 0;
};

// Straight access: the grey value of pixel (x, y), median-filtered while the
// image has a MedianCache. No bounds check and no regard to the sampling
// scale; callers keep (x, y) inside the picture.
inline std::uint8_t greyAt(const ImageBuffer& image, std::int32_t x, std::int32_t y) {
    if (image.median != nullptr) return image.median->at(x, y);
    return image.pixels[static_cast<std::size_t>(y) * static_cast<std::uint32_t>(image.width) +
                        static_cast<std::uint32_t>(x)];
}

// Grey value of the pixel the scaled coordinate (x, y) falls in, 0 outside.
void sampleNearest(const ImageBuffer& image, float& out, std::int32_t x, std::int32_t y);

// Bilinear grey value at image coordinate (x, y) in pixel units, honouring the
// sampling scale; falls back to sampleNearest along and beyond the edges.
void sampleBilinear(const ImageBuffer& image, float& out, float x, float y);

// Bilinear samples taken one after another on a picture that does not change
// meanwhile, such as along a side walk or over a grid: the 2x2 block of grey
// values of one sample is kept and reused when the next falls in the same
// block. Every value is the one sampleBilinear gives.
class BilinearSampler {
public:
    explicit BilinearSampler(const ImageBuffer& image) : image_(image) {}
    void sample(float& out, float x, float y);

    struct Block {
        bool held = false;
        std::int32_t x = 0;
        std::int32_t y = 0;
        double grey[4] = {};  // at (x, y), (x + 1, y), (x, y + 1), (x + 1, y + 1)
    };

private:
    const ImageBuffer& image_;
    Block block_;
};

// Separable 3-tap median (horizontal pass, then vertical) applied in place to
// the whole picture. Returns 1, or 0 when the work buffer cannot be allocated
// (picture unchanged).
int medianPrefilter(ImageBuffer& image);

}  // namespace ternwick
