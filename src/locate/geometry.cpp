#include "locate/geometry.h"

#include <cmath>

#include "core/checked_convert.h"
#include "core/diagnostics.h"
#include "locate/candidate.h"

namespace ternwick {

static void matrixPrint(const Matrix3& matrix);
namespace {

Matrix3 identity() { return kIdentityMatrix; }

// running = running * factor, through a scratch copy so that the output never
// aliases an input.
void multiplyInto(Matrix3& running, const Matrix3& factor) {
    const Matrix3 left = running;
    matrixMultiply(left, factor, running);
}

// Keystone correction for a height that varies along x: keeps (0, 0) and
// (100, 0), maps (0, h0) to (0, 100) and (100, h1) to (100, 100).
Matrix3 heightKeystone(const TransformParams& params) {
    const double h0 = params.heightAtX0;
    const double h1 = params.heightAtX100;
    Matrix3 k = identity();
    k.m[0][0] = static_cast<float>(ieeeDivide(h1, h0));
    k.m[1][1] = static_cast<float>(ieeeDivide(100.0, h0));
    k.m[0][2] = static_cast<float>(ieeeDivide(h1 - h0, 100.0 * h0));
    return k;
}

// Keystone correction for a width that varies along y: keeps (0, 0) and
// (0, 100), maps (w0, 0) to (100, 0) and (w1, 100) to (100, 100).
Matrix3 widthKeystone(const TransformParams& params) {
    const double w0 = params.widthAtY0;
    const double w1 = params.widthAtY100;
    Matrix3 k = identity();
    k.m[0][0] = static_cast<float>(ieeeDivide(100.0, w0));
    k.m[1][1] = static_cast<float>(ieeeDivide(w1, w0));
    k.m[1][2] = static_cast<float>(ieeeDivide(w1 - w0, 100.0 * w0));
    return k;
}

}  // namespace

int matrixInverse(const Matrix3& source, Matrix3& out) {
    const auto& m = source.m;
    const double m00 = m[0][0], m01 = m[0][1], m02 = m[0][2];
    const double m10 = m[1][0], m11 = m[1][1], m12 = m[1][2];
    const double m20 = m[2][0], m21 = m[2][1], m22 = m[2][2];
    const double det = m00 * (m11 * m22 - m12 * m21) - m01 * (m10 * m22 - m12 * m20) +
                       m02 * (m10 * m21 - m11 * m20);
    if (std::fabs(det) < kEpsilon) {
        diagnostics().write(formatText("det: %10.10f\n", det));
        matrixPrint(source);
        out = identity();
        return 0;
    }
    const double r = 1.0 / det;
    auto& o = out.m;
    o[0][0] = static_cast<float>((m11 * m22 - m12 * m21) * r);
    o[0][1] = static_cast<float>(-(m01 * m22 - m02 * m21) * r);
    o[0][2] = static_cast<float>((m01 * m12 - m02 * m11) * r);
    o[1][0] = static_cast<float>(-(m10 * m22 - m12 * m20) * r);
    o[1][1] = static_cast<float>((m00 * m22 - m02 * m20) * r);
    o[1][2] = static_cast<float>(-(m00 * m12 - m02 * m10) * r);
    o[2][0] = static_cast<float>((m10 * m21 - m11 * m20) * r);
    o[2][1] = static_cast<float>(-(m00 * m21 - m01 * m20) * r);
    o[2][2] = static_cast<float>((m00 * m11 - m01 * m10) * r);
    return 1;
}

void matrixMultiply(const Matrix3& left, const Matrix3& right, Matrix3& out) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k) sum += static_cast<double>(left.m[r][k]) * right.m[k][c];
            out.m[r][c] = static_cast<float>(sum);
        }
    }
}

static void matrixPrint(const Matrix3& matrix) {
    for (const auto& row : matrix.m) {
        diagnostics().write(formatText("%8.8f\t%8.8f\t%8.8f\n", static_cast<double>(row[0]),
                                       static_cast<double>(row[1]), static_cast<double>(row[2])));
    }
    diagnostics().write("\n");
}

Vector2 mapPoint(const Matrix3& matrix, double x, double y) {
    const auto& m = matrix.m;
    const float xp = static_cast<float>(x * m[0][0] + y * m[1][0] + m[2][0]);
    const float yp = static_cast<float>(x * m[0][1] + y * m[1][1] + m[2][1]);
    const double w = x * m[0][2] + y * m[1][2] + m[2][2];
    if (std::fabs(w) > kEpsilon) {
        const double inv = 1.0 / w;
        return {static_cast<float>(xp * inv), static_cast<float>(yp * inv)};
    }
    return {xp, yp};
}

