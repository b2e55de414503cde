// Anti-aliased coverage and value noise for the generator's pictures.
#include "raster.h"

#include <algorithm>
#include <cmath>

float clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

float smoothstep(float edge0, float edge1, float v) {
    float t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

float lerp(float a, float b, float t) {
    return a + (b - a) * t;
}

float segmentDistance(Point p, Point a, Point b) {
    float dx = b.x - a.x, dy = b.y - a.y;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0.0f ? clamp01(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2) : 0.0f;
    float ex = p.x - (a.x + t * dx), ey = p.y - (a.y + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

float strokeCoverage(const std::vector<Stroke>& strokes, Point p, float halfWidth) {
    float best = 1e9f;
    for (const Stroke& s : strokes) {
        if (s.points.size() == 1) {
            best = std::min(best, segmentDistance(p, s.points[0], s.points[0]));
        }
        for (size_t i = 1; i < s.points.size(); ++i) {
            best = std::min(best, segmentDistance(p, s.points[i - 1], s.points[i]));
        }
    }
    return clamp01(halfWidth + 0.5f - best);
}

void appendArc(Stroke& s, Point centre, float rx, float ry, float a0Deg, float a1Deg, int steps) {
    const float kPi = 3.14159265358979f;
    for (int i = 0; i <= steps; ++i) {
        float a = (a0Deg + (a1Deg - a0Deg) * i / steps) * kPi / 180.0f;
        s.points.push_back({centre.x + rx * std::cos(a), centre.y - ry * std::sin(a)});
    }
}

bool insidePolygon(const std::vector<Point>& poly, Point p) {
    bool inside = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Point& a = poly[i];
        const Point& b = poly[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
            inside = !inside;
        }
    }
    return inside;
}

float polygonCoverage(const std::vector<Point>& poly, int x, int y, int n) {
    int hits = 0;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            Point p{x + (i + 0.5f) / n, y + (j + 0.5f) / n};
            hits += insidePolygon(poly, p) ? 1 : 0;
        }
    }
    return static_cast<float>(hits) / (n * n);
}

float hash01(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^
                 seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return (h & 0xFFFFFF) / 16777215.0f;
}

float valueNoise(float x, float y, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    float top = lerp(hash01(ix, iy, seed), hash01(ix + 1, iy, seed), tx);
    float bottom = lerp(hash01(ix, iy + 1, seed), hash01(ix + 1, iy + 1, seed), tx);
    return lerp(top, bottom, ty);
}

float fractalNoise(float x, float y, uint32_t seed, int octaves) {
    float sum = 0.0f, amplitude = 1.0f, total = 0.0f, scale = 1.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * valueNoise(x * scale, y * scale, seed + o * 101u);
        total += amplitude;
        amplitude *= 0.5f;
        scale *= 2.0f;
    }
    return sum / total;
}
