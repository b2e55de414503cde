// The generated pictures, read back with a DDS reader of this test's own: header fields,
// pixel format, sizes and what each picture must hold for the game to draw it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "media_files.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace {

struct DdsPicture {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> argb;  // 0xAARRGGBB, rows from the top

    uint32_t at(uint32_t x, uint32_t y) const { return argb[static_cast<size_t>(y) * width + x]; }
    int alpha(uint32_t x, uint32_t y) const { return at(x, y) >> 24; }
};

// Accepts only what the game's textures use: uncompressed 32-bit A8R8G8B8 with alpha.
::testing::AssertionResult readDds(const std::string& name, DdsPicture& out) {
    std::vector<uint8_t> bytes = readMediaFile(name);
    ByteReader r{bytes};
    if (r.tag(4) != "DDS ") {
        return ::testing::AssertionFailure() << name << ": no DDS magic";
    }
    uint32_t headerSize = r.le(4), flags = r.le(4);
    out.height = r.le(4);
    out.width = r.le(4);
    r.le(4);  // pitch or linear size
    r.le(4);  // depth
    uint32_t mips = r.le(4);
    r.pos += 44;  // reserved
    uint32_t pfSize = r.le(4), pfFlags = r.le(4), fourCc = r.le(4), bits = r.le(4);
    uint32_t rMask = r.le(4), gMask = r.le(4), bMask = r.le(4), aMask = r.le(4);
    uint32_t caps = r.le(4);
    r.pos = 128;
    if (r.failed || headerSize != 124 || pfSize != 32) {
        return ::testing::AssertionFailure() << name << ": bad header sizes";
    }
    const uint32_t required = 0x1 | 0x2 | 0x4 | 0x1000;  // caps, height, width, pixel format
    if ((flags & required) != required || (caps & 0x1000) == 0) {
        return ::testing::AssertionFailure() << name << ": header flags 0x" << std::hex << flags;
    }
    if ((pfFlags & 0x40) == 0 || (pfFlags & 0x1) == 0 || fourCc != 0 || bits != 32 ||
        rMask != 0x00FF0000 || gMask != 0x0000FF00 || bMask != 0x000000FF || aMask != 0xFF000000) {
        return ::testing::AssertionFailure() << name << ": not A8R8G8B8";
    }
    if (out.width == 0 || out.height == 0 || out.width > 8192 || out.height > 8192) {
        return ::testing::AssertionFailure() << name << ": size " << out.width << "x" << out.height;
    }
    size_t pixels = static_cast<size_t>(out.width) * out.height;
    // One picture, or a full chain of mip levels after it; never less than the top level.
    if (bytes.size() < 128 + pixels * 4 || (mips <= 1 && bytes.size() != 128 + pixels * 4)) {
        return ::testing::AssertionFailure() << name << ": " << bytes.size() << " bytes";
    }
    out.argb.resize(pixels);
    for (size_t i = 0; i < pixels; ++i) {
        out.argb[i] = r.le(4);
    }
    return ::testing::AssertionSuccess();
}

bool isPowerOfTwo(uint32_t v) {
    return v != 0 && (v & (v - 1)) == 0;
}

float luminance(uint32_t argb) {
    return 0.299f * ((argb >> 16) & 0xFF) + 0.587f * ((argb >> 8) & 0xFF) + 0.114f * (argb & 0xFF);
}

// Every pixel that shows is white, so the draw colour alone tints it.
void expectWhiteWhereInked(const DdsPicture& p, const char* name) {
    int off = 0;
    for (uint32_t v : p.argb) {
        off += (v >> 24) != 0 && (v & 0xFFFFFF) != 0xFFFFFF;
    }
    EXPECT_EQ(off, 0) << name << ": inked pixels that are not white";
}

int softEdgePixels(const DdsPicture& p) {
    int n = 0;
    for (uint32_t v : p.argb) {
        n += (v >> 24) > 0 && (v >> 24) < 255;
    }
    return n;
}

