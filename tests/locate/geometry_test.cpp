#include "locate/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/diagnostics.h"
#include "sample/symbol_result.h"

namespace ternwick {
namespace {

Vector2 mapped(const Matrix3& m, float x, float y) {
    Vector2 out;
    transformPoint(m, {x, y}, out);
    return out;
}

void expectNear(const Vector2& v, double x, double y, double tolerance = 1e-4) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
}

void expectIdentity(const Matrix3& m) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f) << r << c;
    }
}

EdgeLine lineAlong(float ox, float oy, float dx, float dy) {
    EdgeLine line;
    line.valid = 1;
    line.origin = {ox, oy};
    line.direction = {dx, dy};
    return line;
}

TEST(SymbolTransform, NeutralParametersGiveIdentityBothWays) {
    Matrix3 forward;
    Matrix3 inverse;
    buildForwardTransform(kNeutralTransformParams, forward);
    buildInverseTransform(kNeutralTransformParams, inverse);
    expectIdentity(forward);
    expectIdentity(inverse);
}

TEST(SymbolTransform, TranslationAndKeystoneMapTheSquareCorners) {
    TransformParams shifted = kNeutralTransformParams;
    shifted.translateX = -10;
    shifted.translateY = -20;
    Matrix3 forward;
    Matrix3 inverse;
    buildForwardTransform(shifted, forward);
    buildInverseTransform(shifted, inverse);
    expectNear(mapped(forward, 110, 20), 100, 0);
    expectNear(mapped(forward, 10, 120), 0, 100);
    expectNear(mapped(inverse, 100, 0), 110, 20);
    expectNear(mapped(inverse, 0, 100), 10, 120);

    TransformParams keystone = kNeutralTransformParams;
    keystone.heightAtX0 = 50;
    buildForwardTransform(keystone, forward);
    expectNear(mapped(forward, 0, 50), 0, 100);
    expectNear(mapped(forward, 100, 100), 100, 100);
    expectNear(mapped(forward, 100, 0), 100, 0);

    keystone = kNeutralTransformParams;
    keystone.widthAtY0 = 80;
    keystone.widthAtY100 = 120;
    buildForwardTransform(keystone, forward);
    expectNear(mapped(forward, 80, 0), 100, 0);
    expectNear(mapped(forward, 120, 100), 100, 100);
    expectNear(mapped(forward, 0, 100), 0, 100);
}

TEST(SymbolTransform, InverseUndoesForwardForEveryParameter) {
    SymbolResult symbol;
    symbol.params = {-12.5f, 7.25f, 0.3f, -0.2f, 1.7f, 0.6f, 90.0f, 110.0f, 95.0f, 104.0f};
    updateSymbolTransform(symbol);
    for (const Vector2 p : {Vector2{0, 0}, Vector2{40, 75}, Vector2{130, -20}, Vector2{-5.5f, 61}}) {
        Vector2 there;
        transformPoint(symbol.forwardTransform, p, there);
        Vector2 back = there;
        transformPointInPlace(symbol.inverseTransform, back);
        expectNear(back, p.x, p.y, 2e-3);
    }
}

TEST(SymbolTransform, ProductAppliesTheLeftFactorFirst) {
    Matrix3 translate = kIdentityMatrix;
    translate.m[2][0] = 5;
    Matrix3 scale = kIdentityMatrix;
    scale.m[0][0] = 2;
    Matrix3 product;
    matrixMultiply(translate, scale, product);
    expectNear(mapped(product, 1, 0), 12, 0);  // (1 + 5) * 2
    matrixMultiply(kIdentityMatrix, scale, product);
    EXPECT_EQ(product.m[0][0], 2.0f);
    matrixMultiply(translate, kIdentityMatrix, product);
    EXPECT_EQ(product.m[2][0], 5.0f);
}

