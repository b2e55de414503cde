// Cylinder (cone) and sphere meshes built in code: rings of vertices joined into triangles wound
// so that every face's plain cross product points out of the solid.
#include "gfx/primitive_meshes.h"

#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;

uint32_t addVertex(MeshData& mesh, double x, double y, double z, Vec3 normal) {
    MeshVertex v;
    v.position = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    v.normal = normal;
    mesh.vertices.push_back(v);
    return static_cast<uint32_t>(mesh.vertices.size() - 1);
}

void addTriangle(MeshData& mesh, uint32_t a, uint32_t b, uint32_t c) {
    mesh.indices.insert(mesh.indices.end(), {a, b, c});
    mesh.faceSubsets.push_back(0);
}

bool finiteNonNegative(float f) {
    return std::isfinite(f) && f >= 0.0f;
}

}  // namespace

MeshData createCylinderMesh(float radius1, float radius2, float length, uint32_t slices,
                            uint32_t stacks) {
    if (!finiteNonNegative(radius1) || !finiteNonNegative(radius2) || !std::isfinite(length) ||
        !(length > 0.0f) || slices < 3 || stacks < 1 || (radius1 == 0.0f && radius2 == 0.0f))
        return {};
    const bool bottomCap = radius1 > 0.0f, topCap = radius2 > 0.0f;
    uint64_t vertexCount = (uint64_t{stacks} + 1) * slices;
    if (bottomCap)
        vertexCount += uint64_t{slices} + 1;
    if (topCap)
        vertexCount += uint64_t{slices} + 1;
    if (vertexCount > kPrimitiveMaxVertices)
        return {};

    MeshData mesh;
    mesh.fvf = kFvfPositionNormal;
    mesh.vertices.reserve(static_cast<size_t>(vertexCount));
    const double r1 = radius1, r2 = radius2, len = length;

    // The side: stacks + 1 rings from z = -length/2 up to +length/2. The side normal leans along
    // z by the slope of the radius, so a cone's normals point up and out.
    std::vector<double> ringRadius(stacks + 1);
    for (uint32_t k = 0; k <= stacks; ++k) {
        double t = static_cast<double>(k) / stacks;
        double r = r1 * (1.0 - t) + r2 * t;
        double z = -len / 2 + len * t;
        ringRadius[k] = r;
        for (uint32_t j = 0; j < slices; ++j) {
            double a = kTwoPi * j / slices;
            double c = std::cos(a), s = std::sin(a);
            Vec3 n = normalize(Vec3{static_cast<float>(len * c), static_cast<float>(len * s),
                                    static_cast<float>(r1 - r2)});
            addVertex(mesh, r * c, r * s, z, n);
        }
    }
    auto ring = [slices](uint32_t k, uint32_t j) { return k * slices + j % slices; };
    for (uint32_t k = 0; k < stacks; ++k) {
        for (uint32_t j = 0; j < slices; ++j) {
            uint32_t a = ring(k, j), b = ring(k, j + 1), c = ring(k + 1, j), d = ring(k + 1, j + 1);
            // A ring of radius 0 is a single point: the triangle with two corners on it vanishes.
            if (ringRadius[k] > 0.0)
                addTriangle(mesh, a, b, c);
            if (ringRadius[k + 1] > 0.0)
                addTriangle(mesh, b, d, c);
        }
    }

    // The caps: a fan around a centre vertex, with their own flat normals.
    auto addCap = [&](double r, double z, float nz) {
        uint32_t centre = addVertex(mesh, 0, 0, z, {0, 0, nz});
        uint32_t first = centre + 1;
        for (uint32_t j = 0; j < slices; ++j) {
            double a = kTwoPi * j / slices;
            addVertex(mesh, r * std::cos(a), r * std::sin(a), z, {0, 0, nz});
        }
        for (uint32_t j = 0; j < slices; ++j) {
            uint32_t here = first + j, next = first + (j + 1) % slices;
            if (nz < 0)
                addTriangle(mesh, centre, next, here);
            else
                addTriangle(mesh, centre, here, next);
        }
    };
    if (bottomCap)
        addCap(r1, -len / 2, -1.0f);
    if (topCap)
        addCap(r2, len / 2, 1.0f);
    return mesh;
}

MeshData createSphereMesh(float radius, uint32_t slices, uint32_t stacks) {
    if (!std::isfinite(radius) || !(radius > 0.0f) || slices < 3 || stacks < 2)
        return {};
    uint64_t vertexCount = uint64_t{slices} * (stacks - 1) + 2;
    if (vertexCount > kPrimitiveMaxVertices)
        return {};

    MeshData mesh;
    mesh.fvf = kFvfPositionNormal;
    mesh.vertices.reserve(static_cast<size_t>(vertexCount));
    const double r = radius;

    // The +z pole, stacks - 1 rings going down, then the -z pole.
    const uint32_t top = addVertex(mesh, 0, 0, r, {0, 0, 1});
    for (uint32_t i = 1; i < stacks; ++i) {
        double polar = kPi * i / stacks;
        double sp = std::sin(polar), cp = std::cos(polar);
        for (uint32_t j = 0; j < slices; ++j) {
            double a = kTwoPi * j / slices;
            double nx = sp * std::cos(a), ny = sp * std::sin(a);
            addVertex(mesh, r * nx, r * ny, r * cp,
                      {static_cast<float>(nx), static_cast<float>(ny), static_cast<float>(cp)});
        }
    }
    const uint32_t bottom = addVertex(mesh, 0, 0, -r, {0, 0, -1});

    auto ring = [slices](uint32_t i, uint32_t j) { return 1 + (i - 1) * slices + j % slices; };
    for (uint32_t j = 0; j < slices; ++j) addTriangle(mesh, ring(1, j), ring(1, j + 1), top);
    // Ring i lies above ring i + 1; each band is wound as the cylinder's side.
    for (uint32_t i = 1; i + 1 < stacks; ++i) {
        for (uint32_t j = 0; j < slices; ++j) {
            uint32_t a = ring(i + 1, j), b = ring(i + 1, j + 1), c = ring(i, j), d = ring(i, j + 1);
            addTriangle(mesh, a, b, c);
            addTriangle(mesh, b, d, c);
        }
    }
    for (uint32_t j = 0; j < slices; ++j)
        addTriangle(mesh, bottom, ring(stacks - 1, j + 1), ring(stacks - 1, j));
    return mesh;
}
