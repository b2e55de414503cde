// The one compiled copy of stb_image, limited to the picture formats textures are loaded from
// and to texture-sized dimensions; it decodes from memory only.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
// The JPEG decoder reads the Huffman tables of its state even when the file never defined them;
// in zeroed memory such a table decodes nothing instead of indexing with whatever was there.
#include <cstdlib>
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(block, size) std::realloc(block, size)
#define STBI_FREE(block) std::free(block)
#include <stb_image.h>