// Digit cell tops: trunc(46.5 x d).
constexpr int kCellTops[10] = {0, 46, 93, 139, 186, 232, 279, 325, 372, 418};

TEST(BackgroundPicture, CoversTheScreenAtEveryBankAngle) {
    DdsPicture bg;
    ASSERT_TRUE(readDds("BG.dds", bg));
    EXPECT_GE(bg.width, 1024u);
    EXPECT_GE(bg.height, 1024u);
    // Screen point s shows texel (420, 480) + R(-beta) (s - (320, 210)). The screen is a
    // rectangle and the picture convex, so checking the four corners is enough.
    for (int degrees = -90; degrees <= 90; ++degrees) {
        double b = degrees * 0.017453292, c = std::cos(b), s = std::sin(b);
        for (double sx : {0.0, 640.0}) {
            for (double sy : {0.0, 480.0}) {
                double dx = sx - 320.0, dy = sy - 210.0;
                double u = 420.0 + dx * c + dy * s, v = 480.0 - dx * s + dy * c;
                EXPECT_TRUE(u >= 0 && v >= 0 && u <= bg.width && v <= bg.height)
                    << "bank " << degrees << " leaves screen corner (" << sx << ", " << sy
                    << ") uncovered";
            }
        }
    }
}

TEST(BackgroundPicture, SkyIsClearAndLandscapeMeetsTheHorizon) {
    DdsPicture bg;
    ASSERT_TRUE(readDds("BG.dds", bg));
    ASSERT_GE(bg.height, 1024u);
    const uint32_t horizon = 510;  // screen row 240, where the level 3D horizon falls
    int hillColumns = 0;
    for (uint32_t x = 0; x < bg.width; ++x) {
        uint32_t top = 0;
        while (top < bg.height && bg.alpha(x, top) == 0) {
            ++top;
        }
        // Hills rise a little above the horizon, never far into the sky.
        ASSERT_GE(top, horizon - 110) << "column " << x << " is inked high in the sky";
        ASSERT_LT(top, horizon) << "column " << x << " leaves sky showing below the horizon";
        hillColumns += top < horizon - 20;
        // From just above the horizon down, the landscape is fully opaque.
        for (uint32_t y = horizon - 1; y < bg.height; ++y) {
            ASSERT_EQ(bg.alpha(x, y), 255) << "hole in the landscape at (" << x << ", " << y << ")";
        }
    }
    EXPECT_GT(hillColumns, static_cast<int>(bg.width) / 10) << "no hills rising above the plain";
}

TEST(BackgroundPicture, GroundDarkensTowardsTheBottom) {
    DdsPicture bg;
    ASSERT_TRUE(readDds("BG.dds", bg));
    ASSERT_GE(bg.height, 1024u);
    auto meanLuminance = [&](uint32_t y0, uint32_t y1) {
        double sum = 0;
        for (uint32_t y = y0; y < y1; ++y) {
            for (uint32_t x = 0; x < bg.width; ++x) {
                sum += luminance(bg.at(x, y));
            }
        }
        return sum / ((y1 - y0) * bg.width);
    };
    double nearHorizon = meanLuminance(530, 600);
    double bottom = meanLuminance(bg.height - 64, bg.height);
    EXPECT_LT(bottom, 0.85 * nearHorizon);
    EXPECT_GT(bottom, 20.0) << "the foreground is black";
}

TEST(DigitPicture, GlyphsStayInsideTheLeftPartOfTheirCells) {
    DdsPicture digits;
    ASSERT_TRUE(readDds("digit.dds", digits));
    ASSERT_GE(digits.width, 32u);
    ASSERT_GE(digits.height, static_cast<uint32_t>(kCellTops[9] + 36));
    EXPECT_TRUE(isPowerOfTwo(digits.width) && isPowerOfTwo(digits.height));
    // The HUD draws digits 16 pixels apart from 31-pixel-wide cells, so anything right of
    // column 15 or between cells would show up on the neighbouring digit.
    for (uint32_t y = 0; y < digits.height; ++y) {
        int cell = -1;
        for (int d = 0; d < 10; ++d) {
            if (static_cast<int>(y) >= kCellTops[d] && static_cast<int>(y) < kCellTops[d] + 36) {
                cell = d;
            }
        }
        for (uint32_t x = 0; x < digits.width; ++x) {
            if (cell < 0 || x >= 16) {
                ASSERT_EQ(digits.alpha(x, y), 0) << "ink at (" << x << ", " << y << ")";
            }
        }
    }
    expectWhiteWhereInked(digits, "digit.dds");
}

