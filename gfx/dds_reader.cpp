// DDS texture files read into an Image: uncompressed RGB, luminance and alpha pixels become
// Argb8888, DXT1/3/5 blocks are kept as they are; only the top mip level is read.
#include "gfx/dds_reader.h"

#include <bit>

bool ByteReader::skip(size_t count) {
    if (count > remaining())
        return false;
    pos_ += count;
    return true;
}

bool ByteReader::seek(size_t position) {
    if (position > size_)
        return false;
    pos_ = position;
    return true;
}

bool ByteReader::u8(uint32_t& value) {
    if (remaining() < 1)
        return false;
    value = data_[pos_++];
    return true;
}

bool ByteReader::u16(uint32_t& value) {
    if (remaining() < 2)
        return false;
    value = uint32_t(data_[pos_]) | uint32_t(data_[pos_ + 1]) << 8;
    pos_ += 2;
    return true;
}

bool ByteReader::u32(uint32_t& value) {
    if (remaining() < 4)
        return false;
    value = uint32_t(data_[pos_]) | uint32_t(data_[pos_ + 1]) << 8 |
            uint32_t(data_[pos_ + 2]) << 16 | uint32_t(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return true;
}

bool ByteReader::take(size_t count, const uint8_t*& bytes) {
    if (count > remaining())
        return false;
    bytes = data_ + pos_;
    pos_ += count;
    return true;
}

namespace {

constexpr uint32_t fourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
}

constexpr uint32_t kDdsMagic = fourCC('D', 'D', 'S', ' ');
constexpr uint32_t kHeaderSize = 124;
constexpr uint32_t kPixelFormatSize = 32;

// Pixel format flags.
constexpr uint32_t kPfAlphaPixels = 0x1;
constexpr uint32_t kPfAlpha = 0x2;
constexpr uint32_t kPfFourCC = 0x4;
constexpr uint32_t kPfRgb = 0x40;
constexpr uint32_t kPfLuminance = 0x20000;

// An uncompressed layout: bits per pixel and where each channel sits. A zero mask means the
// channel is absent; luminance puts its one value into red, green and blue.
struct MaskLayout {
    uint32_t bits = 0;
    uint32_t red = 0, green = 0, blue = 0, alpha = 0;
    bool luminance = false;
};

struct Layout {
    bool compressed = false;
    PixelFormat blockFormat = PixelFormat::Argb8888;
    uint32_t blockBytes = 0;
    MaskLayout masks;
};

Layout blocks(PixelFormat format, uint32_t blockBytes) {
    Layout layout;
    layout.compressed = true;
    layout.blockFormat = format;
    layout.blockBytes = blockBytes;
    return layout;
}

Layout masked(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a, bool lum = false) {
    Layout layout;
    layout.masks = {bits, r, g, b, a, lum};
    return layout;
}

// Some writers store the platform's numeric format code in the FourCC field instead of masks.
struct FormatCode {
    uint32_t code;
    MaskLayout masks;
};
constexpr FormatCode kFormatCodes[] = {
    {20, {24, 0xFF0000, 0xFF00, 0xFF, 0}},               // R8G8B8
    {21, {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}},      // A8R8G8B8
    {22, {32, 0xFF0000, 0xFF00, 0xFF, 0}},               // X8R8G8B8
    {23, {16, 0xF800, 0x7E0, 0x1F, 0}},                  // R5G6B5
    {24, {16, 0x7C00, 0x3E0, 0x1F, 0}},                  // X1R5G5B5
    {25, {16, 0x7C00, 0x3E0, 0x1F, 0x8000}},             // A1R5G5B5
    {26, {16, 0xF00, 0xF0, 0xF, 0xF000}},                // A4R4G4B4
    {27, {8, 0xE0, 0x1C, 0x3, 0}},                       // R3G3B2
    {28, {8, 0, 0, 0, 0xFF}},                            // A8
    {29, {16, 0xE0, 0x1C, 0x3, 0xFF00}},                 // A8R3G3B2
    {30, {16, 0xF00, 0xF0, 0xF, 0}},                     // X4R4G4B4
    {31, {32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}},  // A2B10G10R10
    {32, {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000}},      // A8B8G8R8
    {33, {32, 0xFF, 0xFF00, 0xFF0000, 0}},               // X8B8G8R8
    {35, {32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}},  // A2R10G10B10
    {50, {8, 0xFF, 0, 0, 0, true}},                      // L8
    {51, {16, 0xFF, 0, 0, 0xFF00, true}},                // A8L8
    {52, {8, 0xF, 0, 0, 0xF0, true}},                    // A4L4
    {81, {16, 0xFFFF, 0, 0, 0, true}},                   // L16
};

bool layoutFromFormatCode(uint32_t code, Layout& out) {
    for (const FormatCode& entry : kFormatCodes) {
        if (entry.code == code) {
            out = Layout{};
            out.masks = entry.masks;
            return true;
        }
    }
    return false;
}

// The extended header's formats that map onto what we hold: a block format, or the format
// code with the same layout.
struct DxgiFormat {
    uint32_t dxgi;
    PixelFormat blocks;  // Argb8888 for the uncompressed ones
    uint32_t blockBytes;
    uint32_t formatCode;
};
constexpr DxgiFormat kDxgiFormats[] = {
    {71, PixelFormat::Dxt1, 8, 0},       {72, PixelFormat::Dxt1, 8, 0},       // BC1
    {74, PixelFormat::Dxt3, 16, 0},      {75, PixelFormat::Dxt3, 16, 0},      // BC2
    {77, PixelFormat::Dxt5, 16, 0},      {78, PixelFormat::Dxt5, 16, 0},      // BC3
    {28, PixelFormat::Argb8888, 0, 32},  {29, PixelFormat::Argb8888, 0, 32},  // R8G8B8A8
    {87, PixelFormat::Argb8888, 0, 21},  {91, PixelFormat::Argb8888, 0, 21},  // B8G8R8A8
    {88, PixelFormat::Argb8888, 0, 22},  {93, PixelFormat::Argb8888, 0, 22},  // B8G8R8X8
    {85, PixelFormat::Argb8888, 0, 23},                                       // B5G6R5
    {86, PixelFormat::Argb8888, 0, 25},                                       // B5G5R5A1
    {115, PixelFormat::Argb8888, 0, 26},                                      // B4G4R4A4
    {65, PixelFormat::Argb8888, 0, 28},                                       // A8
};

bool layoutFromDxgiFormat(uint32_t format, Layout& out) {
    for (const DxgiFormat& entry : kDxgiFormats) {
        if (entry.dxgi != format)
            continue;
        if (entry.blocks != PixelFormat::Argb8888) {
            out = blocks(entry.blocks, entry.blockBytes);
            return true;
        }
        return layoutFromFormatCode(entry.formatCode, out);
    }
    return false;
}

std::string fourCCText(uint32_t code) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        char c = char((code >> (8 * i)) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

// Reads a channel through its mask and scales it to 0..255, rounding to nearest.
uint32_t channel(uint32_t pixel, uint32_t mask) {
    const int shift = std::countr_zero(mask);
    const uint64_t top = mask >> shift;
    const uint64_t value = (pixel & mask) >> shift;
    return uint32_t((value * 255 + top / 2) / top);
}

bool fail(std::string& error, const std::string& message) {
    error = "DDS: " + message;
    return false;
}

}  // namespace

bool isDdsData(const uint8_t* data, size_t size) {
    ByteReader reader(data, size);
    uint32_t magic = 0;
    return reader.u32(magic) && magic == kDdsMagic;
}

bool readDds(const uint8_t* data, size_t size, Image& out, std::string& error) {
    out = Image{};
    ByteReader reader(data, size);
    uint32_t magic = 0;
    if (!reader.u32(magic) || magic != kDdsMagic)
        return fail(error, "not a DDS file (bad magic)");

    // The fixed header: 31 words, the pixel format being words 18..25.
    uint32_t header[31];
    for (uint32_t& word : header) {
        if (!reader.u32(word))
            return fail(error, "file too short for its header");
    }
    if (header[0] != kHeaderSize)
        return fail(error, "bad header size");
    const uint32_t height = header[2];
    const uint32_t width = header[3];
    const uint32_t pfSize = header[18];
    const uint32_t pfFlags = header[19];
    const uint32_t pfFourCC = header[20];
    const uint32_t pfBits = header[21];
    const uint32_t pfMasks[4] = {header[22], header[23], header[24], header[25]};
    if (pfSize != kPixelFormatSize)
        return fail(error, "bad pixel format size");
    if (width == 0 || height == 0)
        return fail(error, "zero width or height");
    if (width > kMaxTextureDimension || height > kMaxTextureDimension) {
        return fail(error, "dimensions " + std::to_string(width) + "x" + std::to_string(height) +
                               " are too large");
    }

    Layout layout;
    if (pfFlags & kPfFourCC) {
        if (pfFourCC == fourCC('D', 'X', 'T', '1')) {
            layout = blocks(PixelFormat::Dxt1, 8);
        } else if (pfFourCC == fourCC('D', 'X', 'T', '3')) {
            layout = blocks(PixelFormat::Dxt3, 16);
        } else if (pfFourCC == fourCC('D', 'X', 'T', '5')) {
            layout = blocks(PixelFormat::Dxt5, 16);
        } else if (pfFourCC == fourCC('D', 'X', '1', '0')) {
            uint32_t extended[5];
            for (uint32_t& word : extended) {
                if (!reader.u32(word))
                    return fail(error, "file too short for its extended header");
            }
            if (!layoutFromDxgiFormat(extended[0], layout)) {
                return fail(error, "unsupported extended format " + std::to_string(extended[0]));
            }
        } else if (!layoutFromFormatCode(pfFourCC, layout)) {
            return fail(error, "unsupported compressed format '" + fourCCText(pfFourCC) + "'");
        }
    } else if (pfFlags & (kPfRgb | kPfLuminance | kPfAlpha)) {
        if (pfBits != 8 && pfBits != 16 && pfBits != 24 && pfBits != 32) {
            return fail(error, "unsupported bit count " + std::to_string(pfBits));
        }
        const bool hasAlpha = (pfFlags & (kPfAlphaPixels | kPfAlpha)) != 0;
        if (pfFlags & kPfRgb) {
            layout = masked(pfBits, pfMasks[0], pfMasks[1], pfMasks[2], hasAlpha ? pfMasks[3] : 0);
            if (!pfMasks[0] && !pfMasks[1] && !pfMasks[2]) {
                return fail(error, "RGB format without colour masks");
            }
        } else if (pfFlags & kPfLuminance) {
            layout = masked(pfBits, pfMasks[0], 0, 0, hasAlpha ? pfMasks[3] : 0, true);
            if (!pfMasks[0])
                return fail(error, "luminance format without a luminance mask");
        } else {
            layout = masked(pfBits, 0, 0, 0, pfMasks[3]);
            if (!pfMasks[3])
                return fail(error, "alpha format without an alpha mask");
        }
    } else {
        return fail(error, "unsupported pixel format (flags " + std::to_string(pfFlags) + ")");
    }

    if (layout.compressed) {
        const uint64_t blocksWide = (uint64_t(width) + 3) / 4;
        const uint64_t blocksHigh = (uint64_t(height) + 3) / 4;
        const uint64_t bytes = blocksWide * blocksHigh * layout.blockBytes;
        const uint8_t* source = nullptr;
        if (bytes > reader.remaining() || !reader.take(size_t(bytes), source)) {
            return fail(error, "pixel data is truncated");
        }
        out.width = width;
        out.height = height;
        out.format = layout.blockFormat;
        out.data.assign(source, source + bytes);
        return true;
    }

    const MaskLayout& m = layout.masks;
    const uint64_t limit = m.bits == 32 ? 0xFFFFFFFFull : (1ull << m.bits) - 1;
    for (uint32_t mask : {m.red, m.green, m.blue, m.alpha}) {
        if (mask > limit)
            return fail(error, "channel mask does not fit the bit count");
    }
    const uint32_t pixelBytes = m.bits / 8;
    const uint64_t bytes = uint64_t(width) * height * pixelBytes;
    const uint8_t* source = nullptr;
    if (bytes > reader.remaining() || !reader.take(size_t(bytes), source)) {
        return fail(error, "pixel data is truncated");
    }

    out.width = width;
    out.height = height;
    out.format = PixelFormat::Argb8888;
    out.data.resize(size_t(width) * height * 4);
    uint8_t* target = out.data.data();
    const size_t count = size_t(width) * height;
    for (size_t i = 0; i < count; ++i, source += pixelBytes, target += 4) {
        uint32_t pixel = 0;
        for (uint32_t b = 0; b < pixelBytes; ++b) pixel |= uint32_t(source[b]) << (8 * b);
        uint32_t r = m.red ? channel(pixel, m.red) : 0;
        uint32_t g = m.green ? channel(pixel, m.green) : 0;
        uint32_t b = m.blue ? channel(pixel, m.blue) : 0;
        if (m.luminance)
            g = b = r;
        const uint32_t a = m.alpha ? channel(pixel, m.alpha) : 255;
        target[0] = uint8_t(b);
        target[1] = uint8_t(g);
        target[2] = uint8_t(r);
        target[3] = uint8_t(a);
    }
    return true;
}
