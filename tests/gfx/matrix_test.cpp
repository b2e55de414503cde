// Matrix builders against hand-computed results.
#include <gtest/gtest.h>

#include <cmath>

#include "gfx/math.h"

namespace {

void expectNear(Vec3 a, Vec3 b, float tol = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

TEST(Matrix, RotationsTurnAxesInTheGameSense) {
    float t = 0.5f, c = std::cos(t), s = std::sin(t);
    Vec3 p{1, 2, 3};
    expectNear(transformCoord(p, matrixRotationX(t)), {1, 2 * c - 3 * s, 2 * s + 3 * c});
    expectNear(transformCoord(p, matrixRotationY(t)), {1 * c + 3 * s, 2, -1 * s + 3 * c});
    expectNear(transformCoord(p, matrixRotationZ(t)), {1 * c - 2 * s, 1 * s + 2 * c, 3});
}

TEST(Matrix, ProductActsLeftFactorFirst) {
    // Scale then translate is not translate then scale.
    Matrix st = matrixScaling(2, 2, 2) * matrixTranslation(10, 0, 0);
    Matrix ts = matrixTranslation(10, 0, 0) * matrixScaling(2, 2, 2);
    expectNear(transformCoord({1, 0, 0}, st), {12, 0, 0});
    expectNear(transformCoord({1, 0, 0}, ts), {22, 0, 0});
}

TEST(Matrix, LookAtFromZAxisEyeMirrorsX) {
    for (float e : {0.0f, -20.0f}) {
        Matrix v = matrixLookAtRH({0, 0, e}, {0, 0, 100}, {0, 1, 0});
        expectNear(transformCoord({3, 4, 5}, v), {-3, 4, e - 5});
        expectNear(transformCoord({-7, 1, 250}, v), {7, 1, e - 250});
    }
}

TEST(Matrix, PerspectiveMapsNearAndFarToDepthZeroAndOne) {
    float n = 0.05f, f = 2700.0f;
    Matrix p = matrixPerspectiveFovRH(1.3962635f, 640.0f / 480.0f, n, f);
    // View space looks down -z.
    Vec4 atNear = transformPoint({0, 0, -n}, p);
    Vec4 atFar = transformPoint({0, 0, -f}, p);
    EXPECT_NEAR(atNear.w, n, 1e-6);
    EXPECT_NEAR(atNear.z / atNear.w, 0.0f, 1e-5);
    EXPECT_NEAR(atFar.w, f, 1e-3);
    EXPECT_NEAR(atFar.z / atFar.w, 1.0f, 1e-5);
    Vec4 mid = transformPoint({0, 0, -100}, p);
    EXPECT_NEAR(mid.w, 100.0f, 1e-4);
    EXPECT_NEAR(mid.z, f / (n - f) * -100.0f + n * f / (n - f), 1e-3);
    float yScale = 1.0f / std::tan(1.3962635f / 2);
    EXPECT_NEAR(p.m[1][1], yScale, 1e-6);
    EXPECT_NEAR(p.m[0][0], yScale / (640.0f / 480.0f), 1e-6);
}

}  // namespace
