// The game's pictures, drawn procedurally with anti-aliased coverage.
#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "raster.h"

namespace {

constexpr float kPi = 3.14159265358979f;

Colour rgb(int r, int g, int b) {
    return {r / 255.0f, g / 255.0f, b / 255.0f, 1.0f};
}

// ---------------------------------------------------------------------------------------------
// Background: a low, level view over farmland towards distant hills. The ground is drawn in
// true perspective for the game's camera (eye 60 units above the ground, 80 degree vertical
// field of view over 480 rows), so the picture's horizon matches the 3D scene's.

constexpr float kEyeHeight = 60.0f;
// Rows per unit of tan(angle below the horizon): 240 / tan(40 degrees).
const float kFocal = 240.0f / std::tan(40.0f * kPi / 180.0f);
// Matches the scene's white exponential fog, so the ground fades like the cones do.
constexpr float kFogDensity = 0.0004f;
const Colour kHaze = rgb(216, 228, 224);

const Colour kFieldColours[] = {rgb(98, 146, 62),  rgb(128, 162, 72), rgb(160, 154, 84),
                                rgb(184, 168, 98), rgb(112, 122, 62), rgb(86, 130, 70),
                                rgb(140, 150, 70), rgb(104, 138, 80)};
constexpr int kFieldColourCount = sizeof(kFieldColours) / sizeof(kFieldColours[0]);

// What a field looks like from so far away that its own colour no longer shows.
const Colour kAverageFieldColour = [] {
    Colour sum{0, 0, 0, 1};
    for (const Colour& c : kFieldColours) {
        sum.r += c.r / kFieldColourCount;
        sum.g += c.g / kFieldColourCount;
        sum.b += c.b / kFieldColourCount;
    }
    return sum;
}();

// Fraction of a box filter of width w centred at d that falls inside the band |d| < half.
float bandCoverage(float d, float half, float w) {
    float lo = std::max(d - w * 0.5f, -half), hi = std::min(d + w * 0.5f, half);
    return hi > lo ? (hi - lo) / w : 0.0f;
}

// Ground colour at world point (x, z), seen through a pixel that spans w world units; every
// feature fades to its mean once it is finer than the pixel, so the far field does not alias.
Colour groundColour(float x, float z, float w) {
    const float angle = 0.35f, cellU = 190.0f, cellV = 140.0f;
    float u = x * std::cos(angle) + z * std::sin(angle);
    float v = -x * std::sin(angle) + z * std::cos(angle);
    int row = static_cast<int>(std::floor(v / cellV));
    float shiftedU = u + hash01(row, 0, 7) * cellU;
    int column = static_cast<int>(std::floor(shiftedU / cellU));
    float du = shiftedU - column * cellU, dv = v - row * cellV;
    float kind = hash01(row, column, 3);
    int index = std::min(kFieldColourCount - 1, static_cast<int>(kind * kFieldColourCount));
    Colour c = mix(kAverageFieldColour, kFieldColours[index], clamp01(1.5f - w / 80.0f));

    // Ploughed or sown rows in the yellower fields.
    if (index == 2 || index == 3 || index == 6) {
        float rows = std::sin(2.0f * kPi * dv / 9.0f);
        c = scaled(c, 1.0f + 0.08f * rows * clamp01(1.0f - w / 4.5f));
    }
    // Woods: large dark patches that ignore the field borders.
    float wood = fractalNoise(x / 320.0f, z / 320.0f, 41, 3);
    float woodEdge = std::max(0.02f, w / 320.0f);
    c = mix(c, rgb(52, 88, 46), smoothstep(0.64f - woodEdge, 0.64f + woodEdge, wood));
    // Hedgerows along the field borders.
    float edge = std::min(std::min(du, cellU - du), std::min(dv, cellV - dv));
    c = mix(c, rgb(58, 88, 44), 0.85f * bandCoverage(edge, 1.6f, std::max(w, 0.01f)));
    // A river winding away from the viewer.
    float riverX = 40.0f + 260.0f * std::sin(z / 700.0f + 0.3f);
    float river = bandCoverage(x - riverX, 13.0f, std::max(w, 0.01f));
    c = mix(c, rgb(92, 132, 150), river);
    // Mottling and grass grain, only where the pixel is fine enough to show them.
    float mottle = fractalNoise(x / 24.0f, z / 24.0f, 5, 3) - 0.5f;
    float grain = valueNoise(x / 1.6f, z / 1.6f, 9) - 0.5f;
    float blades = valueNoise(x / 0.35f, z / 0.35f, 13) - 0.5f;
    float k = 1.0f + 0.30f * mottle * clamp01(1.0f - w / 12.0f) +
              0.30f * grain * clamp01(1.0f - w / 1.2f) + 0.30f * blades * clamp01(1.0f - w / 0.3f);
    return scaled(c, k);
}

// Ground pixel below the horizon, supersampled (finer vertically near the horizon, where one
// row spans a long stretch of ground).
Colour groundPixel(int px, int py) {
    float rowsBelow = py + 0.5f - kBackgroundHorizonRow;
    int nx = 2, ny = rowsBelow < 48.0f ? 8 : 2;
    Colour sum{0, 0, 0, 1};
    for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
            float sy = py + (j + 0.5f) / ny - kBackgroundHorizonRow;
            float sx = px + (i + 0.5f) / nx - kBackgroundCentreColumn;
            float z = kEyeHeight * kFocal / sy;
            float x = -sx * z / kFocal;  // the world's +x shows on the left
            float across = z / kFocal / nx;
            float along = kEyeHeight * kFocal / (sy * sy) / ny;
            Colour c = groundColour(x, z, std::max(across, along));
            float distance = std::sqrt(x * x + z * z + kEyeHeight * kEyeHeight);
            c = mix(kHaze, c, std::exp(-kFogDensity * distance));
            sum.r += c.r / (nx * ny);
            sum.g += c.g / (nx * ny);
            sum.b += c.b / (nx * ny);
        }
    }
    // Nearer ground lies in the shadow of the viewer's own height: darken towards the bottom.
    float nearness = rowsBelow / (kBackgroundSize - kBackgroundHorizonRow);
    return scaled(sum, 1.0f - 0.42f * std::pow(nearness, 1.2f));
}