TEST(DigitPicture, EveryGlyphIsDistinctSmoothAndFillsItsCell) {
    DdsPicture digits;
    ASSERT_TRUE(readDds("digit.dds", digits));
    ASSERT_GE(digits.height, static_cast<uint32_t>(kCellTops[9] + 36));
    std::vector<std::vector<int>> glyphs(10);
    for (int d = 0; d < 10; ++d) {
        int rows0 = 36, rows1 = -1, cols0 = 16, cols1 = -1, soft = 0;
        for (int y = 0; y < 36; ++y) {
            for (int x = 0; x < 16; ++x) {
                int a = digits.alpha(x, kCellTops[d] + y);
                glyphs[d].push_back(a);
                soft += a > 0 && a < 255;
                if (a > 128) {
                    rows0 = std::min(rows0, y);
                    rows1 = std::max(rows1, y);
                    cols0 = std::min(cols0, x);
                    cols1 = std::max(cols1, x);
                }
            }
        }
        EXPECT_GE(rows1 - rows0, 24) << "glyph " << d << " is not full height";
        EXPECT_GE(cols1 - cols0, d == 1 ? 3 : 8) << "glyph " << d << " is too narrow";
        EXPECT_GE(soft, 20) << "glyph " << d << " has hard, aliased edges";
    }
    for (int a = 0; a < 10; ++a) {
        for (int b = a + 1; b < 10; ++b) {
            int diff = 0;
            for (size_t i = 0; i < glyphs[a].size(); ++i) {
                diff += std::abs(glyphs[a][i] - glyphs[b][i]);
            }
            EXPECT_GT(diff, 40 * 255) << "glyphs " << a << " and " << b << " look alike";
        }
    }
    // The glyphs sit in the right cells: the zero is open in the middle and the eight closed
    // at its waist, and the one crosses its middle row with a single stroke.
    auto a = [&](int d, int x, int y) { return digits.alpha(x, kCellTops[d] + y); };
    int zeroMiddle = 0, eightWaist = 0, oneMiddleWidth = 0;
    for (int y = 16; y <= 20; ++y) {
        zeroMiddle = std::max(zeroMiddle, a(0, 8, y));
        eightWaist = std::max(eightWaist, a(8, 8, y));
    }
    for (int x = 0; x < 16; ++x) {
        oneMiddleWidth += a(1, x, 18) > 128;
    }
    EXPECT_EQ(zeroMiddle, 0);
    EXPECT_GT(eightWaist, 200);
    EXPECT_GE(oneMiddleWidth, 2);
    EXPECT_LE(oneMiddleWidth, 5);
}

TEST(ArrowPicture, WhiteArrowPointingUpWithSoftEdges) {
    DdsPicture arrow;
    ASSERT_TRUE(readDds("arrow.dds", arrow));
    ASSERT_EQ(arrow.width, 64u);
    ASSERT_EQ(arrow.height, 64u);
    std::vector<int> widths(64, 0);
    for (uint32_t y = 0; y < 64; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            widths[y] += arrow.alpha(x, y) > 128;
            EXPECT_LE(std::abs(arrow.alpha(x, y) - arrow.alpha(63 - x, y)), 16)
                << "not symmetric at (" << x << ", " << y << ")";
        }
    }
    int first = 0;
    while (first < 64 && widths[first] == 0) {
        ++first;
    }
    int last = 63;
    while (last >= 0 && widths[last] == 0) {
        --last;
    }
    ASSERT_LT(first, last);
    int widest = static_cast<int>(std::max_element(widths.begin(), widths.end()) - widths.begin());
    EXPECT_LE(widths[first], 6) << "the top is not a point";
    EXPECT_LT(widest, 40) << "the head is not at the top";
    EXPECT_GE(widths[widest], 40) << "the head is too small to read";
    EXPECT_LT(widths[last] * 2, widths[widest]) << "no shaft below the head";
    EXPECT_GE(last - first, 48) << "the arrow does not use its square";
    EXPECT_EQ(arrow.alpha(0, 0) + arrow.alpha(63, 0) + arrow.alpha(0, 63) + arrow.alpha(63, 63), 0);
    EXPECT_GE(softEdgePixels(arrow), 60);
    expectWhiteWhereInked(arrow, "arrow.dds");
}

