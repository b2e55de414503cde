// Writes small seed inputs for every fuzzer, one folder each, so that the fuzzers start from all
// the variants their parsers know instead of from the handful of media files.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include "audio/midi_file.h"
#include "audio/wave_file.h"
#include "controls/flight_recorder.h"
#include "gfx/dds_reader.h"
#include "gfx/model_file.h"
#include "gfx/texture_file.h"
#include "tests/gfxload/x_files.h"
#include "tests/gfxload/x_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put16le(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32le(Bytes& b, uint32_t v) {
    put16le(b, v & 0xFFFF);
    put16le(b, v >> 16);
}
void put16be(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
void put32be(Bytes& b, uint32_t v) {
    put16be(b, v >> 16);
    put16be(b, v & 0xFFFF);
}
void putText(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
}
// Pixel and sample bytes that are not all alike, the same on every run.
Bytes pattern(size_t n, uint32_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        b[i] = uint8_t(seed >> 16);
    }
    return b;
}

// ---- recording files ------------------------------------------------------------------------

Bytes recording(uint32_t count, size_t size = 4 + 120000) {
    Bytes b;
    put32le(b, count);
    for (uint32_t i = 0; b.size() < size; ++i) {
        // Steering, no vertical input, and every tenth frame without any input.
        const bool none = i % 10 == 9;
        put16le(b, none ? uint16_t(kNoInput) : uint16_t(int16_t(i % 200) - 100));
        put16le(b, uint16_t(kNoInput));
        put16le(b, none ? uint16_t(kNoInput) : uint16_t(i % 7));
    }
    b.resize(size);
    return b;
}

// ---- DDS ------------------------------------------------------------------------------------

constexpr uint32_t fourCC(const char* s) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

struct DdsFormat {
    uint32_t flags = 0, code = 0, bits = 0, r = 0, g = 0, b = 0, a = 0;
    uint32_t dxgi = 0;  // with code "DX10"
};

