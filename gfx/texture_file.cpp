// Textures from image files: the reader is chosen by the file's content (DDS, PNG, BMP, TGA,
// JPEG), and every file is read whole, with a size limit, before it is decoded.
#include "gfx/texture_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "gfx/data_folder.h"
#include "gfx/dds_reader.h"
#include "gfx/file_access.h"

#define STBI_NO_STDIO
#include <stb_image.h>

std::string localPath(const std::string& path) {
    std::string result = path;
    for (char& c : result) {
        if (c == '\\')
            c = '/';
    }
    return result;
}

bool readFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& out,
                   std::string& error) {
    out.clear();
    const std::string name = dataFilePath(localPath(path));
    const int fd = openRegularFile(name, error);
    if (fd < 0)
        return false;
    // Read in chunks rather than trusting the size the directory reports: the limit holds even
    // for a file that grows while it is read.
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
        out.reserve(size_t(std::min<uint64_t>(uint64_t(info.st_size), limit)));
    uint8_t chunk[65536];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = fileFailure("read", name, errno);
            ok = false;
            break;
        }
        if (got == 0)
            break;
        if (size_t(got) > limit - out.size()) {
            error = fileFailure("read", name, "larger than " + std::to_string(limit) + " bytes");
            ok = false;
            break;
        }
        out.insert(out.end(), chunk, chunk + got);
    }
    ::close(fd);
    if (!ok)
        out.clear();
    return ok;
}

