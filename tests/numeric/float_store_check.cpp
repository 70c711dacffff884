// Checks that the point-transform pattern of the locator and the sampler
// (a double expression stored to float, the float then used in a double
// product) really rounds at every float store, whatever the optimisation
// level: this file is built at -O0 and at -O2 with the library's floating
// point flags (TERNWICK_FLOAT_FLAGS), and each build compares the pattern with a version whose
// stores go through volatile floats, and with the library's own transformPoint.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "locate/geometry.h"

namespace {

using ternwick::kEpsilon;
using ternwick::Matrix3;
using ternwick::Vector2;

// The pattern as the decoder writes it, inlinable and vectorisable.
Vector2 mapped(const Matrix3& m, double a, double b) {
    const auto x = static_cast<float>(a * m.m[0][0] + b * m.m[1][0] + m.m[2][0]);
    const auto y = static_cast<float>(a * m.m[0][1] + b * m.m[1][1] + m.m[2][1]);
    const double w = a * m.m[0][2] + b * m.m[1][2] + m.m[2][2];
    if (std::fabs(w) > kEpsilon) {
        const double inv = 1.0 / w;
        return Vector2{static_cast<float>(x * inv), static_cast<float>(y * inv)};
    }
    return Vector2{x, y};
}

// The same with every float store forced through memory.
Vector2 mappedStored(const Matrix3& m, double a, double b) {
    volatile float x = static_cast<float>(a * m.m[0][0] + b * m.m[1][0] + m.m[2][0]);
    volatile float y = static_cast<float>(a * m.m[0][1] + b * m.m[1][1] + m.m[2][1]);
    const double w = a * m.m[0][2] + b * m.m[1][2] + m.m[2][2];
    if (std::fabs(w) > kEpsilon) {
        const double inv = 1.0 / w;
        volatile float px = static_cast<float>(x * inv);
        volatile float py = static_cast<float>(y * inv);
        return Vector2{px, py};
    }
    return Vector2{x, y};
}

bool same(const Vector2& p, const Vector2& q) { return std::memcmp(&p, &q, sizeof p) == 0; }

}  // namespace

int main() {
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> entry(-3.0f, 3.0f);
    std::uniform_real_distribution<float> projective(-0.004f, 0.004f);
    std::uniform_real_distribution<double> coordinate(-500.0, 1500.0);
    int differing = 0;
    int libraryDiffering = 0;
    constexpr int kMatrices = 2000;
    constexpr int kPoints = 64;
    Vector2 batch[kPoints];
    double as[kPoints];
    double bs[kPoints];
    for (int i = 0; i < kMatrices; ++i) {
        Matrix3 m;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 2; ++c) m.m[r][c] = r == 2 ? entry(random) * 300.0f : entry(random);
        }
        m.m[0][2] = projective(random);
        m.m[1][2] = projective(random);
        m.m[2][2] = 1.0f;
        for (int k = 0; k < kPoints; ++k) {
            as[k] = coordinate(random);
            bs[k] = coordinate(random);
        }
        // A loop the vectoriser may take on.
        for (int k = 0; k < kPoints; ++k) batch[k] = mapped(m, as[k], bs[k]);
        for (int k = 0; k < kPoints; ++k) {
            const Vector2 stored = mappedStored(m, as[k], bs[k]);
            Vector2 library;
            ternwick::transformPoint(m, Vector2{static_cast<float>(as[k]), static_cast<float>(bs[k])}, library);
            const Vector2 fromFloats = mappedStored(m, static_cast<float>(as[k]), static_cast<float>(bs[k]));
            if (!same(batch[k], stored)) ++differing;
            if (!same(library, fromFloats)) ++libraryDiffering;
        }
    }
    std::printf("%d of %d points differ from the rounded stores here, %d in the library\n", differing,
                kMatrices * kPoints, libraryDiffering);
    return differing == 0 && libraryDiffering == 0 ? 0 : 1;
}
