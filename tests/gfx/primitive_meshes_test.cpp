// Shapes, counts and winding of the built cylinder (cone) and sphere meshes.
#include "gfx/primitive_meshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

#include "gfx/math.h"

namespace {

Vec3 corner(const MeshData& m, size_t face, int k) {
    return m.vertices[m.indices[face * 3 + k]].position;
}

Vec3 faceNormal(const MeshData& m, size_t face) {
    Vec3 a = corner(m, face, 0), b = corner(m, face, 1), c = corner(m, face, 2);
    return cross(b - a, c - a);
}

// Every face: not degenerate, its plain cross product agrees with each corner's vertex normal and
// points away from `inside`, a point inside the (convex) solid.
void expectOutwardWinding(const MeshData& m, Vec3 inside) {
    ASSERT_EQ(m.indices.size() % 3, 0u);
    for (size_t f = 0; f < m.indices.size() / 3; ++f) {
        Vec3 n = faceNormal(m, f);
        ASSERT_GT(length(n), 1e-6f) << "degenerate face " << f;
        EXPECT_GT(dot(n, corner(m, f, 0) - inside), 0.0f) << "face " << f << " faces inward";
        for (int k = 0; k < 3; ++k)
            EXPECT_GT(dot(n, m.vertices[m.indices[f * 3 + k]].normal), 0.0f)
                << "face " << f << " corner " << k;
    }
}

// The surface is closed and consistently oriented: every edge, taken by its end positions, is
// walked once in each direction.
void expectClosedSurface(const MeshData& m) {
    using Key = std::tuple<long, long, long, long, long, long>;
    auto q = [](float f) { return std::lround(f * 1e4f); };
    std::map<Key, int> edges;
    for (size_t f = 0; f < m.indices.size() / 3; ++f)
        for (int k = 0; k < 3; ++k) {
            Vec3 a = corner(m, f, k), b = corner(m, f, (k + 1) % 3);
            edges[{q(a.x), q(a.y), q(a.z), q(b.x), q(b.y), q(b.z)}] += 1;
        }
    for (const auto& [e, count] : edges) {
        auto [ax, ay, az, bx, by, bz] = e;
        Key reverse{bx, by, bz, ax, ay, az};
        EXPECT_EQ(count, 1);
        EXPECT_EQ(edges.count(reverse), 1u) << "open or flipped edge";
    }
}

// Signed volume by the divergence theorem: positive only when the faces wind outward.
double signedVolume(const MeshData& m) {
    double v = 0;
    for (size_t f = 0; f < m.indices.size() / 3; ++f)
        v += dot(corner(m, f, 0), cross(corner(m, f, 1), corner(m, f, 2))) / 6.0;
    return v;
}

void expectOneSubsetPositionNormal(const MeshData& m) {
    EXPECT_EQ(m.fvf, kFvfPositionNormal);
    EXPECT_EQ(m.faceSubsets.size(), m.indices.size() / 3);
    for (uint32_t s : m.faceSubsets) EXPECT_EQ(s, 0u);
    for (uint32_t i : m.indices) ASSERT_LT(i, m.vertices.size());
    for (const MeshVertex& v : m.vertices) EXPECT_NEAR(length(v.normal), 1.0f, 1e-5f);
}

TEST(ConeMesh, GameConeHasApexOnTopAndClosedUnitBase) {
    MeshData m = createCylinderMesh(1, 0, 1, 8, 2);
    // 3 side rings of 8, plus a base fan of centre + 8; the apex needs no cap.
    EXPECT_EQ(m.vertices.size(), 33u);
    // Lower band 2 x 8, upper band 8 (one triangle per slice meets the apex), base 8.
    EXPECT_EQ(m.indices.size() / 3, 32u);
    expectOneSubsetPositionNormal(m);

    float minZ = 1e9f, maxZ = -1e9f;
    int apexCorners = 0, baseRim = 0;
    for (const MeshVertex& v : m.vertices) {
        Vec3 p = v.position;
        minZ = std::min(minZ, p.z);
        maxZ = std::max(maxZ, p.z);
        float r = std::hypot(p.x, p.y);
        if (p.z == 0.5f) {
            EXPECT_EQ(r, 0.0f) << "only the apex reaches z = +0.5";
            ++apexCorners;
        }
        if (p.z == -0.5f && std::fabs(r - 1.0f) < 1e-6f)
            ++baseRim;
        // Every vertex lies on the cone r = 0.5 - z or on the base disc.
        if (p.z > -0.5f) {
            EXPECT_NEAR(r, 0.5f - p.z, 1e-6f);
        } else {
            EXPECT_TRUE(r < 1e-6f || std::fabs(r - 1.0f) < 1e-6f);
        }
    }
    EXPECT_EQ(minZ, -0.5f);
    EXPECT_EQ(maxZ, 0.5f);
    EXPECT_EQ(apexCorners, 8);  // one apex copy per slice, each with that slice's normal
    EXPECT_EQ(baseRim, 16);     // the side's bottom ring and the base fan's rim

    // The side normals lean up at 45 degrees; the base faces -z.
    for (const MeshVertex& v : m.vertices) {
        Vec3 p = v.position, n = v.normal;
        if (p.z == -0.5f && n.z < 0) {
            EXPECT_EQ(n.x, 0.0f);
            EXPECT_EQ(n.z, -1.0f);
        } else {
            EXPECT_NEAR(n.z, std::sqrt(0.5f), 1e-6f);
            EXPECT_NEAR(std::hypot(n.x, n.y), std::sqrt(0.5f), 1e-6f);
            if (std::hypot(p.x, p.y) > 0) {
                EXPECT_GT(n.x * p.x + n.y * p.y, 0.0f);
            }
        }
    }
    expectOutwardWinding(m, {0, 0, 0});
    expectClosedSurface(m);
    // An octagonal pyramid: base area 2 sqrt 2, height 1.
    EXPECT_NEAR(signedVolume(m), 2.0 * std::sqrt(2.0) / 3.0, 1e-5);
}

TEST(ConeMesh, FrontFacesTurnCounterClockwiseOnTheGamesScreen) {
    // The obstacle transform of a cone seen from the chase eye: faces towards the eye must come
    // out counter-clockwise in back-buffer pixels (y down), so the CullCW state keeps them.
    MeshData m = createCylinderMesh(1, 0, 1, 8, 2);
    Vec3 eye{0, 0, -20};
    Matrix world = matrixRotationX(-1.5707964f) * matrixTranslation(0, 0.5f, 0) *
                   matrixScaling(100, 150, 100) * matrixTranslation(120, -60, 400);
    Matrix viewProj = matrixLookAtRH(eye, {0, 0, 100}, {0, 1, 0}) *
                      matrixPerspectiveFovRH(1.3962635f, 640.0f / 480.0f, 0.05f, 2700.0f);
    int front = 0, back = 0;
    for (size_t f = 0; f < m.indices.size() / 3; ++f) {
        Vec3 w[3];
        float sx[3], sy[3];
        for (int k = 0; k < 3; ++k) {
            w[k] = transformCoord(corner(m, f, k), world);
            Vec3 ndc = transformCoord(w[k], viewProj);
            sx[k] = (ndc.x + 1) * 320;
            sy[k] = (1 - ndc.y) * 240;
        }
        float facing = dot(cross(w[1] - w[0], w[2] - w[0]), eye - w[0]);
        float turn = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sy[1] - sy[0]) * (sx[2] - sx[0]);
        if (std::fabs(facing) < 1e-3f)
            continue;  // edge-on
        // With y down, a negative turn is counter-clockwise.
        if (facing > 0) {
            EXPECT_LT(turn, 0.0f) << "front face " << f;
            ++front;
        } else {
            EXPECT_GT(turn, 0.0f) << "back face " << f;
            ++back;
        }
    }
    EXPECT_GT(front, 4);
    EXPECT_GT(back, 4);
}

