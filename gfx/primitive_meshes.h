// Cylinder (cone) and sphere meshes built in code: the obstacle cones and the target spheres.
#pragma once

#include <cstdint>

#include "gfx/graphics_device.h"

// The largest vertex count a built mesh may have: meshes are kept within 16-bit indices.
constexpr uint32_t kPrimitiveMaxVertices = 65535;

// A cylinder along the z axis, centred on the origin: radius1 at z = -length/2, radius2 at
// z = +length/2, `slices` facets around the axis and `stacks` bands along it, both ends closed
// (an end of radius 0 is a point and gets no cap). Smooth side normals, flat cap normals.
// Vertex format position + normal; one subset. Every triangle (a, b, c) has (b - a) x (c - a)
// pointing out of the solid, and no triangle is degenerate.
// Empty data (no vertices) when an argument is out of range: a negative or non-finite radius, a
// length that is not positive and finite, fewer than 3 slices, no stacks, both radii 0, or more
// than kPrimitiveMaxVertices vertices.
MeshData createCylinderMesh(float radius1, float radius2, float length, uint32_t slices,
                            uint32_t stacks);

// A sphere centred on the origin with its poles on the z axis: `slices` facets around, `stacks`
// bands from the +z pole to the -z pole. Normals are the unit radius directions. Same format,
// subset and winding rules as the cylinder. Empty data when radius is not positive and finite,
// slices < 3, stacks < 2, or the vertex count would pass kPrimitiveMaxVertices.
MeshData createSphereMesh(float radius, uint32_t slices, uint32_t stacks);