struct HillLayer {
    float base, amplitude, scale, exponent;
    uint32_t seed;
    Colour colour;
    float haze;  // share of the haze colour mixed in
};

float hillHeight(const HillLayer& layer, float x) {
    float n = fractalNoise(x / layer.scale, layer.seed * 0.37f, layer.seed, 5);
    return layer.base + layer.amplitude * std::pow(n, layer.exponent);
}

// ---------------------------------------------------------------------------------------------
// Digits: a rounded stroke font, ten glyphs 10 pixels wide and 28 high inside a 16 by 36 cell.

constexpr float kDigitHalfWidth = 1.7f;

std::vector<Stroke> digitStrokes(int d) {
    std::vector<Stroke> strokes;
    Stroke s;
    switch (d) {
        case 0:
            appendArc(s, {8, 9}, 5, 5, 0, 180, 16);
            appendArc(s, {8, 27}, 5, 5, 180, 360, 16);
            s.points.push_back({13, 9});
            strokes.push_back(s);
            break;
        case 1:
            strokes.push_back({{{5, 8}, {9, 4}, {9, 32}}});
            strokes.push_back({{{5.5f, 32}, {12.5f, 32}}});
            break;
        case 2:
            appendArc(s, {8, 9.5f}, 5, 5.5f, 160, -40, 20);
            s.points.push_back({3, 32});
            s.points.push_back({13, 32});
            strokes.push_back(s);
            break;
        case 3:
            s.points.push_back({6, 17});
            appendArc(s, {8, 10.5f}, 5, 6.5f, -90, 150, 24);
            strokes.push_back(s);
            s.points.clear();
            appendArc(s, {8, 24.5f}, 5, 7.5f, 90, -150, 24);
            strokes.push_back(s);
            break;
        case 4:
            strokes.push_back({{{11, 32}, {11, 4}, {3, 24}, {13.5f, 24}}});
            break;
        case 5:
            s.points = {{12.5f, 4}, {4, 4}, {3.6f, 17}};
            appendArc(s, {8, 23.5f}, 5, 8.5f, 125, -135, 24);
            strokes.push_back(s);
            break;
        case 6:
            appendArc(s, {8, 24}, 5, 8, 0, 360, 32);
            strokes.push_back(s);
            s.points.clear();
            appendArc(s, {13, 24}, 10, 20, 100, 180, 16);
            strokes.push_back(s);
            break;
        case 7:
            strokes.push_back({{{3, 4}, {13, 4}, {6.5f, 32}}});
            break;
        case 8:
            appendArc(s, {8, 10.5f}, 4.3f, 6.5f, 0, 360, 28);
            strokes.push_back(s);
            s.points.clear();
            appendArc(s, {8, 24.5f}, 5, 7.5f, 0, 360, 32);
            strokes.push_back(s);
            break;
        default:  // 9: the 6 turned half round
            appendArc(s, {8, 12}, 5, 8, 0, 360, 32);
            strokes.push_back(s);
            s.points.clear();
            appendArc(s, {3, 12}, 10, 20, -80, 0, 16);
            strokes.push_back(s);
            break;
    }
    return strokes;
}