TEST(CylinderMesh, GeneralCylinderPutsRadiiAtTheirEndsAndClosesBoth) {
    MeshData m = createCylinderMesh(2, 1, 3, 6, 3);
    EXPECT_EQ(m.vertices.size(), 4u * 6 + 7 + 7);
    EXPECT_EQ(m.indices.size() / 3, 3u * 6 * 2 + 6 + 6);
    expectOneSubsetPositionNormal(m);
    for (const MeshVertex& v : m.vertices) {
        float r = std::hypot(v.position.x, v.position.y);
        ASSERT_GE(v.position.z, -1.5f);
        ASSERT_LE(v.position.z, 1.5f);
        if (std::fabs(v.normal.z) < 0.99f) {  // side vertex
            EXPECT_NEAR(r, 2.0f - (v.position.z + 1.5f) / 3.0f, 1e-5f);
        }
    }
    expectOutwardWinding(m, {0, 0, 0});
    expectClosedSurface(m);
    // A frustum of hexagons: volume h/3 (A1 + A2 + sqrt(A1 A2)).
    double a1 = 1.5 * std::sqrt(3.0) * 4, a2 = 1.5 * std::sqrt(3.0);
    EXPECT_NEAR(signedVolume(m), 3.0 / 3.0 * (a1 + a2 + std::sqrt(a1 * a2)), 1e-4);
}

