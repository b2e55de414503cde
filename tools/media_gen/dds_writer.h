// Writes pictures as uncompressed 32-bit A8R8G8B8 DDS files and as PNG files.
#pragma once

#include <string>

#include "image.h"

bool writeDds(const std::string& path, const Image& image);
bool writePng(const std::string& path, const Image& image);
