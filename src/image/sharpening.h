// Sharpening of blurred pictures before a further search: how wide the blur
// of the picture's sharpest edges is, and an unsharp mask of that width.
#pragma once

#include "image/image_buffer.h"

namespace ternwick {

// The Gaussian sigma, in pixels, that would blur a sharp step of the
// picture's contrast (between its 5th and 95th percentile greys) into the
// slope of its steepest edges (the 99.5th percentile of the pixel-to-pixel
// slopes along rows and columns). 0 for a flat picture. Reads the pixels as
// loaded, never a median-filtered view; 0 too when memory for a row runs out.
double estimateBlurSigma(const ImageBuffer& picture);

// picture + amount * (picture - picture blurred by a Gaussian of sigma
// pixels), clamped to 0..255, into out (same size, one grey byte a
// pixel). False when the buffers cannot be allocated.
bool unsharpMask(const ImageBuffer& picture, double sigma, double amount, ImageBuffer& out);

}  // namespace ternwick
