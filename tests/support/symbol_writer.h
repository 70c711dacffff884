// A Data Matrix (ECC200, square sizes) writer for tests: ASCII encodation,
// Reed-Solomon check codewords, module placement, finder / clock / alignment
// patterns and a renderer that draws the symbol into a grey picture with
// rotation, warps, blur, noise and uneven lighting.
//
// It shares no code with the decoder: its field arithmetic, its encoder and
// its placement are its own, so a round trip through the decoder checks both.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "image/image_buffer.h"
#include "locate/geometry.h"

namespace ternwick::testing {

// Modules per side of the mapping matrix of a symbol size (8 for 10x10, 132
// for 144x144). Throws std::invalid_argument for a size that is not one of the
// 24 square sizes.
int mappingSizeOf(int symbolSize);

// ASCII-mode data codewords for a text (digit pairs, upper shift 235 for
// bytes > 127), without pads.
std::vector<std::uint8_t> asciiCodewords(std::string_view text);

// Fills data codewords up to the size's data capacity: the first pad is 129,
// the following ones are 253-state randomised. Throws std::length_error when
// the data does not fit.
std::vector<std::uint8_t> padData(std::vector<std::uint8_t> data, int symbolSize);

// asciiCodewords then padData.
std::vector<std::uint8_t> encodeAscii(std::string_view text, int symbolSize);

// A text of letters, digits and punctuation, different for each seed, that
// fills about half of a symbol's data codewords in ASCII mode.
std::string sampleText(int symbolSize, unsigned seed);

// Data codewords + Reed-Solomon check codewords, interleaved over the size's
// blocks: data and check codeword m of the stream belong to block m mod B
// (144x144: 8 blocks of 156 + 62 and 2 of 155 + 62). The data must be exactly
// the size's data capacity.
std::vector<std::uint8_t> addCheckCodewords(const std::vector<std::uint8_t>& data, int symbolSize);

// modules[row][col]; row 0 = top row as printed, col 0 = left, true = dark
// (a module of the finder's colour).
using ModuleMatrix = std::vector<std::vector<bool>>;

// The mapping matrix of a full codeword stream (data + check codewords):
// row 0 = the mapping row farthest from the finder's solid row, col 0 = next
// to the solid column. The fixed 2x2 corner of the sizes that leave four
// modules unused is filled as ECC200 requires.
ModuleMatrix mappingMatrix(int symbolSize, const std::vector<std::uint8_t>& codewords);

// Surrounds a mapping matrix with the finder (solid left column and bottom
// row), the clock (top row and right column) and the alignment patterns
// between data regions.
ModuleMatrix symbolFromMapping(int symbolSize, const ModuleMatrix& mapping);

// Takes the mapping matrix out of a whole symbol (the inverse of symbolFromMapping).
ModuleMatrix mappingFromSymbol(int symbolSize, const ModuleMatrix& symbol);

// The whole symbol for a full codeword stream.
ModuleMatrix symbolModules(int symbolSize, const std::vector<std::uint8_t>& codewords);

struct RenderOptions {
    double moduleSize = 5.0;            // pixels a module
    double quietZone = 2.0;             // modules of quiet zone (sets the picture size when width/height are 0)
    int width = 0, height = 0;          // picture size; 0 = fit symbol + quiet zone (after rotation/warp)
    double centreX = -1, centreY = -1;  // symbol centre in picture pixels (y up); <0 = picture centre
    bool lightOnDark = false;
    double rotationDegrees = 0.0;       // anticlockwise in the picture
    double affine[4] = {1, 0, 0, 1};    // extra linear warp [a b; c d] applied after rotation
    double perspective[2] = {0, 0};     // keystone: projective terms per pixel (small values such as 0.001)
    double blurSigma = 0.0;             // Gaussian blur in pixels
    double noiseSigma = 0.0;            // additive Gaussian noise in grey levels
    int darkLevel = 0, lightLevel = 255;  // contrast
    double illuminationGradient = 0.0;  // grey levels added from the left edge (0) to the right edge (all)
    int supersampling = 4;              // samples per pixel side for anti-aliased edges
    unsigned seed = 1;                  // noise seed
};

// Picture coordinates are those of the decoder's samplers: x right, y up, and
// the grey of pixel (i, j) is the mean of the picture plane over the unit
// square centred on (i, j).
struct RenderedSymbol {
    ImageBuffer image;  // grey, one byte a pixel, row 0 at the bottom
    // Ground truth: the finder's outer corner and the outer ends of its solid
    // row (bottom row) and of its solid column (left column).
    Vector2 finderCorner, solidRowEnd, solidColumnEnd;
    // Picture point of a symbol-square point: X along the solid row, Y along
    // the solid column, both 0..symbolSize in modules.
    std::function<Vector2(double X, double Y)> toImage;
};

// Draws a whole symbol (as symbolModules gives it). Throws std::invalid_argument
// for options that make no picture (zero module size, singular warp, a picture
// larger than the decoder accepts).
RenderedSymbol renderSymbol(const ModuleMatrix& modules, const RenderOptions& options);

// text -> ASCII codewords -> check codewords -> modules -> picture.
RenderedSymbol renderText(std::string_view text, int symbolSize, const RenderOptions& options);

}  // namespace ternwick::testing
