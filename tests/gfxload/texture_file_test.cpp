// Image files into textures: the reader follows the content, not the name; PNG, BMP, TGA and
// JPEG arrive as Argb8888 rows top first; Windows-style names open; bad files fail cleanly.
#include "gfx/texture_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "fakes/recording_device.h"
#include "temp_files.h"

namespace {

void append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// A 3 x 2 RGBA picture with a different colour and alpha in every pixel, top row first.
const std::vector<uint8_t> kRgba = {
    255, 0,  0,  255, 0,  255, 0,  128, 0,  0,   255, 0,    // top row
    10,  20, 30, 40,  50, 60,  70, 80,  90, 100, 110, 255,  // bottom row
};

// The same pixels as B, G, R, A bytes; `alpha` false for formats written without alpha.
std::vector<uint8_t> expectedBgra(bool alpha) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < kRgba.size(); i += 4) {
        out.insert(out.end(),
                   {kRgba[i + 2], kRgba[i + 1], kRgba[i], alpha ? kRgba[i + 3] : uint8_t(255)});
    }
    return out;
}

std::vector<uint8_t> png() {
    std::vector<uint8_t> out;
    stbi_write_png_to_func(append, &out, 3, 2, 4, kRgba.data(), 12);
    return out;
}

std::vector<uint8_t> bmp() {
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i < kRgba.size(); i += 4)
        rgb.insert(rgb.end(), {kRgba[i], kRgba[i + 1], kRgba[i + 2]});
    std::vector<uint8_t> out;
    stbi_write_bmp_to_func(append, &out, 3, 2, 3, rgb.data());
    return out;
}

std::vector<uint8_t> tga(bool runLength) {
    stbi_write_tga_with_rle = runLength ? 1 : 0;
    std::vector<uint8_t> out;
    stbi_write_tga_to_func(append, &out, 3, 2, 4, kRgba.data());
    return out;
}

std::vector<uint8_t> dxt1Dds() {
    std::vector<uint8_t> out = {'D', 'D', 'S', ' ', 124, 0, 0, 0, 0x07, 0x10,
                                0,   0,   4,   0,   0,   0, 4, 0, 0,    0};  // height 4, width 4
    out.resize(4 + 72, 0);
    out.insert(out.end(), {32, 0, 0, 0, 4, 0, 0, 0, 'D', 'X', 'T', '1'});
    out.resize(4 + 124, 0);
    for (int i = 0; i < 8; ++i) out.push_back(uint8_t(0xA0 + i));
    return out;
}

Image decoded(const std::vector<uint8_t>& file) {
    Image image;
    std::string error;
    EXPECT_TRUE(decodeImage(file.data(), file.size(), image, error)) << error;
    return image;
}

std::string decodeError(const std::vector<uint8_t>& file) {
    Image image;
    std::string error;
    EXPECT_FALSE(decodeImage(file.data(), file.size(), image, error));
    EXPECT_TRUE(image.data.empty());
    EXPECT_FALSE(error.empty());
    return error;
}

TEST(ImageDecoding, PngBmpAndTgaGiveTheirPixelsTopRowFirst) {
    for (const auto& [name, file, alpha] :
         {std::tuple{"png", png(), true}, std::tuple{"bmp", bmp(), false},
          std::tuple{"tga rle", tga(true), true}, std::tuple{"tga raw", tga(false), true}}) {
        SCOPED_TRACE(name);
        const Image image = decoded(file);
        EXPECT_EQ(image.width, 3u);
        EXPECT_EQ(image.height, 2u);
        EXPECT_EQ(image.format, PixelFormat::Argb8888);
        EXPECT_EQ(image.data, expectedBgra(alpha));
    }
}

TEST(ImageDecoding, JpegDecodesCloseToItsColour) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 16 * 8; ++i) rgb.insert(rgb.end(), {200, 100, 50});
    std::vector<uint8_t> file;
    stbi_write_jpg_to_func(append, &file, 16, 8, 3, rgb.data(), 95);
    const Image image = decoded(file);
    ASSERT_EQ(image.width, 16u);
    ASSERT_EQ(image.height, 8u);
    for (size_t i = 0; i < image.data.size(); i += 4) {
        EXPECT_NEAR(image.data[i + 0], 50, 4);
        EXPECT_NEAR(image.data[i + 1], 100, 4);
        EXPECT_NEAR(image.data[i + 2], 200, 4);
        EXPECT_EQ(image.data[i + 3], 255);
    }
}

TEST(ImageDecoding, TruncatedPicturesFail) {
    // stb_image would fill the missing part of a BMP or TGA with black; we refuse instead.
    for (const auto& [name, file] : {std::pair{"bmp", bmp()}, std::pair{"tga rle", tga(true)},
                                     std::pair{"tga raw", tga(false)}}) {
        SCOPED_TRACE(name);
        const size_t headerEnd = 18;
        for (size_t size = headerEnd; size < file.size(); ++size) {
            const std::vector<uint8_t> prefix(file.begin(), file.begin() + size);
            Image image;
            std::string error;
            EXPECT_FALSE(decodeImage(prefix.data(), prefix.size(), image, error)) << size;
        }
    }
    const std::vector<uint8_t> full = png();
    decodeError(std::vector<uint8_t>(full.begin(), full.begin() + full.size() / 2));
}

