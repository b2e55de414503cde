// DDS texture files read into an Image: uncompressed RGB, luminance and alpha pixels become
// Argb8888, DXT1/3/5 blocks are kept as they are; only the top mip level is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "gfx/graphics_device.h"

// A cursor over bytes in memory that never reads past their end: every read says whether the
// bytes were there.
class ByteReader {
  public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t position() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    bool skip(size_t count);
    bool seek(size_t position);
    // Little-endian values.
    bool u8(uint32_t& value);
    bool u16(uint32_t& value);
    bool u32(uint32_t& value);
    // Points `bytes` at the next `count` bytes and moves past them.
    bool take(size_t count, const uint8_t*& bytes);

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

constexpr uint32_t kMaxTextureDimension = 16384;

// True when the bytes start with the DDS magic "DDS ".
bool isDdsData(const uint8_t* data, size_t size);

// Decodes a whole DDS file held in memory. On failure `out` is left empty and `error` says why.
bool readDds(const uint8_t* data, size_t size, Image& out, std::string& error);