Bytes dds(uint32_t width, uint32_t height, const DdsFormat& f, size_t payload) {
    Bytes b;
    putText(b, "DDS ");
    const uint32_t header[31] = {
        124, 0x100F, height, width,   0,      0,      1,   0,   0,   0,   0,      0, 0, 0, 0, 0,
        0,   0,      32,     f.flags, f.code, f.bits, f.r, f.g, f.b, f.a, 0x1000, 0, 0, 0, 0};
    for (uint32_t word : header) put32le(b, word);
    if (f.code == fourCC("DX10")) {
        for (uint32_t word : {f.dxgi, 3u, 0u, 1u, 0u}) put32le(b, word);
    }
    const Bytes pixels = pattern(payload, width * 31 + height + f.code + f.bits);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

void ddsSeeds(std::map<std::string, Bytes>& out) {
    constexpr uint32_t kFourCC = 0x4, kRgb = 0x40, kAlphaPixels = 0x1, kAlpha = 0x2,
                       kLuminance = 0x20000;
    out["dxt1_4x4.dds"] = dds(4, 4, {kFourCC, fourCC("DXT1")}, 8);
    out["dxt3_8x4.dds"] = dds(8, 4, {kFourCC, fourCC("DXT3")}, 32);
    out["dxt5_5x3.dds"] = dds(5, 3, {kFourCC, fourCC("DXT5")}, 32);
    for (uint32_t dxgi : {71u, 74u, 77u, 28u, 87u, 88u, 85u, 86u, 115u, 65u}) {
        const size_t payload = dxgi >= 71 && dxgi <= 77 ? 16 : 3 * 2 * 4;
        DdsFormat f{kFourCC, fourCC("DX10")};
        f.dxgi = dxgi;
        out["dx10_" + std::to_string(dxgi) + ".dds"] = dds(3, 2, f, payload);
    }
    for (uint32_t code :
         {20u, 21u, 22u, 23u, 25u, 26u, 27u, 28u, 29u, 31u, 33u, 50u, 51u, 52u, 81u}) {
        out["code_" + std::to_string(code) + ".dds"] = dds(3, 2, {kFourCC, code}, 3 * 2 * 4);
    }
    out["argb32.dds"] =
        dds(3, 2, {kRgb | kAlphaPixels, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 24);
    out["rgb24.dds"] = dds(3, 2, {kRgb, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0}, 18);
    out["rgb565.dds"] = dds(3, 2, {kRgb, 0, 16, 0xF800, 0x7E0, 0x1F, 0}, 12);
    out["argb4444.dds"] = dds(3, 2, {kRgb | kAlphaPixels, 0, 16, 0xF00, 0xF0, 0xF, 0xF000}, 12);
    out["rgb332.dds"] = dds(3, 2, {kRgb, 0, 8, 0xE0, 0x1C, 0x3, 0}, 6);
    out["lum8.dds"] = dds(3, 2, {kLuminance, 0, 8, 0xFF, 0, 0, 0}, 6);
    out["lum8a8.dds"] = dds(3, 2, {kLuminance | kAlphaPixels, 0, 16, 0xFF, 0, 0, 0xFF00}, 12);
    out["alpha8.dds"] = dds(3, 2, {kAlpha, 0, 8, 0, 0, 0, 0xFF}, 6);
}

// ---- pictures through stb_image ---------------------------------------------------------------

void appendToBytes(void* context, void* data, int size) {
    auto* b = static_cast<Bytes*>(context);
    const auto* p = static_cast<const uint8_t*>(data);
    b->insert(b->end(), p, p + size);
}

uint32_t crc32(const uint8_t* p, size_t n) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void pngChunk(Bytes& b, const char* type, const Bytes& data) {
    put32be(b, uint32_t(data.size()));
    const size_t start = b.size();
    putText(b, type);
    b.insert(b.end(), data.begin(), data.end());
    put32be(b, crc32(b.data() + start, b.size() - start));
}

// A PNG of any bit depth, colour type and interlacing: `rows` are the filtered scanlines
// (filter byte first), already in pass order when interlaced.
Bytes png(uint32_t width, uint32_t height, int depth, int colourType, bool interlaced,
          const Bytes& rows, const Bytes& palette = {}, const Bytes& transparency = {}) {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes header;
    put32be(header, width);
    put32be(header, height);
    header.insert(header.end(), {uint8_t(depth), uint8_t(colourType), 0, 0, uint8_t(interlaced)});
    pngChunk(b, "IHDR", header);
    if (!palette.empty())
        pngChunk(b, "PLTE", palette);
    if (!transparency.empty())
        pngChunk(b, "tRNS", transparency);
    int zlength = 0;
    Bytes raw = rows;
    unsigned char* z = stbi_zlib_compress(raw.data(), int(raw.size()), &zlength, 8);
    pngChunk(b, "IDAT", Bytes(z, z + zlength));
    STBIW_FREE(z);
    pngChunk(b, "IEND", {});
    return b;
}

// Scanlines of `width` x `height` pixels of `bytesPerRow` bytes each, every filter type in turn.
Bytes scanlines(uint32_t height, size_t bytesPerRow, uint32_t seed) {
    Bytes rows;
    for (uint32_t y = 0; y < height; ++y) {
        rows.push_back(uint8_t(y % 5));
        const Bytes row = pattern(bytesPerRow, seed + y);
        rows.insert(rows.end(), row.begin(), row.end());
    }
    return rows;
}

Bytes bmpHeader(uint32_t headerSize, int32_t width, int32_t height, uint32_t bits,
                uint32_t compression, uint32_t paletteEntries, size_t pixelBytes) {
    Bytes b;
    putText(b, "BM");
    // The classic header with bit fields keeps its three masks right after it.
    const uint32_t masksAfter = headerSize == 40 && compression == 3 ? 12 : 0;
    const uint32_t offset =
        14 + headerSize + masksAfter + paletteEntries * (headerSize == 12 ? 3 : 4);
    put32le(b, uint32_t(offset + pixelBytes));
    put32le(b, 0);
    put32le(b, offset);
    put32le(b, headerSize);
    if (headerSize == 12) {
        put16le(b, uint32_t(width));
        put16le(b, uint32_t(height));
        put16le(b, 1);
        put16le(b, bits);
    } else {
        put32le(b, uint32_t(width));
        put32le(b, uint32_t(height));
        put16le(b, 1);
        put16le(b, bits);
        put32le(b, compression);
        put32le(b, uint32_t(pixelBytes));
        put32le(b, 2835);
        put32le(b, 2835);
        put32le(b, paletteEntries);
        put32le(b, 0);
        if (headerSize >= 56) {  // bit fields
            for (uint32_t mask : {0xFF0000u, 0xFF00u, 0xFFu}) put32le(b, mask);
        }
        if (headerSize >= 56)
            put32le(b, 0xFF000000u);
        while (b.size() < 14 + headerSize) b.push_back(0);
        if (masksAfter) {
            for (uint32_t mask : {0xFF0000u, 0xFF00u, 0xFFu}) put32le(b, mask);
        }
    }
    const Bytes palette = pattern(paletteEntries * (headerSize == 12 ? 3 : 4), bits);
    b.insert(b.end(), palette.begin(), palette.end());
    return b;
}

Bytes bmp(uint32_t headerSize, int32_t width, int32_t height, uint32_t bits,
          uint32_t compression = 0, uint32_t paletteEntries = 0) {
    const uint32_t rows = uint32_t(height < 0 ? -height : height);
    const size_t rowBytes = (size_t(width) * bits + 31) / 32 * 4;
    Bytes b =
        bmpHeader(headerSize, width, height, bits, compression, paletteEntries, rowBytes * rows);
    const Bytes pixels = pattern(rowBytes * rows, uint32_t(width) * bits);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes tga(uint32_t type, uint32_t width, uint32_t height, uint32_t bits, uint32_t mapLength = 0,
          const Bytes& body = {}) {
    Bytes b = {3, uint8_t(mapLength ? 1 : 0), uint8_t(type)};
    put16le(b, 0);
    put16le(b, mapLength);
    b.push_back(mapLength ? 24 : 0);
    put32le(b, 0);
    put16le(b, width);
    put16le(b, height);
    b.push_back(uint8_t(bits));
    b.push_back(0x20);  // top row first
    putText(b, "id!");
    const Bytes map = pattern(mapLength * 3, 77);
    b.insert(b.end(), map.begin(), map.end());
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

void pictureSeeds(std::map<std::string, Bytes>& out) {
    for (int comp = 1; comp <= 4; ++comp) {
        const Bytes pixels = pattern(5 * 3 * comp, comp);
        Bytes b;
        stbi_write_png_to_func(appendToBytes, &b, 5, 3, comp, pixels.data(), 5 * comp);
        out["stb_" + std::to_string(comp) + ".png"] = b;
        b.clear();
        stbi_write_jpg_to_func(appendToBytes, &b, 9, 7, comp, pattern(9 * 7 * comp, comp).data(),
                               90);
        out["stb_" + std::to_string(comp) + ".jpg"] = b;
        b.clear();
        stbi_write_jpg_to_func(appendToBytes, &b, 17, 9, comp, pattern(17 * 9 * comp, comp).data(),
                               95);
        out["stb_" + std::to_string(comp) + "_q95.jpg"] = b;
        b.clear();
        stbi_write_tga_with_rle = 1;
        stbi_write_tga_to_func(appendToBytes, &b, 5, 3, comp, pixels.data());
        out["stb_rle_" + std::to_string(comp) + ".tga"] = b;
        b.clear();
        stbi_write_tga_with_rle = 0;
        stbi_write_tga_to_func(appendToBytes, &b, 5, 3, comp, pixels.data());
        out["stb_raw_" + std::to_string(comp) + ".tga"] = b;
    }
    Bytes b;
    stbi_write_bmp_to_func(appendToBytes, &b, 5, 3, 3, pattern(45, 3).data());
    out["stb_24.bmp"] = b;

    // PNG kinds stb_image_write does not make: 16-bit, palette with transparency, low bit
    // depths, interlacing.
    out["rgb16.png"] = png(3, 2, 16, 2, false, scanlines(2, 3 * 6, 1));
    out["grey_alpha16.png"] = png(3, 2, 16, 4, false, scanlines(2, 3 * 4, 2));
    Bytes palette = pattern(4 * 3, 9);
    out["palette4.png"] = png(5, 3, 4, 3, false, scanlines(3, 3, 3), palette, {0, 128});
    out["grey1.png"] = png(11, 2, 1, 0, false, scanlines(2, 2, 4));
    out["grey2_trns.png"] = png(5, 2, 2, 0, false, scanlines(2, 2, 5), {}, {0, 1});
    // Adam7 passes of an 8 x 8 grey picture: pass sizes 1x1, 1x1, 2x1, 2x2, 4x2, 4x4, 8x4.
    Bytes passes;
    const uint32_t passSize[7][2] = {{1, 1}, {1, 1}, {2, 1}, {2, 2}, {4, 2}, {4, 4}, {8, 4}};
    for (const auto& pass : passSize) {
        const Bytes rows = scanlines(pass[1], pass[0], pass[0] * 10 + pass[1]);
        passes.insert(passes.end(), rows.begin(), rows.end());
    }
    out["interlaced.png"] = png(8, 8, 8, 0, true, passes);

    out["v3_8bit_palette.bmp"] = bmp(40, 5, 3, 8, 0, 16);
    out["v3_4bit_palette.bmp"] = bmp(40, 7, 2, 4, 0, 16);
    out["v3_1bit.bmp"] = bmp(40, 9, 2, 1, 0, 2);
    out["v3_16bit.bmp"] = bmp(40, 3, 2, 16);
    out["v3_32bit.bmp"] = bmp(40, 3, 2, 32);
    out["v3_bitfields.bmp"] = bmp(40, 3, 2, 32, 3);
    out["v3_alpha_bitfields.bmp"] = bmp(56, 3, 2, 24);
    out["v4_bitfields_top_down.bmp"] = bmp(108, 3, -2, 32, 3);
    out["v5_24bit.bmp"] = bmp(124, 3, 2, 24);
    out["os2_24bit.bmp"] = bmp(12, 3, 2, 24);

    out["grey_raw.tga"] = tga(3, 4, 2, 8, 0, pattern(8, 1));
    out["colour_map.tga"] = tga(1, 4, 2, 8, 4, Bytes{0, 1, 2, 3, 3, 2, 1, 0});
    out["rgb16_raw.tga"] = tga(2, 3, 2, 16, 0, pattern(12, 2));
    // Run-length packets: a run of four, then four raw pixels.
    Bytes rle = {0x83, 10, 20, 30, 0x03};
    const Bytes raw = pattern(12, 4);
    rle.insert(rle.end(), raw.begin(), raw.end());
    out["rgb24_rle.tga"] = tga(10, 4, 2, 24, 0, rle);
    out["colour_map_rle.tga"] = tga(9, 4, 2, 8, 4, Bytes{0x87, 2});
}

// ---- wave files -----------------------------------------------------------------------------

Bytes wave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, size_t frames,
           bool extensible = false, bool oddChunk = false) {
    const uint16_t block = uint16_t(channels * bits / 8);
    Bytes fmt;
    put16le(fmt, extensible ? 0xFFFE : tag);
    put16le(fmt, channels);
    put32le(fmt, rate);
    put32le(fmt, rate * block);
    put16le(fmt, block);
    put16le(fmt, bits);
    if (extensible) {
        put16le(fmt, 22);
        put16le(fmt, bits);
        put32le(fmt, channels == 2 ? 3 : 4);
        put16le(fmt, tag);  // the sub-format GUID starts with the format tag
        const uint8_t rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                  0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        fmt.insert(fmt.end(), rest, rest + 14);
    }
    Bytes body;
    putText(body, "WAVE");
    putText(body, "fmt ");
    put32le(body, uint32_t(fmt.size()));
    body.insert(body.end(), fmt.begin(), fmt.end());
    if (oddChunk) {
        putText(body, "LIST");
        put32le(body, 5);
        putText(body, "INFO!");
        body.push_back(0);  // pad byte
    }
    Bytes samples = pattern(frames * block, bits * 3 + channels);
    if (tag == 3) {
        for (size_t i = 0; i + 4 <= samples.size(); i += 4) {
            const float f = float(int8_t(samples[i])) / 100.0f;
            std::memcpy(&samples[i], &f, 4);
        }
    }
    putText(body, "data");
    put32le(body, uint32_t(samples.size()));
    body.insert(body.end(), samples.begin(), samples.end());
    Bytes b;
    putText(b, "RIFF");
    put32le(b, uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

void waveSeeds(std::map<std::string, Bytes>& out) {
    out["pcm8_mono.wav"] = wave(1, 1, 11025, 8, 40);
    out["pcm16_stereo.wav"] = wave(1, 2, 22050, 16, 30);
    out["pcm24_mono.wav"] = wave(1, 1, 44100, 24, 20, false, true);
    out["pcm32_stereo.wav"] = wave(1, 2, 48000, 32, 10);
    out["float_mono.wav"] = wave(3, 1, 44100, 32, 16);
    out["extensible_pcm16.wav"] = wave(1, 2, 44100, 16, 12, true);
    out["extensible_float.wav"] = wave(3, 1, 8000, 32, 12, true, true);
}

// ---- MIDI files -----------------------------------------------------------------------------

void number(Bytes& b, uint32_t v) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = uint8_t(v & 0x7F);
        v >>= 7;
    } while (v != 0);
    while (n-- > 0) b.push_back(uint8_t(groups[n] | (n > 0 ? 0x80 : 0)));
}

Bytes chunk(const char* id, const Bytes& body) {
    Bytes b;
    putText(b, id);
    put32be(b, uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes midi(uint16_t format, uint16_t division, const std::vector<Bytes>& tracks,
           const Bytes& after = {}) {
    Bytes header;
    put16be(header, format);
    put16be(header, uint32_t(tracks.size()));
    put16be(header, division);
    Bytes b = chunk("MThd", header);
    for (const Bytes& track : tracks) {
        const Bytes c = chunk("MTrk", track);
        b.insert(b.end(), c.begin(), c.end());
    }
    b.insert(b.end(), after.begin(), after.end());
    return b;
}

// delta time, then the event bytes
void event(Bytes& t, uint32_t delta, std::initializer_list<uint8_t> bytes) {
    number(t, delta);
    t.insert(t.end(), bytes);
}
void meta(Bytes& t, uint32_t delta, uint8_t type, const Bytes& data) {
    number(t, delta);
    t.push_back(0xFF);
    t.push_back(type);
    number(t, uint32_t(data.size()));
    t.insert(t.end(), data.begin(), data.end());
}
void endTrack(Bytes& t, uint32_t delta) {
    meta(t, delta, 0x2F, {});
}

void midiSeeds(std::map<std::string, Bytes>& out) {
    {
        Bytes t;
        meta(t, 0, 0x51, {0x07, 0xA1, 0x20});
        meta(t, 0, 0x58, {4, 2, 24, 8});
        meta(t, 0, 0x59, {0xFE, 0});
        event(t, 0, {0xC0, 19});
        event(t, 0, {0x90, 60, 100});
        event(t, 96, {64, 90});  // running status
        event(t, 96, {60, 0});   // note-off as velocity 0
        event(t, 0, {0x80, 64, 40});
        endTrack(t, 96);
        out["format0.mid"] = midi(0, 96, {t});
    }
    {
        Bytes tempo, melody, drums;
        meta(tempo, 0, 0x03, Bytes{'T', 'e', 'm', 'p', 'o'});
        meta(tempo, 0, 0x51, {0x03, 0xD0, 0x90});
        meta(tempo, 0, 0x54, {0x60, 0, 0, 0, 0});
        meta(tempo, 480, 0x51, {0x05, 0x16, 0x15});
        endTrack(tempo, 960);
        event(melody, 0, {0xF0, 5, 0x7E, 0x7F, 0x09, 0x01, 0xF7});  // GM on
        event(melody, 0, {0xB1, 7, 100});
        event(melody, 0, {0xE1, 0, 0x40});
        event(melody, 0, {0xD1, 30});
        event(melody, 0, {0xA1, 60, 20});
        event(melody, 0, {0x91, 67, 80});
        event(melody, 0x0FFFFF, {0x81, 67, 0});  // a three-byte delta
        meta(melody, 0, 0x7F, Bytes{0x00, 0x00, 0x41});
        endTrack(melody, 0);
        event(drums, 0, {0x99, 36, 127});
        event(drums, 120, {0x89, 36, 0});
        endTrack(drums, 10);
        out["format1.mid"] = midi(1, 480, {tempo, melody, drums}, chunk("XFIH", Bytes{1, 2, 3}));
    }
    {
        Bytes t;
        event(t, 0, {0x90, 72, 1});
        endTrack(t, 1);
        out["one_tick.mid"] = midi(0, 1, {t});
    }
}

// ---- X models -------------------------------------------------------------------------------

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

void modelSeeds(std::map<std::string, Bytes>& out) {
    out["hand_written.x"] = text(handWrittenModel());
    out["binary32.x"] = binaryQuad(false);
    out["binary64.x"] = binaryQuad(true);
    out["hand_written64.x"] = xwriter::binaryFromText(handWrittenModel(), true);
    // Compressed, in blocks small enough that they refer back into each other.
    out["hand_written_tzip.x"] = xwriter::compressed(text(handWrittenModel()), 512);
    out["binary_bzip.x"] = xwriter::compressed(binaryQuad(false), 64);
    out["skin_animation.x"] = text(R"(xof 0303txt 0032
template Vector { <3d82ab5e-62da-11cf-ab39-0020af71e433> FLOAT x; FLOAT y; FLOAT z; }
AnimTicksPerSecond { 30; }
Material Shared { 0.5;0.5;0.5;1.0;; 5.0; 1.0;1.0;1.0;; 0.0;0.0;0.0;; }
Frame Root {
  FrameTransformMatrix { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1;; }
  Frame {
    Mesh Tri {
      3; 0;0;0;, 1;0;0;, 0;1;0;;
      1; 3;0,1,2;;
      MeshVertexColors { 3; 0;1;0;0;1;;, 1;0;1;0;1;;, 2;0;0;1;1;;; }
      MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; }
      MeshTextureCoords { 3; 0;0;, 0;1;, 1;0;; }
      MeshMaterialList { 1; 1; 0;; { Shared } }
      XSkinMeshHeader { 1; 1; 1; }
      SkinWeights { "Root"; 2; 0, 1; 1.0, 0.5; 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1;; }
      VertexDuplicationIndices { 3; 3; 0, 1, 2; }
    }
  }
}
AnimationSet Spin {
  Animation { { Root }
    AnimationKey { 0; 2; 0; 4; 1.0, 0.0, 0.0, 0.0;;, 30; 4; 0.7, 0.0, 0.7, 0.0;;; }
    AnimationKey { 2; 1; 0; 3; 0.0, 1.0, 0.0;;; }
    AnimationOptions { 1; 0; }
  }
}
)");
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];

    std::map<std::string, Bytes> recordings, ddsFiles, pictures, waves, tunes, models;
    recordings["empty.dvk"] = recording(0);
    recordings["short_flight.dvk"] = recording(37);
    recordings["fits_small_recorder.dvk"] = recording(64);
    recordings["longest.dvk"] = recording(19999);
    recordings["full.dvk"] = recording(20000);
    recordings["count_too_large.dvk"] = recording(20001);
    recordings["count_only.dvk"] = recording(5, 4);
    recordings["trailing_bytes.dvk"] = recording(3, 4 + 120000 + 17);
    ddsSeeds(ddsFiles);
    pictures = ddsFiles;
    pictureSeeds(pictures);
    waveSeeds(waves);
    midiSeeds(tunes);
    modelSeeds(models);

    // Each folder with the parser that must accept what was meant to be valid.
    struct Folder {
        const char* name;
        const std::map<std::string, Bytes>* seeds;
        std::function<bool(const Bytes&, std::string&)> accepts;
    };
    static RecordEntry entries[kRecorderCapacity];
    const Folder folders[] = {
        {"recording", &recordings,
         [](const Bytes& b, std::string& error) {
             uint32_t count = 0;
             error = "refused";
             return parseRecording(b.data(), b.size(), kRecorderCapacity, count, entries);
         }},
        {"dds", &ddsFiles,
         [](const Bytes& b, std::string& error) {
             Image image;
             return readDds(b.data(), b.size(), image, error);
         }},
        {"texture", &pictures,
         [](const Bytes& b, std::string& error) {
             Image image;
             return decodeImage(b.data(), b.size(), image, error);
         }},
        {"wave", &waves,
         [](const Bytes& b, std::string& error) {
             WaveSound sound;
             return readWaveFile(b.data(), b.size(), sound, error);
         }},
        {"midi", &tunes,
         [](const Bytes& b, std::string& error) {
             MidiFileInfo info;
             return readMidiFileInfo(b.data(), b.size(), info, error);
         }},
        {"tune", &tunes,
         [](const Bytes& b, std::string& error) {
             MidiFileInfo info;
             return readMidiFileInfo(b.data(), b.size(), info, error);
         }},
        {"model", &models,
         [](const Bytes& b, std::string& error) {
             ModelData model;
             return loadModelFromXBuffer(b.data(), b.size(), model, error);
         }},
    };
    for (const Folder& folder : folders) {
        const std::string dir = root + "/" + folder.name;
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        int accepted = 0;
        for (const auto& [name, bytes] : *folder.seeds) {
            if (!writeFile(dir + "/" + name, bytes)) {
                std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
                return 1;
            }
            std::string error;
            if (folder.accepts(bytes, error)) {
                ++accepted;
            } else {
                std::printf("  %s/%s is refused: %s\n", folder.name, name.c_str(), error.c_str());
            }
        }
        std::printf("%s: %zu seeds, %d accepted\n", folder.name, folder.seeds->size(), accepted);
    }
    return 0;
}