TEST(StarPicture, GlowFadesFromTheCentreToNothingAtTheEdges) {
    DdsPicture star;
    ASSERT_TRUE(readDds("star.dds", star));
    EXPECT_TRUE(isPowerOfTwo(star.width) && star.width == star.height);
    ASSERT_GE(star.width, 8u);
    ASSERT_LE(star.width, 128u);
    const uint32_t n = star.width, c = n / 2;
    EXPECT_GE(star.alpha(c, c), 240);
    for (uint32_t i = 0; i < n; ++i) {
        EXPECT_LE(star.alpha(i, 0), 3);
        EXPECT_LE(star.alpha(i, n - 1), 3);
        EXPECT_LE(star.alpha(0, i), 3);
        EXPECT_LE(star.alpha(n - 1, i), 3);
    }
    // Along each axis and diagonal the glow never brightens again away from the centre.
    const int dirs[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
    for (const auto& d : dirs) {
        int previous = 256;
        for (int k = 0; k < static_cast<int>(c); ++k) {
            int x = static_cast<int>(c) + d[0] * k - (d[0] < 0),
                y = static_cast<int>(c) + d[1] * k - (d[1] < 0);
            int a = star.alpha(x, y);
            EXPECT_LE(a, previous) << "alpha rises at (" << x << ", " << y << ")";
            previous = a;
        }
    }
    expectWhiteWhereInked(star, "star.dds");
}

TEST(PlaneSkinPicture, IsOpaqueAndPatterned) {
    DdsPicture skin;
    ASSERT_TRUE(readDds("planeskin.dds", skin));
    EXPECT_TRUE(isPowerOfTwo(skin.width) && isPowerOfTwo(skin.height));
    float lo = 255, hi = 0;
    for (uint32_t v : skin.argb) {
        ASSERT_EQ(v >> 24, 255u) << "the plane's skin must be opaque";
        lo = std::min(lo, luminance(v));
        hi = std::max(hi, luminance(v));
    }
    EXPECT_GT(hi - lo, 80.0f) << "a flat colour: no markings";
}

TEST(WindowIcon, RoundBadgeWithTransparentCorners) {
    std::vector<uint8_t> bytes = readMediaFile("dravik.png");
    ASSERT_FALSE(bytes.empty());
    int w = 0, h = 0, channels = 0;
    unsigned char* rgba =
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels, 4);
    ASSERT_NE(rgba, nullptr) << stbi_failure_reason();
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 64);
    EXPECT_EQ(channels, 4) << "the icon needs its own alpha channel";
    if (w == 64 && h == 64) {
        auto alpha = [&](int x, int y) { return rgba[(y * w + x) * 4 + 3]; };
        EXPECT_EQ(alpha(0, 0) + alpha(63, 0) + alpha(0, 63) + alpha(63, 63), 0);
        EXPECT_EQ(alpha(32, 32), 255);
        EXPECT_EQ(alpha(32, 4), 255);
        int soft = 0;
        for (int i = 0; i < w * h; ++i) {
            soft += rgba[i * 4 + 3] > 0 && rgba[i * 4 + 3] < 255;
        }
        EXPECT_GE(soft, 40) << "the badge edge is not anti-aliased";
    }
    stbi_image_free(rgba);
}

}  // namespace
