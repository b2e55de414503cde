// Textures from image files: the reader is chosen by the file's content (DDS, PNG, BMP, TGA,
// JPEG), and every file is read whole, with a size limit, before it is decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/graphics_device.h"

constexpr size_t kMaxMediaFileBytes = size_t(64) << 20;
// Pictures decoded through stb_image: at most this many pixels (each side at most 16384).
constexpr uint64_t kMaxImagePixels = uint64_t(64) << 20;

// Media names are written Windows style (".\media\star.dds"); this turns every '\' into '/'.
std::string localPath(const std::string& path);

// Reads a whole regular file (its name through localPath, under the data folder) of at most
// `limit` bytes.
bool readFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& out,
                   std::string& error);

// Decodes an image file held in memory into rows top first: DDS through our own reader, the
// others through stb_image as Argb8888.
bool decodeImage(const uint8_t* data, size_t size, Image& out, std::string& error);

bool loadImageFile(const std::string& path, Image& out, std::string& error);

// Null on any failure.
std::unique_ptr<Texture> createTextureFromFile(GraphicsDevice& device, const std::string& path);