// ---------------------------------------------------------------------------------------------
// Plane skin: cream paint with a red cheat line, panel lines, a roundel and an anti-glare panel
// ahead of the canopy. u runs from the nose (0) to the tail (1), v from the top (0) down.

Colour skinColour(float u, float v) {
    Colour c = rgb(236, 233, 220);
    if (v < 0.16f && u > 0.04f && u < 0.30f) {
        c = rgb(52, 58, 72);
    }
    if (std::abs(v - 0.51f) < 0.055f) {
        c = rgb(200, 28, 22);
    }
    if (std::abs(std::abs(v - 0.51f) - 0.075f) < 0.01f) {
        c = rgb(30, 44, 110);
    }
    if (u > 0.90f) {
        c = rgb(200, 28, 22);
    }
    for (float line : {0.17f, 0.34f, 0.50f, 0.80f, 0.90f}) {
        if (std::abs(u - line) < 0.004f) {
            c = scaled(c, 0.72f);
        }
    }
    float dx = u - 0.66f, dy = (v - 0.51f) * 0.6f;
    float r = std::sqrt(dx * dx + dy * dy);
    if (r < 0.085f) {
        c = r < 0.03f ? rgb(200, 28, 22) : (r < 0.055f ? rgb(245, 245, 245) : rgb(30, 60, 150));
    }
    return c;
}

}  // namespace

int digitCellTop(int digit) {
    return static_cast<int>(46.5 * digit);
}

Image makeBackground() {
    const int size = kBackgroundSize;
    const float horizon = kBackgroundHorizonRow;
    Image img(size, size, 0);
    std::vector<Colour> pixels(static_cast<size_t>(size) * size, Colour{0, 0, 0, 0});

    const HillLayer layers[] = {
        {12.0f, 70.0f, 170.0f, 1.8f, 11, rgb(132, 156, 178), 0.40f},  // far ridges
        {6.0f, 38.0f, 80.0f, 1.5f, 23, rgb(96, 138, 116), 0.25f},     // nearer hills
        {2.5f, 9.0f, 22.0f, 1.0f, 31, rgb(64, 104, 62), 0.15f},       // tree line
    };
    constexpr int kSub = 4;
    for (const HillLayer& layer : layers) {
        for (int px = 0; px < size; ++px) {
            float heights[kSub];
            float top = horizon;
            for (int s = 0; s < kSub; ++s) {
                heights[s] = hillHeight(layer, px + (s + 0.5f) / kSub);
                top = std::min(top, horizon - heights[s]);
            }
            float slope = hillHeight(layer, px + 1.0f) - hillHeight(layer, px - 1.0f);
            for (int py = std::max(0, static_cast<int>(top) - 1); py < horizon; ++py) {
                float cover = 0.0f;
                for (int s = 0; s < kSub; ++s) {
                    cover += clamp01(py + 1.0f - (horizon - heights[s])) / kSub;
                }
                if (cover <= 0.0f) {
                    continue;
                }
                // Lit from the left, lighter near the crest, with a little texture.
                float crest = clamp01((horizon - py) / (layer.base + layer.amplitude));
                float k = 0.92f + 0.10f * crest + std::clamp(-0.06f * slope, -0.10f, 0.10f) +
                          0.10f * (valueNoise(px / 3.0f, py / 3.0f, layer.seed + 5) - 0.5f);
                // Haze thickens towards the foot of each hill, where it meets the far plain.
                float haze = layer.haze + (1.0f - layer.haze) * 0.6f * std::pow(1.0f - crest, 4.0f);
                Colour c = mix(scaled(layer.colour, k), kHaze, haze);
                c.a = cover;
                Colour& dst = pixels[static_cast<size_t>(py) * size + px];
                dst = over(c, dst);
            }
        }
    }
    for (int py = static_cast<int>(horizon); py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            pixels[static_cast<size_t>(py) * size + px] = groundPixel(px, py);
        }
    }
    // The sky stays transparent so the game's sky colour shows through; its colour channels
    // copy the landscape below, so filtering at the hill tops does not pull in a dark fringe.
    for (int px = 0; px < size; ++px) {
        int first = 0;
        while (first < size && pixels[static_cast<size_t>(first) * size + px].a <= 0.0f) {
            ++first;
        }
        Colour below = pixels[static_cast<size_t>(std::min(first, size - 1)) * size + px];
        for (int py = 0; py < first; ++py) {
            pixels[static_cast<size_t>(py) * size + px] = {below.r, below.g, below.b, 0.0f};
        }
    }
    for (size_t i = 0; i < pixels.size(); ++i) {
        img.pixels[i] = packArgb(pixels[i]);
    }
    return img;
}

