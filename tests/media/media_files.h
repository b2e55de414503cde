// Shared by the media tests: reading a generated file and bounds-checked little- and
// big-endian fields. Each format's reader lives in its own test file.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::string mediaPath(const std::string& name) {
    return std::string(DRAVIK_MEDIA_DIR) + "/" + name;
}

// The whole file, or an empty vector if it is missing or implausibly large.
inline std::vector<uint8_t> readMediaFile(const std::string& name) {
    std::ifstream in(mediaPath(name), std::ios::binary);
    if (!in) {
        return {};
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size <= 0 || size > (64 << 20)) {
        return {};
    }
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    return in ? bytes : std::vector<uint8_t>{};
}

// A cursor over a byte buffer that never reads past the end: a short read sets `failed`
// and returns zeros.
struct ByteReader {
    const std::vector<uint8_t>& bytes;
    size_t pos = 0;
    bool failed = false;

    bool has(size_t n) const { return pos <= bytes.size() && bytes.size() - pos >= n; }
    uint32_t le(int n) {
        if (!has(n)) {
            failed = true;
            pos = bytes.size();
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            v |= static_cast<uint32_t>(bytes[pos + i]) << (8 * i);
        }
        pos += n;
        return v;
    }
    uint32_t be(int n) {
        if (!has(n)) {
            failed = true;
            pos = bytes.size();
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            v = (v << 8) | bytes[pos + i];
        }
        pos += n;
        return v;
    }
    std::string tag(int n) {
        if (!has(n)) {
            failed = true;
            pos = bytes.size();
            return {};
        }
        std::string s(bytes.begin() + pos, bytes.begin() + pos + n);
        pos += n;
        return s;
    }
};