TEST(ImageDecoding, ForgedDimensionsFailWithoutDecoding) {
    // A raw TGA header claiming 16384 x 16384 true-colour pixels, followed by 64 bytes.
    std::vector<uint8_t> tgaFile = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0x40, 32, 8};
    tgaFile.resize(tgaFile.size() + 64, 0x11);
    EXPECT_NE(decodeError(tgaFile).find("out of range"), std::string::npos);
    tgaFile[13] = 0x10;  // 4096 x 16384: allowed size, but the pixels are missing
    EXPECT_NE(decodeError(tgaFile).find("truncated"), std::string::npos);

    std::vector<uint8_t> bmpFile = bmp();
    bmpFile[22] = 0x00;
    bmpFile[23] = 0x10;  // height 4096
    EXPECT_NE(decodeError(bmpFile).find("truncated"), std::string::npos);
}

TEST(ImageDecoding, UnknownContentFails) {
    decodeError({});
    const std::string garbage = "this is not a picture at all, just some words in a file.....";
    EXPECT_NE(decodeError({garbage.begin(), garbage.end()}).find("not a DDS"), std::string::npos);
    decodeError({'D', 'D', 'S', ' ', 1, 2});
}

TEST(ImageFiles, TheContentChoosesTheReaderNotTheName) {
    TempDir dir;
    Image image;
    std::string error;
    ASSERT_TRUE(loadImageFile(dir.write("looks.png", dxt1Dds()), image, error)) << error;
    EXPECT_EQ(image.format, PixelFormat::Dxt1);
    EXPECT_EQ(image.data.size(), 8u);

    ASSERT_TRUE(loadImageFile(dir.write("looks.dds", png()), image, error)) << error;
    EXPECT_EQ(image.format, PixelFormat::Argb8888);
    EXPECT_EQ(image.data, expectedBgra(true));

    ASSERT_TRUE(loadImageFile(dir.write("no_extension", tga(true)), image, error)) << error;
    EXPECT_EQ(image.data, expectedBgra(true));
}

TEST(ImageFiles, WindowsStyleNamesOpen) {
    TempDir dir;
    dir.write("media/star.dds", dxt1Dds());
    Image image;
    std::string error;
    std::string windowsName = dir.path() + "\\media\\star.dds";
    EXPECT_TRUE(loadImageFile(windowsName, image, error)) << error;
    EXPECT_EQ(localPath(".\\media\\BG.dds"), "./media/BG.dds");
}

TEST(ImageFiles, MissingUnreadableAndOversizedFilesFail) {
    TempDir dir;
    Image image;
    std::string error;
    EXPECT_FALSE(loadImageFile(dir.file("missing.dds"), image, error));
    EXPECT_NE(error.find("missing.dds"), std::string::npos);

    EXPECT_FALSE(loadImageFile(dir.path(), image, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos);

    // A sparse file one byte over the limit: refused without decoding it.
    const std::string big = dir.write("big.dds", dxt1Dds());
    std::filesystem::resize_file(big, kMaxMediaFileBytes + 1);
    EXPECT_FALSE(loadImageFile(big, image, error));
    EXPECT_NE(error.find("larger than"), std::string::npos);

    std::vector<uint8_t> bytes;
    std::filesystem::resize_file(big, 100);
    EXPECT_TRUE(readFileBytes(big, 100, bytes, error));
    EXPECT_EQ(bytes.size(), 100u);
    EXPECT_FALSE(readFileBytes(big, 99, bytes, error));
    EXPECT_TRUE(bytes.empty());

    const std::string bad = dir.write("bad.png", std::string("\x89PNG\r\n\x1a\n broken"));
    EXPECT_FALSE(loadImageFile(bad, image, error));
    EXPECT_NE(error.find("bad.png"), std::string::npos);
}

TEST(TextureFiles, TexturesAreMadeByTheDeviceAtTheStoredSize) {
    TempDir dir;
    RecordingDevice device;
    auto texture = createTextureFromFile(device, dir.write("t.png", png()));
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->width(), 3u);
    EXPECT_EQ(texture->height(), 2u);
    ASSERT_EQ(device.count("CreateTexture"), 1u);
    EXPECT_EQ(device.callsOf("CreateTexture")[0].object, texture.get());

    device.reset();
    EXPECT_FALSE(createTextureFromFile(device, dir.file("absent.png")));
    EXPECT_FALSE(createTextureFromFile(device, dir.write("junk.dds", std::string("DDS junk"))));
    EXPECT_EQ(device.count("CreateTexture"), 0u);
}

}  // namespace