Image makeDigits() {
    Image img(kDigitTextureWidth, kDigitTextureHeight, 0x00FFFFFF);
    for (int d = 0; d <= 9; ++d) {
        std::vector<Stroke> strokes = digitStrokes(d);
        int top = digitCellTop(d);
        for (int y = 0; y < kDigitCellHeight; ++y) {
            for (int x = 0; x < kDigitInkWidth; ++x) {
                // 2 by 2 samples of the stroke ramp soften the diagonals a little further.
                float a = 0.0f;
                for (int s = 0; s < 4; ++s) {
                    Point p{x + 0.25f + 0.5f * (s & 1), y + 0.25f + 0.5f * (s >> 1)};
                    a += strokeCoverage(strokes, p, kDigitHalfWidth) / 4.0f;
                }
                img.at(x, top + y) = packArgb({1, 1, 1, a});
            }
        }
    }
    return img;
}

Image makeArrow() {
    const std::vector<Point> arrow = {{32, 3},  {60, 33}, {42, 33}, {42, 61},
                                      {22, 61}, {22, 33}, {4, 33}};
    Image img(64, 64, 0x00FFFFFF);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            img.at(x, y) = packArgb({1, 1, 1, polygonCoverage(arrow, x, y, 4)});
        }
    }
    return img;
}

Image makeStar() {
    const int size = 32;
    const float c = size / 2.0f;
    Image img(size, size, 0x00FFFFFF);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float dx = (x + 0.5f - c) / c, dy = (y + 0.5f - c) / c;
            float r = std::sqrt(dx * dx + dy * dy);
            float fade = 1.0f - smoothstep(0.0f, 1.0f, r);
            float core = fade * fade * fade;
            float rays = std::exp(-dy * dy * 400.0f) + std::exp(-dx * dx * 400.0f);
            float diagonal = std::exp(-(dx - dy) * (dx - dy) * 300.0f) +
                             std::exp(-(dx + dy) * (dx + dy) * 300.0f);
            float reach = std::pow(clamp01(1.0f - r), 1.5f);
            float a = core + reach * (0.6f * rays + 0.25f * diagonal);
            img.at(x, y) = packArgb({1, 1, 1, clamp01(a)});
        }
    }
    return img;
}

Image makePlaneSkin() {
    const int size = 128, n = 4;
    Image img(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Colour sum{0, 0, 0, 1};
            for (int j = 0; j < n; ++j) {
                for (int i = 0; i < n; ++i) {
                    Colour c = skinColour((x + (i + 0.5f) / n) / size, (y + (j + 0.5f) / n) / size);
                    sum.r += c.r / (n * n);
                    sum.g += c.g / (n * n);
                    sum.b += c.b / (n * n);
                }
            }
            float grime = 0.94f + 0.06f * fractalNoise(x / 6.0f, y / 6.0f, 77, 3);
            img.at(x, y) = packArgb(scaled(sum, grime));  // alpha stays 1: the skin is opaque
        }
    }
    return img;
}
