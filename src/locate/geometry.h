// Single-precision geometry of symbol location: vectors, 3x3 projective
// matrices acting on row vectors [x y 1], fitted edge lines and the ten
// parameters from which the image <-> symbol-square transforms are built.
//
// Values are stored as float; every computation runs in double and is rounded
// to float only where a value is stored. The location stages depend on that.
#pragma once

#include <cstdint>

namespace ternwick {

struct Candidate;

struct Vector2 {
    float x = 0.0f;
    float y = 0.0f;
};

// Row-major; a point is the row vector [x y 1] multiplied from the left, so the
// translation sits in row 2 and the projective terms in column 2.
struct Matrix3 {
    float m[3][3] = {};
};

inline constexpr Matrix3 kIdentityMatrix{{{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}}};

// A straight edge: points origin + t * direction for t in [tStart, tEnd].
struct EdgeLine {
    std::uint8_t valid = 0;    // 1 once established
    std::uint8_t refined = 0;  // 1 once extended along the same edge
    float tStart = 0.0f;
    float tEnd = 0.0f;
    Vector2 origin;
    Vector2 direction;  // unit length
};

// The symbol transform's parameters, in the order they are applied.
struct TransformParams {
    float translateX = 0.0f;
    float translateY = 0.0f;
    float shearX = 0.0f;
    float shearY = 0.0f;
    float scaleX = 0.0f;
    float scaleY = 0.0f;
    float widthAtY0 = 0.0f;
    float widthAtY100 = 0.0f;
    float heightAtX0 = 0.0f;
    float heightAtX100 = 0.0f;
};

// The parameters every candidate starts from: identity in both directions.
inline constexpr TransformParams kNeutralTransformParams{0.0f, 0.0f,   0.0f,   0.0f,   1.0f,
                                                         1.0f, 100.0f, 100.0f, 100.0f, 100.0f};

// Common zero threshold for lengths, determinants, divisors and level differences.
inline constexpr double kEpsilon = 1e-6;

int matrixInverse(const Matrix3& source, Matrix3& out);
void matrixMultiply(const Matrix3& left, const Matrix3& right, Matrix3& out);
void transformPointInPlace(const Matrix3& matrix, Vector2& point);
void transformPoint(const Matrix3& matrix, const Vector2& in, Vector2& out);
// The point (x, y) as the row vector [x y 1] through the matrix, with the
// homogeneous division; x and y at full precision (transformPoint is this on
// a stored point).
Vector2 mapPoint(const Matrix3& matrix, double x, double y);
float vectorNormalize(Vector2& vector);
int lineIntersect(const EdgeLine& a, const EdgeLine& b, Vector2& out);
int linePointAt(Vector2& out, const EdgeLine& line, float t);
void buildForwardTransform(const TransformParams& params, Matrix3& out);
void buildInverseTransform(const TransformParams& params, Matrix3& out);
void updateSymbolTransform(Candidate& symbol);

// Small helpers of the location stages, each computed in double.
inline double dot(const Vector2& a, const Vector2& b) {
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y;
}
// a.x * b.y - a.y * b.x: positive when b lies anticlockwise of a.
inline double cross(const Vector2& a, const Vector2& b) {
    return static_cast<double>(a.x) * b.y - static_cast<double>(a.y) * b.x;
}
// to - from, stored as a vector.
inline Vector2 difference(const Vector2& to, const Vector2& from) {
    return {static_cast<float>(static_cast<double>(to.x) - from.x),
            static_cast<float>(static_cast<double>(to.y) - from.y)};
}
// Euclidean distance between two points.
double distance(const Vector2& a, const Vector2& b);

// The segment from one point to another: valid, not refined, origin at from,
// unit direction towards to (normalised as vectorNormalize does, report of a
// zero length included), tStart 0 and tEnd the distance.
EdgeLine lineThrough(const Vector2& from, const Vector2& to);

}  // namespace ternwick
