// DDS reader: every supported pixel layout decodes to the right Argb8888 bytes or blocks, and
// broken or hostile files fail with an error instead of reading past the data.
#include "gfx/dds_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

namespace {

constexpr uint32_t kRgb = 0x40, kAlphaPixels = 0x1, kAlpha = 0x2, kFourCC = 0x4,
                   kLuminance = 0x20000;

constexpr uint32_t code(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

struct Format {
    uint32_t flags = 0, fourCC = 0, bits = 0, r = 0, g = 0, b = 0, a = 0;
};

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

std::vector<uint8_t> ddsFile(uint32_t width, uint32_t height, const Format& f,
                             const std::vector<uint8_t>& payload,
                             std::initializer_list<uint32_t> extended = {}) {
    std::vector<uint8_t> out;
    put32(out, code("DDS "));
    put32(out, 124);
    put32(out, 0x1007);  // caps, height, width, pixel format
    put32(out, height);
    put32(out, width);
    put32(out, 0);  // pitch: ignored, rows are packed
    put32(out, 0);
    put32(out, 1);
    for (int i = 0; i < 11; ++i) put32(out, 0);
    put32(out, 32);
    for (uint32_t v : {f.flags, f.fourCC, f.bits, f.r, f.g, f.b, f.a}) put32(out, v);
    put32(out, 0x1000);
    for (int i = 0; i < 4; ++i) put32(out, 0);
    for (uint32_t v : extended) put32(out, v);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Image decode(const std::vector<uint8_t>& file) {
    Image image;
    std::string error;
    EXPECT_TRUE(readDds(file.data(), file.size(), image, error)) << error;
    return image;
}

std::string failure(const std::vector<uint8_t>& file) {
    Image image;
    image.width = 99;
    std::string error;
    EXPECT_FALSE(readDds(file.data(), file.size(), image, error));
    EXPECT_EQ(image.width, 0u);
    EXPECT_TRUE(image.data.empty());
    EXPECT_FALSE(error.empty());
    return error;
}

// Expected output pixels as B, G, R, A bytes.
std::vector<uint8_t> bgra(std::initializer_list<uint32_t> argbPixels) {
    std::vector<uint8_t> out;
    for (uint32_t p : argbPixels) put32(out, p);
    return out;
}

const Format kA8R8G8B8{kRgb | kAlphaPixels, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
const Format kX8R8G8B8{kRgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
const Format kA8B8G8R8{kRgb | kAlphaPixels, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000};
const Format kR8G8B8{kRgb, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0};
const Format kR5G6B5{kRgb, 0, 16, 0xF800, 0x7E0, 0x1F, 0};
const Format kA1R5G5B5{kRgb | kAlphaPixels, 0, 16, 0x7C00, 0x3E0, 0x1F, 0x8000};
const Format kX1R5G5B5{kRgb, 0, 16, 0x7C00, 0x3E0, 0x1F, 0};
const Format kA4R4G4B4{kRgb | kAlphaPixels, 0, 16, 0xF00, 0xF0, 0xF, 0xF000};
const Format kL8{kLuminance, 0, 8, 0xFF, 0, 0, 0};
const Format kA8L8{kLuminance | kAlphaPixels, 0, 16, 0xFF, 0, 0, 0xFF00};
const Format kL16{kLuminance, 0, 16, 0xFFFF, 0, 0, 0};
const Format kA8{kAlpha, 0, 8, 0, 0, 0, 0xFF};

TEST(DdsReader, ThirtyTwoBitLayoutsFollowTheirMasks) {
    // Two pixels, top row first: 0x80FF4020 then 0x01020304 as stored little-endian words.
    const std::vector<uint8_t> pixels = {0x20, 0x40, 0xFF, 0x80, 0x04, 0x03, 0x02, 0x01};
    Image argb = decode(ddsFile(2, 1, kA8R8G8B8, pixels));
    EXPECT_EQ(argb.width, 2u);
    EXPECT_EQ(argb.height, 1u);
    EXPECT_EQ(argb.format, PixelFormat::Argb8888);
    EXPECT_EQ(argb.data, bgra({0x80FF4020, 0x01020304}));

    // Without the alpha flag the top byte is padding: opaque whatever it holds.
    EXPECT_EQ(decode(ddsFile(2, 1, kX8R8G8B8, pixels)).data, bgra({0xFFFF4020, 0xFF020304}));

    // Red in the low byte.
    EXPECT_EQ(decode(ddsFile(2, 1, kA8B8G8R8, pixels)).data, bgra({0x802040FF, 0x01040302}));
}

TEST(DdsReader, TwentyFourBitRowsArePackedAndTopRowFirst) {
    // 3 x 2: rows of 9 bytes with no padding.
    const std::vector<uint8_t> pixels = {1,  2,  3,  4,  5,  6,  7,  8,  9,  // top row
                                         10, 11, 12, 13, 14, 15, 16, 17, 18};
    const Image image = decode(ddsFile(3, 2, kR8G8B8, pixels));
    EXPECT_EQ(image.data,
              bgra({0xFF030201, 0xFF060504, 0xFF090807, 0xFF0C0B0A, 0xFF0F0E0D, 0xFF121110}));
}

TEST(DdsReader, SixteenBitChannelsScaleToFullRange) {
    // 5 and 6 bit fields: the top value gives 255, the middle ones round to nearest.
    const std::vector<uint8_t> r5g6b5 = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x10, 0x84};
    EXPECT_EQ(decode(ddsFile(4, 1, kR5G6B5, r5g6b5)).data,
              bgra({0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF848284}));

    // 0xFC00: alpha bit and full red; 0x03E0: green without the alpha bit.
    const std::vector<uint8_t> fiveBits = {0x00, 0xFC, 0xE0, 0x03};
    EXPECT_EQ(decode(ddsFile(2, 1, kA1R5G5B5, fiveBits)).data, bgra({0xFFFF0000, 0x0000FF00}));
    EXPECT_EQ(decode(ddsFile(2, 1, kX1R5G5B5, fiveBits)).data, bgra({0xFFFF0000, 0xFF00FF00}));

    const std::vector<uint8_t> fourBits = {0xA5, 0xF0, 0x3C, 0x81};
    EXPECT_EQ(decode(ddsFile(2, 1, kA4R4G4B4, fourBits)).data, bgra({0xFF00AA55, 0x881133CC}));
}

TEST(DdsReader, LuminanceAndAlphaOnlyFormats) {
    EXPECT_EQ(decode(ddsFile(2, 1, kL8, {0x7F, 0xFF})).data, bgra({0xFF7F7F7F, 0xFFFFFFFF}));
    EXPECT_EQ(decode(ddsFile(1, 1, kA8L8, {0x40, 0x80})).data, bgra({0x80404040}));
    EXPECT_EQ(decode(ddsFile(2, 1, kL16, {0x00, 0x80, 0xFF, 0xFF})).data,
              bgra({0xFF808080, 0xFFFFFFFF}));
    // Alpha-only pictures carry no colour.
    EXPECT_EQ(decode(ddsFile(1, 1, kA8, {0x9A})).data, bgra({0x9A000000}));
}

TEST(DdsReader, FormatCodesInTheFourCCFieldAreUnderstood) {
    // Some writers put the numeric format code (21 = A8R8G8B8, 50 = L8) where FourCC goes.
    EXPECT_EQ(decode(ddsFile(1, 1, Format{kFourCC, 21}, {1, 2, 3, 4})).data, bgra({0x04030201}));
    EXPECT_EQ(decode(ddsFile(1, 1, Format{kFourCC, 50}, {9})).data, bgra({0xFF090909}));
}

TEST(DdsReader, CompressedBlocksAreKeptAsTheyAre) {
    std::vector<uint8_t> blocks(64);
    for (size_t i = 0; i < blocks.size(); ++i) blocks[i] = uint8_t(i * 7 + 1);

    const Image dxt1 =
        decode(ddsFile(8, 4, Format{kFourCC, code("DXT1")}, {blocks.begin(), blocks.begin() + 16}));
    EXPECT_EQ(dxt1.format, PixelFormat::Dxt1);
    EXPECT_EQ(dxt1.width, 8u);
    EXPECT_EQ(dxt1.height, 4u);
    EXPECT_EQ(dxt1.data, std::vector<uint8_t>(blocks.begin(), blocks.begin() + 16));

    // 5 x 3 needs 2 x 1 blocks of 16 bytes; the rest (smaller mip levels) is not read.
    const Image dxt3 = decode(ddsFile(5, 3, Format{kFourCC, code("DXT3")}, blocks));
    EXPECT_EQ(dxt3.format, PixelFormat::Dxt3);
    EXPECT_EQ(dxt3.data, std::vector<uint8_t>(blocks.begin(), blocks.begin() + 32));

    const Image dxt5 = decode(ddsFile(8, 8, Format{kFourCC, code("DXT5")}, blocks));
    EXPECT_EQ(dxt5.format, PixelFormat::Dxt5);
    EXPECT_EQ(dxt5.data, blocks);

    // A 1 x 1 picture still takes one whole block.
    EXPECT_EQ(
        decode(ddsFile(1, 1, Format{kFourCC, code("DXT1")}, {blocks.begin(), blocks.begin() + 8}))
            .data.size(),
        8u);
}

TEST(DdsReader, ExtendedHeaderFormats) {
    const Format dx10{kFourCC, code("DX10")};
    const Image bc1 = decode(ddsFile(4, 4, dx10, std::vector<uint8_t>(8, 0x55), {71, 3, 0, 1, 0}));
    EXPECT_EQ(bc1.format, PixelFormat::Dxt1);
    EXPECT_EQ(bc1.data.size(), 8u);
    // R8G8B8A8: bytes R, G, B, A.
    EXPECT_EQ(decode(ddsFile(1, 1, dx10, {0x11, 0x22, 0x33, 0x44}, {28, 3, 0, 1, 0})).data,
              bgra({0x44112233}));
    failure(ddsFile(1, 1, dx10, std::vector<uint8_t>(16), {2, 3, 0, 1, 0}));  // 128-bit float
    failure(ddsFile(1, 1, dx10, {}, {71, 3}));  // extended header cut short
}

TEST(DdsReader, BadHeadersFailWithAReason) {
    const std::vector<uint8_t> good = ddsFile(2, 2, kA8R8G8B8, std::vector<uint8_t>(16, 1));

    std::vector<uint8_t> magic = good;
    magic[3] = 'X';
    EXPECT_NE(failure(magic).find("magic"), std::string::npos);

    std::vector<uint8_t> headerSize = good;
    headerSize[4] = 123;
    failure(headerSize);

    std::vector<uint8_t> formatSize = good;
    formatSize[4 + 72] = 31;
    failure(formatSize);

    EXPECT_NE(failure(ddsFile(0, 2, kA8R8G8B8, std::vector<uint8_t>(16))).find("zero"),
              std::string::npos);
    failure(ddsFile(2, 0, kA8R8G8B8, std::vector<uint8_t>(16)));
    EXPECT_NE(failure(ddsFile(16385, 1, kL8, std::vector<uint8_t>(16385))).find("too large"),
              std::string::npos);
    // The largest allowed size passes the dimension check and fails only for its data.
    EXPECT_NE(failure(ddsFile(16384, 1, kL8, std::vector<uint8_t>(16383))).find("truncated"),
              std::string::npos);
    EXPECT_EQ(decode(ddsFile(16384, 1, kL8, std::vector<uint8_t>(16384))).width, 16384u);
}

TEST(DdsReader, UnsupportedLayoutsAreRefused) {
    failure(ddsFile(1, 1, Format{kFourCC, code("DXT2")}, std::vector<uint8_t>(16)));
    failure(ddsFile(1, 1, Format{kFourCC, code("ATI2")}, std::vector<uint8_t>(16)));
    failure(ddsFile(1, 1, Format{kRgb, 0, 12, 0xF00, 0xF0, 0xF, 0}, std::vector<uint8_t>(4)));
    failure(ddsFile(1, 1, Format{kRgb, 0, 64, 0xFF, 0xFF00, 0xFF0000, 0}, std::vector<uint8_t>(8)));
    failure(ddsFile(1, 1, Format{kRgb, 0, 32, 0, 0, 0, 0}, std::vector<uint8_t>(4)));
    failure(ddsFile(1, 1, Format{0x200, 0, 16, 0, 0, 0, 0}, std::vector<uint8_t>(4)));  // YUV
    // A mask reaching beyond the pixel's bits would read a neighbour's bytes.
    failure(ddsFile(1, 1, Format{kRgb, 0, 16, 0xFF0000, 0xFF00, 0xFF, 0}, std::vector<uint8_t>(4)));
}

TEST(DdsReader, EveryTruncationFailsCleanly) {
    for (const auto& file :
         {ddsFile(3, 3, kR8G8B8, std::vector<uint8_t>(27, 7)),
          ddsFile(8, 8, Format{kFourCC, code("DXT5")}, std::vector<uint8_t>(64, 7))}) {
        for (size_t size = 0; size < file.size(); ++size) {
            Image image;
            std::string error;
            // A copy of just the prefix, so that a read past it would be caught by tools.
            const std::vector<uint8_t> prefix(file.begin(), file.begin() + size);
            EXPECT_FALSE(readDds(prefix.data(), prefix.size(), image, error)) << size;
            EXPECT_FALSE(error.empty());
        }
    }
}

TEST(DdsReader, ForgedDimensionsNeedTheirData) {
    // Claims 16384 x 16384 (1 GiB of pixels) but holds 16 bytes: fails before any allocation
    // of that size.
    const std::string error = failure(ddsFile(16384, 16384, kA8R8G8B8, std::vector<uint8_t>(16)));
    EXPECT_NE(error.find("truncated"), std::string::npos);
    failure(ddsFile(16384, 16384, Format{kFourCC, code("DXT1")}, std::vector<uint8_t>(16)));
}

TEST(DdsReader, MagicCheck) {
    const std::vector<uint8_t> file = ddsFile(1, 1, kL8, {1});
    EXPECT_TRUE(isDdsData(file.data(), file.size()));
    EXPECT_FALSE(isDdsData(file.data(), 3));
    const uint8_t png[] = {0x89, 'P', 'N', 'G'};
    EXPECT_FALSE(isDdsData(png, sizeof png));
}

TEST(ByteReader, NeverMovesPastTheEnd) {
    const uint8_t bytes[] = {1, 2, 3, 4, 5};
    ByteReader reader(bytes, sizeof bytes);
    uint32_t v = 0;
    EXPECT_TRUE(reader.u32(v));
    EXPECT_EQ(v, 0x04030201u);
    EXPECT_FALSE(reader.u16(v));  // one byte left: nothing is consumed
    EXPECT_EQ(reader.remaining(), 1u);
    EXPECT_FALSE(reader.skip(2));
    const uint8_t* p = nullptr;
    EXPECT_TRUE(reader.take(1, p));
    EXPECT_EQ(*p, 5);
    EXPECT_FALSE(reader.u8(v));
    EXPECT_FALSE(reader.seek(6));
    EXPECT_TRUE(reader.seek(5));
    EXPECT_FALSE(reader.skip(SIZE_MAX));
}

}  // namespace