TEST(MatrixInverse, SingularMatrixReportsAndYieldsIdentity) {
    // The nearest float to 1e-6 lies just below it: too small a determinant.
    Matrix3 nearlySingular = kIdentityMatrix;
    nearlySingular.m[0][0] = 1e-6f;
    nearlySingular.m[2][1] = 3.5f;
    Matrix3 out;
    out.m[1][1] = 9;
    CapturingDiagnosticSink sink;
    {
        ScopedDiagnosticSink scope(sink);
        EXPECT_EQ(matrixInverse(nearlySingular, out), 0);
    }
    expectIdentity(out);
    EXPECT_EQ(sink.output,
              "det: 0.0000010000\n"
              "0.00000100\t0.00000000\t0.00000000\n"
              "0.00000000\t1.00000000\t0.00000000\n"
              "0.00000000\t3.50000000\t1.00000000\n"
              "\n");

    // The next float up is inverted, silently.
    Matrix3 justRegular = nearlySingular;
    justRegular.m[0][0] = std::nextafter(1e-6f, 1.0f);
    CapturingDiagnosticSink quiet;
    {
        ScopedDiagnosticSink scope(quiet);
        EXPECT_EQ(matrixInverse(justRegular, out), 1);
    }
    EXPECT_EQ(quiet.output, "");
    EXPECT_NEAR(out.m[0][0], 1.0 / justRegular.m[0][0], 1.0);
    EXPECT_EQ(out.m[2][1], -3.5f);
}

TEST(TransformPoint, VanishingWeightLeavesThePointUndivided) {
    Matrix3 projective = kIdentityMatrix;
    projective.m[0][2] = std::ldexp(1.0f, -20);  // w = x * 2^-20: about 0.95e-6 at x = 1
    projective.m[2][2] = 0.0f;
    projective.m[2][0] = 3;
    expectNear(mapped(projective, 1, 4), 4, 4);  // w below 1e-6: undivided
    expectNear(mapped(projective, 2, 4), 5 * 524288.0, 4 * 524288.0, 1.0);  // w = 2^-19: divided
}

TEST(VectorNormalize, UnitVectorAndZeroLengthReport) {
    Vector2 v{3, -4};
    EXPECT_FLOAT_EQ(vectorNormalize(v), 5.0f);
    expectNear(v, 0.6, -0.8, 1e-7);

    CapturingDiagnosticSink sink;
    Vector2 zero{0, 0};
    {
        ScopedDiagnosticSink scope(sink);
        EXPECT_EQ(vectorNormalize(zero), 0.0f);
    }
    EXPECT_EQ(sink.errors, "magnitude of zero\n");
    EXPECT_TRUE(std::isnan(zero.x) && std::isnan(zero.y));
}

TEST(LineIntersect, MeetsCrossingLinesAndRefusesParallelOnes) {
    Vector2 out{-1, -1};
    ASSERT_EQ(lineIntersect(lineAlong(0, 2, 1, 0), lineAlong(5, -3, 0, 1), out), 1);
    expectNear(out, 5, 2, 1e-6);

    out = {-1, -1};
    EXPECT_EQ(lineIntersect(lineAlong(0, 0, 1, 0), lineAlong(0, 5, -1, 0), out), 0);
    // Directions whose cross product stays below 1e-6.
    EXPECT_EQ(lineIntersect(lineAlong(0, 0, 1, 0), lineAlong(0, 5, 1, 5e-7f), out), 0);
    EXPECT_EQ(out.x, -1.0f);
    EXPECT_EQ(out.y, -1.0f);

    Vector2 at;
    EdgeLine line = lineAlong(1, 2, 0.6f, 0.8f);
    EXPECT_EQ(linePointAt(at, line, 10), 1);
    expectNear(at, 7, 10, 1e-5);
}

TEST(SymbolTransform, ZeroKeystoneGivesNonFiniteEntriesWithoutFault) {
    TransformParams degenerate = kNeutralTransformParams;
    degenerate.heightAtX0 = 0;
    degenerate.scaleX = 0;
    Matrix3 forward;
    Matrix3 inverse;
    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scope(sink);
    buildForwardTransform(degenerate, forward);
    buildInverseTransform(degenerate, inverse);
    EXPECT_FALSE(std::isfinite(forward.m[1][1]));
}

}  // namespace
}  // namespace ternwick