namespace {

enum class PictureKind { Png, Bmp, Jpeg, Tga };

bool startsWith(const uint8_t* data, size_t size, std::initializer_list<uint8_t> prefix) {
    if (size < prefix.size())
        return false;
    size_t i = 0;
    for (uint8_t byte : prefix) {
        if (data[i++] != byte)
            return false;
    }
    return true;
}

// The same order in which stb_image tries its formats, so that the size checks below look at
// the file the way the decoder will.
PictureKind pictureKind(const uint8_t* data, size_t size) {
    if (startsWith(data, size, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) {
        return PictureKind::Png;
    }
    if (startsWith(data, size, {'B', 'M'}))
        return PictureKind::Bmp;
    // The JPEG decoder takes any number of fill bytes before the start marker.
    size_t fill = 0;
    while (fill < size && data[fill] == 0xFF) ++fill;
    if (fill > 0 && fill < size && data[fill] == 0xD8)
        return PictureKind::Jpeg;
    return PictureKind::Tga;
}

// stb_image fills missing pixel data of BMP and TGA files with zeros instead of failing, so
// those files must prove that they hold all their pixels.
bool bmpHoldsItsPixels(const uint8_t* data, size_t size, std::string& error) {
    ByteReader reader(data, size);
    uint32_t offset = 0, headerSize = 0, width = 0, height = 0, bits = 0, compression = 0;
    bool ok = reader.seek(10) && reader.u32(offset) && reader.u32(headerSize);
    if (ok && headerSize == 12) {
        ok = reader.u16(width) && reader.u16(height) && reader.skip(2) && reader.u16(bits);
    } else if (ok) {
        ok = reader.u32(width) && reader.u32(height) && reader.skip(2) && reader.u16(bits) &&
             reader.u32(compression);
        // A negative height marks rows stored top first.
        if (int32_t(height) < 0)
            height = uint32_t(-int64_t(int32_t(height)));
    }
    if (!ok) {
        error = "BMP header is truncated";
        return false;
    }
    if (int32_t(width) <= 0) {
        error = "BMP width is out of range";
        return false;
    }
    if (compression != 0 && compression != 3) {
        error = "BMP compression " + std::to_string(compression) + " is not supported";
        return false;
    }
    const uint64_t rowBytes = (uint64_t(width) * bits + 31) / 32 * 4;
    const uint64_t needed = uint64_t(offset) + rowBytes * height;
    if (offset < 14 + uint64_t(headerSize) || needed > size) {
        error = "BMP pixel data is truncated";
        return false;
    }
    return true;
}

bool tgaHoldsItsPixels(const uint8_t* data, size_t size, std::string& error) {
    ByteReader reader(data, size);
    uint32_t idLength = 0, mapType = 0, type = 0, mapLength = 0, mapBits = 0, width = 0, height = 0,
             bits = 0;
    const bool ok = reader.u8(idLength) && reader.u8(mapType) && reader.u8(type) &&
                    reader.skip(2) && reader.u16(mapLength) && reader.u8(mapBits) &&
                    reader.skip(4) && reader.u16(width) && reader.u16(height) && reader.u8(bits) &&
                    reader.skip(1);
    if (!ok) {
        error = "TGA header is truncated";
        return false;
    }
    const uint64_t mapBytes = mapType == 1 ? uint64_t(mapLength) * ((mapBits + 7) / 8) : 0;
    if (!reader.skip(idLength) || mapBytes > reader.remaining() || !reader.skip(size_t(mapBytes))) {
        error = "TGA colour map is truncated";
        return false;
    }
    const uint32_t pixelBytes = (bits + 7) / 8;
    const uint64_t pixels = uint64_t(width) * height;
    if (type == 1 || type == 2 || type == 3) {
        if (pixels * pixelBytes > reader.remaining()) {
            error = "TGA pixel data is truncated";
            return false;
        }
    } else if (type == 9 || type == 10 || type == 11) {
        // Walk the run-length packets: each covers 1..128 pixels with one value or a run of raw
        // values.
        for (uint64_t covered = 0; covered < pixels;) {
            uint32_t packet = 0;
            if (!reader.u8(packet)) {
                error = "TGA pixel data is truncated";
                return false;
            }
            const uint32_t run = (packet & 0x7F) + 1;
            const uint64_t bytes = (packet & 0x80) ? pixelBytes : uint64_t(run) * pixelBytes;
            if (bytes > reader.remaining() || !reader.skip(size_t(bytes))) {
                error = "TGA pixel data is truncated";
                return false;
            }
            covered += run;
        }
    }
    return true;
}

// stb_image builds a JPEG Huffman table from its 16 code counts without checking that they add up
// to at most 256 codes, and writes past the table when they do not. The decoder takes a table
// definition wherever it meets an FF C4 marker, so every FF C4 in the file is read here the way
// the decoder would read it (zeros past the end, as it does).
bool jpegTablesFit(const uint8_t* data, size_t size, std::string& error) {
    auto byteAt = [&](size_t i) -> uint32_t { return i < size ? data[i] : 0; };
    for (size_t at = 0; at + 1 < size; ++at) {
        if (data[at] != 0xFF || data[at + 1] != 0xC4)
            continue;
        size_t p = at + 2;
        int64_t left = int64_t(byteAt(p) << 8 | byteAt(p + 1)) - 2;
        p += 2;
        while (left > 0 && p < size) {
            const uint32_t table = byteAt(p++);
            if ((table >> 4) > 1 || (table & 15) > 3)
                break;  // the decoder refuses the marker here
            uint32_t codes = 0;
            for (int i = 0; i < 16; ++i) codes += byteAt(p++);
            if (codes > 256) {
                error = "JPEG Huffman table with more than 256 codes";
                return false;
            }
            p += codes;
            left -= 17 + int64_t(codes);
        }
    }
    return true;
}

// stb_image reserves room for a PNG data chunk as long as the chunk says it is before reading
// it, so a small file could claim gigabytes; every chunk up to the end chunk must lie in the file.
// It also copies an empty first data chunk from a null buffer, which no encoder writes anyway.
bool pngChunksFit(const uint8_t* data, size_t size, std::string& error) {
    ByteReader reader(data, size);
    reader.skip(8);
    bool haveData = false;
    for (;;) {
        uint32_t length = 0;
        const uint8_t* type = nullptr;
        if (!reader.remaining())
            return true;  // no end chunk: the decoder refuses that itself
        if (!reader.u32(length) || !reader.take(4, type)) {
            error = "PNG chunk header is truncated";
            return false;
        }
        length = (length >> 24) | ((length >> 8) & 0xFF00) | ((length << 8) & 0xFF0000) |
                 (length << 24);  // PNG numbers are big-endian
        if (std::equal(type, type + 4, "IEND"))
            return true;  // the decoder reads no further
        if (uint64_t(length) + 4 > reader.remaining()) {
            error = "PNG chunk runs past the end of the file";
            return false;
        }
        if (std::equal(type, type + 4, "IDAT")) {
            if (!haveData && length == 0) {
                error = "PNG image data starts with an empty chunk";
                return false;
            }
            haveData = true;
        }
        reader.skip(size_t(length) + 4);  // the data and its CRC
    }
}

// stb_image also decodes a scan with Huffman tables the file never defined, out of whatever its
// memory held. The markers are walked as the decoder walks them, and every scan must name tables
// defined before it: both kinds in a sequential scan, in a progressive one the DC table for a
// first DC scan and the AC table for an AC scan.
bool jpegScansHaveTables(const uint8_t* data, size_t size, std::string& error) {
    bool defined[2][4] = {};
    bool progressive = false;
    size_t p = 0;
    while (p < size && data[p] == 0xFF) ++p;
    ++p;  // the start marker
    for (;;) {
        // A marker: 0xFF, fill bytes, the code. The decoder skips stray bytes between segments.
        while (p < size && data[p] != 0xFF) ++p;
        while (p < size && data[p] == 0xFF) ++p;
        if (p >= size)
            return true;
        const uint8_t marker = data[p++];
        if (marker == 0xD9)
            return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (size - p < 2)
            return true;
        const size_t length = size_t(data[p]) << 8 | data[p + 1];
        if (length < 2 || length > size - p)
            return true;
        const uint8_t* segment = data + p + 2;
        const size_t segmentSize = length - 2;
        p += length;
        if (marker == 0xC2)
            progressive = true;
        if (marker == 0xC4) {
            for (size_t t = 0; t + 17 <= segmentSize;) {
                const uint32_t kind = segment[t] >> 4, slot = segment[t] & 15;
                if (kind > 1 || slot > 3)
                    break;
                uint32_t codes = 0;
                for (size_t i = 1; i <= 16; ++i) codes += segment[t + i];
                defined[kind][slot] = true;
                t += 17 + codes;
            }
        }
        if (marker != 0xDA)
            continue;
        if (segmentSize < 1 || segmentSize < 1 + size_t(segment[0]) * 2 + 3)
            return true;
        const uint8_t count = segment[0];
        const uint8_t* end = segment + 1 + count * 2;
        const uint8_t spectralStart = end[0], approximationHigh = end[2] >> 4;
        for (uint8_t c = 0; c < count; ++c) {
            const uint8_t tables = segment[2 + c * 2];
            const uint32_t dc = tables >> 4, ac = tables & 15;
            if (dc > 3 || ac > 3)
                return true;  // refused by the decoder
            const bool needsDc = !progressive || (spectralStart == 0 && approximationHigh == 0);
            const bool needsAc = !progressive || spectralStart != 0;
            if ((needsDc && !defined[0][dc]) || (needsAc && !defined[1][ac])) {
                error = "JPEG scan uses a Huffman table the file does not define";
                return false;
            }
        }
        // The entropy-coded data runs to the next marker that is neither a stuffed 0xFF nor a
        // restart.
        while (p + 1 < size && !(data[p] == 0xFF && data[p + 1] != 0x00 && data[p + 1] != 0xFF &&
                                 (data[p + 1] < 0xD0 || data[p + 1] > 0xD7))) {
            ++p;
        }
    }
}

bool fail(std::string& error, const std::string& message) {
    error = message;
    return false;
}

}  // namespace

bool decodeImage(const uint8_t* data, size_t size, Image& out, std::string& error) {
    out = Image{};
    if (isDdsData(data, size))
        return readDds(data, size, out, error);
    if (size == 0)
        return fail(error, "empty image file");
    if (size > size_t(INT_MAX))
        return fail(error, "image file too large");

    // Even reading the header of a JPEG file builds the tables that come before its frame, so
    // these checks come first.
    const PictureKind kind = pictureKind(data, size);
    if (kind == PictureKind::Jpeg &&
        (!jpegTablesFit(data, size, error) || !jpegScansHaveTables(data, size, error))) {
        return false;
    }
    if (kind == PictureKind::Png && !pngChunksFit(data, size, error))
        return false;

    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, int(size), &width, &height, &channels)) {
        return fail(error, std::string("not a DDS, PNG, BMP, TGA or JPEG image (") +
                               stbi_failure_reason() + ")");
    }
    if (width <= 0 || height <= 0 || uint32_t(width) > kMaxTextureDimension ||
        uint32_t(height) > kMaxTextureDimension ||
        uint64_t(width) * uint64_t(height) > kMaxImagePixels) {
        return fail(error, "image dimensions " + std::to_string(width) + "x" +
                               std::to_string(height) + " are out of range");
    }
    if (kind == PictureKind::Bmp && !bmpHoldsItsPixels(data, size, error))
        return false;
    if (kind == PictureKind::Tga && !tgaHoldsItsPixels(data, size, error))
        return false;

    int w = 0, h = 0;
    stbi_uc* rgba = stbi_load_from_memory(data, int(size), &w, &h, &channels, 4);
    if (!rgba)
        return fail(error, std::string("cannot decode image: ") + stbi_failure_reason());
    if (w != width || h != height) {
        stbi_image_free(rgba);
        return fail(error, "image size changed while decoding");
    }
    out.width = uint32_t(w);
    out.height = uint32_t(h);
    out.format = PixelFormat::Argb8888;
    out.data.resize(size_t(w) * size_t(h) * 4);
    for (size_t i = 0; i < out.data.size(); i += 4) {
        out.data[i + 0] = rgba[i + 2];
        out.data[i + 1] = rgba[i + 1];
        out.data[i + 2] = rgba[i + 0];
        out.data[i + 3] = rgba[i + 3];
    }
    stbi_image_free(rgba);
    return true;
}

bool loadImageFile(const std::string& path, Image& out, std::string& error) {
    out = Image{};
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, kMaxMediaFileBytes, bytes, error))
        return false;
    if (!decodeImage(bytes.data(), bytes.size(), out, error)) {
        error = fileFailure("read", localPath(path), error);
        return false;
    }
    return true;
}

std::unique_ptr<Texture> createTextureFromFile(GraphicsDevice& device, const std::string& path) {
    // A failure noted earlier and not reported (a part of the plane left untextured) is not this
    // file's.
    takeFileFailure();
    Image image;
    std::string error;
    if (!loadImageFile(path, image, error)) {
        noteFileFailure(error);
        return nullptr;
    }
    std::unique_ptr<Texture> texture = device.createTexture(image);
    if (!texture)
        noteFileFailure(fileFailure("load", localPath(path), "the graphics device refused it"));
    return texture;
}
