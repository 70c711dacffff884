// Search passes that run after the two of today have found nothing, for
// pictures those passes cannot read: symbols without a quiet zone or with
// their finder on the picture's edge, and crisp pictures of one or two pixels
// a module. Each pass searches a framed copy of the picture: a border that
// stands for the light (or, for light-on-dark symbols, the dark) outside, and,
// for small pictures, every pixel drawn as a square of pixels; a blurred
// picture is first searched sharpened, and last searched sharpened once more
// with the symbols found read from the picture itself by undoing the blur on
// their module grids. A symbol they
// find is reported in the coordinates of the picture as loaded, with pass 3.
// All of them together spend as much work as the first two passes spent; the
// blurred reading has a small allowance of its own on top.
#pragma once

#include <cstdint>

#include "driver/decode_context.h"
#include "driver/scan_attempt.h"

namespace ternwick {

// The pass number a symbol found here carries.
inline constexpr int kFurtherPass = 3;

// How one framed copy is made and searched: the border's width in pixels of
// the picture as loaded, its grey, how many pixels a side each pixel becomes,
// the scan-line pass run over the copy, the width in pixels of the
// unsharp mask applied to the picture first (0: none), and the width in
// pixels of the blur undone on the module grids of the symbols found (0: the
// symbols are read as in the first pass).
struct FramedCopy {
    int border = 0;
    std::uint8_t outside = 255;
    int magnification = 1;
    SearchPass pass = SearchPass::First;
    double sharpenSigma = 0.0;
    // Only crossings near the frame are followed: the copy is the picture as
    // the first passes searched it, framed.
    bool nearFrameOnly = false;
    // Above 0: the symbols found are read from the picture as loaded by
    // undoing a blur of this sigma on their module grids.
    double blurredReading = 0.0;
};

inline constexpr int kMaxFramedCopies = 4;

// The framed copies searched for a picture, in their order: for a blurred
// picture a sharpened copy first (when the allowance of work could pay for
// it), then one with a border against the colour the picture's edges mostly
// have, then one with the other border, at the picture's own light and dark
// levels, and for a heavily blurred picture last the sharpened picture
// without a border, the symbols found there read from the picture as loaded
// by undoing the blur on their module grids. Small pictures with runs of one
// or two pixels are magnified; unmagnified pictures that are neither blurred
// nor show detail at their edges get no framed copies. Returns their count.
int framedCopies(const ImageBuffer& picture, FramedCopy (&copies)[kMaxFramedCopies],
                 std::int64_t allowance = INT64_MAX);

// Makes the framed copy of the picture's pixels as loaded (one grey byte a
// pixel, rows bottom-up), leaving out the sharpening. False when the copy's size cannot
// be held.
bool makeFramedCopy(const ImageBuffer& picture, const FramedCopy& copy, ImageBuffer& out);

// Moves a symbol found in a framed copy (by the given scan-line pass) into
// the coordinates of the picture as loaded, as a first-pass symbol would be.
void moveToPicture(SymbolResult& symbol, const FramedCopy& copy, int foundInPass);

// Runs the further passes when context.symbols is empty; the context's
// picture must be the picture as loaded, earlierWork what the first two
// passes spent together. The picture, the rejected lines and the trace's
// candidate stay as the earlier passes left them.
void searchFurther(DecodeContext& context, ScanLineAttempts& attempts, std::int64_t earlierWork);

}  // namespace ternwick
