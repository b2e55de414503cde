// Drawing helpers shared by the pictures: anti-aliased coverage of strokes and polygons,
// and deterministic value noise.
#pragma once

#include <cstdint>
#include <vector>

struct Point {
    float x = 0, y = 0;
};

float clamp01(float v);
float smoothstep(float edge0, float edge1, float v);
float lerp(float a, float b, float t);

// Distance from p to the segment a-b.
float segmentDistance(Point p, Point a, Point b);

// A polyline stroke of the given half width; coverage of a pixel centred on p, from the
// distance to the nearest segment (a one-pixel ramp across the edge).
struct Stroke {
    std::vector<Point> points;
};
float strokeCoverage(const std::vector<Stroke>& strokes, Point p, float halfWidth);

// Elliptic arc through angles a0..a1 (degrees, counter-clockwise on screen, 0 = right,
// 90 = up), appended to a stroke as `steps` segments.
void appendArc(Stroke& s, Point centre, float rx, float ry, float a0Deg, float a1Deg, int steps);

// Even-odd inside test, and the fraction of the pixel square [x, x+1) x [y, y+1) inside,
// from an n-by-n grid of samples.
bool insidePolygon(const std::vector<Point>& poly, Point p);
float polygonCoverage(const std::vector<Point>& poly, int x, int y, int n = 4);

// Integer hash of a lattice point, 0..1, and smooth value noise built from it.
float hash01(int32_t x, int32_t y, uint32_t seed);
float valueNoise(float x, float y, uint32_t seed);
// Sum of `octaves` value-noise layers, each at twice the frequency and half the amplitude,
// scaled to 0..1.
float fractalNoise(float x, float y, uint32_t seed, int octaves);
