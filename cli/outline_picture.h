// The picture with each decoded symbol's outline and finder corner drawn on
// it, written as a PNG file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/symbol_corners.h"
#include "ternwick/ternwick.h"

namespace ternwick {

// One symbol's corners: top-left, top-right, bottom-right, bottom-left of the
// upright symbol, whose finder corner is the bottom-left one.
using SymbolOutline = std::array<PicturePoint, 4>;

// The grey picture in colour, each outline in red and a green disc on each
// finder corner; lines and discs grow with the picture. Three bytes a pixel
// (red, green, blue), rows top-down.
std::vector<std::uint8_t> drawOutlines(const Picture& picture, const std::vector<SymbolOutline>& symbols);

// Writes the drawn picture to path through libpng: empty on success, else why not.
std::string writeOutlinePicture(const std::string& path, const Picture& picture,
                                const std::vector<SymbolOutline>& symbols);

}  // namespace ternwick
