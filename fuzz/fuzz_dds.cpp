// Fuzzes the DDS reader on its own: a decoded picture must hold exactly the bytes its size and
// format call for.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "gfx/dds_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image image;
    std::string error;
    if (!readDds(data, size, image, error)) {
        FUZZ_CHECK(!error.empty() && image.data.empty());
        return 0;
    }
    FUZZ_CHECK(image.width > 0 && image.height > 0);
    FUZZ_CHECK(image.width <= kMaxTextureDimension && image.height <= kMaxTextureDimension);
    const uint64_t blocks = (uint64_t(image.width) + 3) / 4 * ((uint64_t(image.height) + 3) / 4);
    switch (image.format) {
        case PixelFormat::Argb8888:
            FUZZ_CHECK(image.data.size() == uint64_t(image.width) * image.height * 4);
            break;
        case PixelFormat::Dxt1:
            FUZZ_CHECK(image.data.size() == blocks * 8);
            break;
        case PixelFormat::Dxt3:
        case PixelFormat::Dxt5:
            FUZZ_CHECK(image.data.size() == blocks * 16);
            break;
    }
    // Blocks are copied as they are, every other pixel takes at least one byte of the file.
    FUZZ_CHECK(image.data.size() <= (image.format == PixelFormat::Argb8888 ? size * 4 : size));
    return 0;
}