TEST(CylinderMesh, UpsideDownConeAndStraightCylinderStayOutward) {
    MeshData down = createCylinderMesh(0, 1, 1, 8, 2);
    EXPECT_EQ(down.vertices.size(), 33u);
    EXPECT_EQ(down.indices.size() / 3, 32u);
    expectOutwardWinding(down, {0, 0, 0});
    expectClosedSurface(down);

    MeshData tube = createCylinderMesh(1, 1, 2, 3, 1);
    EXPECT_EQ(tube.vertices.size(), 2u * 3 + 4 + 4);
    EXPECT_EQ(tube.indices.size() / 3, 6u + 3 + 3);
    for (const MeshVertex& v : tube.vertices)
        if (std::fabs(v.normal.z) < 0.5f) {
            EXPECT_EQ(v.normal.z, 0.0f);
        }
    expectOutwardWinding(tube, {0, 0, 0});
    expectClosedSurface(tube);
}

TEST(CylinderMesh, OutOfRangeArgumentsGiveEmptyData) {
    EXPECT_TRUE(createCylinderMesh(1, 0, 1, 2, 2).vertices.empty());
    EXPECT_TRUE(createCylinderMesh(1, 0, 1, 8, 0).vertices.empty());
    EXPECT_TRUE(createCylinderMesh(-1, 0, 1, 8, 2).vertices.empty());
    EXPECT_TRUE(createCylinderMesh(1, 0, 0, 8, 2).vertices.empty());
    EXPECT_TRUE(createCylinderMesh(1, 0, -1, 8, 2).vertices.empty());
    EXPECT_TRUE(createCylinderMesh(0, 0, 1, 8, 2).vertices.empty());
    EXPECT_TRUE(createCylinderMesh(std::nanf(""), 0, 1, 8, 2).vertices.empty());
    EXPECT_TRUE(createCylinderMesh(1, INFINITY, 1, 8, 2).vertices.empty());
    // Beyond 16-bit indices, not a huge allocation.
    EXPECT_TRUE(createCylinderMesh(1, 1, 1, 0xFFFFFFFFu, 0xFFFFFFFFu).vertices.empty());
    EXPECT_TRUE(createCylinderMesh(1, 1, 1, 30000, 1).vertices.empty());
    EXPECT_FALSE(createCylinderMesh(1, 1, 1, 16000, 1).vertices.empty());
}

TEST(SphereMesh, TargetSphereHasPolesOnZAndUnitRadius) {
    MeshData m = createSphereMesh(1, 12, 12);
    EXPECT_EQ(m.vertices.size(), 12u * 11 + 2);
    EXPECT_EQ(m.indices.size() / 3, 2u * 12 * 11);
    expectOneSubsetPositionNormal(m);
    int poles = 0;
    for (const MeshVertex& v : m.vertices) {
        EXPECT_NEAR(length(v.position), 1.0f, 1e-6f);
        EXPECT_NEAR(v.normal.x, v.position.x, 1e-6f);
        EXPECT_NEAR(v.normal.y, v.position.y, 1e-6f);
        EXPECT_NEAR(v.normal.z, v.position.z, 1e-6f);
        if (std::fabs(v.position.z) == 1.0f) {
            EXPECT_EQ(v.position.x, 0.0f);
            ++poles;
        }
    }
    EXPECT_EQ(poles, 2);
    expectOutwardWinding(m, {0, 0, 0});
    expectClosedSurface(m);
    double v = signedVolume(m);
    EXPECT_GT(v, 0.9 * 4.0 / 3.0 * 3.14159265);
    EXPECT_LT(v, 4.0 / 3.0 * 3.14159265);
}

TEST(SphereMesh, RadiusScalesPositionsNotNormals) {
    MeshData m = createSphereMesh(2.5f, 5, 2);
    EXPECT_EQ(m.vertices.size(), 7u);
    EXPECT_EQ(m.indices.size() / 3, 10u);
    for (const MeshVertex& v : m.vertices) {
        EXPECT_NEAR(length(v.position), 2.5f, 1e-5f);
        EXPECT_NEAR(length(v.normal), 1.0f, 1e-6f);
    }
    expectOutwardWinding(m, {0, 0, 0});
    expectClosedSurface(m);
}

TEST(SphereMesh, OutOfRangeArgumentsGiveEmptyData) {
    EXPECT_TRUE(createSphereMesh(0, 12, 12).vertices.empty());
    EXPECT_TRUE(createSphereMesh(-1, 12, 12).vertices.empty());
    EXPECT_TRUE(createSphereMesh(std::nanf(""), 12, 12).vertices.empty());
    EXPECT_TRUE(createSphereMesh(1, 2, 12).vertices.empty());
    EXPECT_TRUE(createSphereMesh(1, 12, 1).vertices.empty());
    EXPECT_TRUE(createSphereMesh(1, 0xFFFFFFFFu, 0xFFFFFFFFu).vertices.empty());
    EXPECT_TRUE(createSphereMesh(1, 1000, 100).vertices.empty());
}

}  // namespace
