#include "driver/symbol_corners.h"

#include "driver/scan_attempt.h"
#include "locate/geometry.h"

namespace ternwick {

std::array<PicturePoint, 4> symbolCorners(const SymbolResult& symbol, int pictureHeight) {
    // The symbol square runs from (0, 0) at the finder's corner to (100, 100)
    // at the opposite corner, y along the solid column. The search's picture
    // points have pixel p's sample at p, rows counted upwards; the second
    // pass samples at twice the resolution, where the edge between pixels p
    // and p + 1 falls at p + 0.75 instead of p + 0.5.
    const double half = symbol.pass == static_cast<int>(SearchPass::Second) ? 0.25 : 0.5;
    // A mirrored symbol lies in the square with its rows along X.
    static constexpr Vector2 kSquareCorners[4] = {{0.0f, 100.0f}, {100.0f, 100.0f}, {100.0f, 0.0f}, {0.0f, 0.0f}};
    static constexpr Vector2 kMirroredCorners[4] = {{100.0f, 0.0f}, {100.0f, 100.0f}, {0.0f, 100.0f}, {0.0f, 0.0f}};
    const Vector2* square = symbol.mirrored != 0 ? kMirroredCorners : kSquareCorners;
    std::array<PicturePoint, 4> corners{};
    for (int i = 0; i < 4; ++i) {
        Vector2 point;
        transformPoint(symbol.inverseTransform, square[i], point);
        corners[static_cast<std::size_t>(i)] = {static_cast<double>(point.x) + half,
                                                static_cast<double>(pictureHeight) - half - point.y};
    }
    return corners;
}

}  // namespace ternwick