void transformPoint(const Matrix3& matrix, const Vector2& in, Vector2& out) { out = mapPoint(matrix, in.x, in.y); }

void transformPointInPlace(const Matrix3& matrix, Vector2& point) {
    const Vector2 in = point;
    transformPoint(matrix, in, point);
}

float vectorNormalize(Vector2& vector) {
    const double x = vector.x;
    const double y = vector.y;
    const float length = static_cast<float>(std::sqrt(x * x + y * y));
    if (static_cast<double>(length) < kEpsilon) diagnostics().systemError("magnitude of zero");
    // The division goes ahead even for a zero length; its non-finite result is
    // the caller's to catch before anything turns it into an index.
    const double inv = ieeeDivide(1.0, length);
    vector = {static_cast<float>(x * inv), static_cast<float>(y * inv)};
    return length;
}

int lineIntersect(const EdgeLine& a, const EdgeLine& b, Vector2& out) {
    const double ax = a.origin.x, ay = a.origin.y, adx = a.direction.x, ady = a.direction.y;
    const double bx = b.origin.x, by = b.origin.y, bdx = b.direction.x, bdy = b.direction.y;
    const double den = ady * bdx - bdy * adx;
    if (std::fabs(den) < kEpsilon) return 0;
    const double t = ((by - ay) * bdx - (bx - ax) * bdy) / den;
    out = {static_cast<float>(ax + t * adx), static_cast<float>(ay + t * ady)};
    return 1;
}

int linePointAt(Vector2& out, const EdgeLine& line, float t) {
    const double td = t;
    out = {static_cast<float>(line.origin.x + td * line.direction.x),
           static_cast<float>(line.origin.y + td * line.direction.y)};
    return 1;
}

void buildForwardTransform(const TransformParams& params, Matrix3& out) {
    Matrix3 translate = identity();
    translate.m[2][0] = params.translateX;
    translate.m[2][1] = params.translateY;
    Matrix3 shearX = identity();
    shearX.m[1][0] = params.shearX;
    Matrix3 shearY = identity();
    shearY.m[0][1] = params.shearY;
    Matrix3 scale = identity();
    scale.m[0][0] = params.scaleX;
    scale.m[1][1] = params.scaleY;

    Matrix3 product = translate;
    multiplyInto(product, shearX);
    multiplyInto(product, shearY);
    multiplyInto(product, scale);
    multiplyInto(product, heightKeystone(params));
    multiplyInto(product, widthKeystone(params));
    out = product;
}

void buildInverseTransform(const TransformParams& params, Matrix3& out) {
    // A singular keystone matrix contributes the identity.
    Matrix3 widthInverse;
    matrixInverse(widthKeystone(params), widthInverse);
    Matrix3 heightInverse;
    matrixInverse(heightKeystone(params), heightInverse);
    Matrix3 scaleInverse = identity();
    scaleInverse.m[0][0] = static_cast<float>(ieeeDivide(1.0, params.scaleX));
    scaleInverse.m[1][1] = static_cast<float>(ieeeDivide(1.0, params.scaleY));
    Matrix3 shearYInverse = identity();
    shearYInverse.m[0][1] = -params.shearY;
    Matrix3 shearXInverse = identity();
    shearXInverse.m[1][0] = -params.shearX;
    Matrix3 translateInverse = identity();
    translateInverse.m[2][0] = -params.translateX;
    translateInverse.m[2][1] = -params.translateY;

    Matrix3 product = widthInverse;
    multiplyInto(product, heightInverse);
    multiplyInto(product, scaleInverse);
    multiplyInto(product, shearYInverse);
    multiplyInto(product, shearXInverse);
    multiplyInto(product, translateInverse);
    out = product;
}

double distance(const Vector2& a, const Vector2& b) {
    const double dx = static_cast<double>(a.x) - b.x;
    const double dy = static_cast<double>(a.y) - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

EdgeLine lineThrough(const Vector2& from, const Vector2& to) {
    const Vector2 span = difference(to, from);
    EdgeLine line;
    line.valid = 1;
    line.refined = 0;
    line.origin = from;
    line.direction = span;
    vectorNormalize(line.direction);
    line.tStart = 0.0f;
    line.tEnd = static_cast<float>(dot(span, line.direction));
    return line;
}

void updateSymbolTransform(Candidate& symbol) {
    buildForwardTransform(symbol.params, symbol.forwardTransform);
    buildInverseTransform(symbol.params, symbol.inverseTransform);
}

}  // namespace ternwick
