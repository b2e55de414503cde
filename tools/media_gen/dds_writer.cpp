// DDS and PNG output. A DDS file is the magic "DDS ", a 124-byte header and the pixels as
// little-endian 0xAARRGGBB words, rows from the top.
#include "dds_writer.h"

#include <cstdio>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

constexpr uint32_t kDdsdCaps = 0x1, kDdsdHeight = 0x2, kDdsdWidth = 0x4, kDdsdPitch = 0x8;
constexpr uint32_t kDdsdPixelFormat = 0x1000;
constexpr uint32_t kDdpfAlphaPixels = 0x1, kDdpfRgb = 0x40;
constexpr uint32_t kDdsCapsTexture = 0x1000;

void put32(std::vector<unsigned char>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
}

bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "writeBytes: cannot create '%s'\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::fprintf(stderr, "writeBytes: short write to '%s'\n", path.c_str());
    }
    return ok;
}

}  // namespace

bool writeDds(const std::string& path, const Image& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
        std::fprintf(stderr, "writeDds: bad picture for '%s'\n", path.c_str());
        return false;
    }
    std::vector<unsigned char> out;
    out.reserve(128 + image.pixels.size() * 4);
    for (char c : {'D', 'D', 'S', ' '}) {
        out.push_back(static_cast<unsigned char>(c));
    }
    put32(out, 124);
    put32(out, kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPitch | kDdsdPixelFormat);
    put32(out, static_cast<uint32_t>(image.height));
    put32(out, static_cast<uint32_t>(image.width));
    put32(out, static_cast<uint32_t>(image.width) * 4);  // pitch of one row
    put32(out, 0);                                       // depth
    put32(out, 0);                                       // mip levels: just the one picture
    for (int i = 0; i < 11; ++i) {
        put32(out, 0);
    }
    put32(out, 32);  // pixel format size
    put32(out, kDdpfRgb | kDdpfAlphaPixels);
    put32(out, 0);  // no FourCC: uncompressed
    put32(out, 32);
    put32(out, 0x00FF0000);
    put32(out, 0x0000FF00);
    put32(out, 0x000000FF);
    put32(out, 0xFF000000);
    put32(out, kDdsCapsTexture);
    for (int i = 0; i < 4; ++i) {
        put32(out, 0);  // caps2..4, reserved
    }
    for (uint32_t p : image.pixels) {
        put32(out, p);
    }
    return writeBytes(path, out);
}

bool writePng(const std::string& path, const Image& image) {
    std::vector<unsigned char> rgba;
    rgba.reserve(image.pixels.size() * 4);
    for (uint32_t p : image.pixels) {
        rgba.push_back(static_cast<unsigned char>(p >> 16));
        rgba.push_back(static_cast<unsigned char>(p >> 8));
        rgba.push_back(static_cast<unsigned char>(p));
        rgba.push_back(static_cast<unsigned char>(p >> 24));
    }
    if (!stbi_write_png(path.c_str(), image.width, image.height, 4, rgba.data(), image.width * 4)) {
        std::fprintf(stderr, "writePng: cannot write '%s'\n", path.c_str());
        return false;
    }
    return true;
}
