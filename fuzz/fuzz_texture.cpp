// Fuzzes the texture loader's decoding, which picks DDS, PNG, BMP, TGA or JPEG by content: a
// picture it accepts is within the size limits and fully allocated.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "gfx/dds_reader.h"
#include "gfx/texture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image image;
    std::string error;
    if (!decodeImage(data, size, image, error)) {
        FUZZ_CHECK(!error.empty() && image.data.empty());
        return 0;
    }
    FUZZ_CHECK(image.width > 0 && image.height > 0);
    FUZZ_CHECK(image.width <= kMaxTextureDimension && image.height <= kMaxTextureDimension);
    if (image.format == PixelFormat::Argb8888) {
        FUZZ_CHECK(image.data.size() == uint64_t(image.width) * image.height * 4);
        // Every pixel is read, as the texture upload will.
        uint32_t sum = 0;
        for (uint8_t byte : image.data) sum += byte;
        FUZZ_CHECK(sum <= image.data.size() * 255u);
    } else {
        FUZZ_CHECK(isDdsData(data, size));
    }
    return 0;
}
