#include "outline_picture.h"

#include <png.h>

#include <algorithm>
#include <cmath>

namespace ternwick {
namespace {

struct Colour {
    std::uint8_t red, green, blue;
};

constexpr Colour kOutline{230, 30, 30};
constexpr Colour kFinderCorner{20, 200, 40};

// Paints every pixel whose centre lies within radius of (x, y).
void disc(std::vector<std::uint8_t>& rgb, const Picture& picture, double x, double y, double radius, Colour colour) {
    if (!(x + radius >= 0.0 && y + radius >= 0.0 && x - radius <= picture.width && y - radius <= picture.height)) return;
    const int left = std::max(0, static_cast<int>(std::floor(x - radius)));
    const int right = std::min(picture.width - 1, static_cast<int>(std::ceil(x + radius)));
    const int top = std::max(0, static_cast<int>(std::floor(y - radius)));
    const int bottom = std::min(picture.height - 1, static_cast<int>(std::ceil(y + radius)));
    for (int py = top; py <= bottom; ++py) {
        for (int px = left; px <= right; ++px) {
            const double dx = px + 0.5 - x;
            const double dy = py + 0.5 - y;
            if (dx * dx + dy * dy > radius * radius) continue;
            std::uint8_t* p = rgb.data() + (static_cast<std::size_t>(py) * picture.width + px) * 3;
            p[0] = colour.red;
            p[1] = colour.green;
            p[2] = colour.blue;
        }
    }
}

void line(std::vector<std::uint8_t>& rgb, const Picture& picture, PicturePoint from, PicturePoint to, double radius,
          Colour colour) {
    const double length = std::hypot(to.x - from.x, to.y - from.y);
    // Corners far outside the picture are drawn only as far as a line of sane length goes.
    const int steps = static_cast<int>(std::min(std::ceil(length * 2.0), 1.0e6)) + 1;
    for (int s = 0; s <= steps; ++s) {
        const double t = static_cast<double>(s) / steps;
        disc(rgb, picture, from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t, radius, colour);
    }
}

}  // namespace

std::vector<std::uint8_t> drawOutlines(const Picture& picture, const std::vector<SymbolOutline>& symbols) {
    std::vector<std::uint8_t> rgb(picture.grey.size() * 3);
    for (std::size_t i = 0; i < picture.grey.size(); ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = picture.grey[i];
    const double thickness = std::max(1.0, std::min(picture.width, picture.height) / 250.0);
    for (const SymbolOutline& corners : symbols) {
        for (std::size_t k = 0; k < corners.size(); ++k) {
            line(rgb, picture, corners[k], corners[(k + 1) % corners.size()], thickness, kOutline);
        }
        disc(rgb, picture, corners[3].x, corners[3].y, 3.0 * thickness + 1.5, kFinderCorner);
    }
    return rgb;
}

std::string writeOutlinePicture(const std::string& path, const Picture& picture,
                                const std::vector<SymbolOutline>& symbols) {
    const std::vector<std::uint8_t> rgb = drawOutlines(picture, symbols);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) == 0) {
        const std::string reason = image.message[0] != '\0' ? image.message : "cannot write the file";
        png_image_free(&image);
        return reason;
    }
    return {};
}

}  // namespace ternwick
