// Screenshots: the GL back buffer read back and written with stb_image_write.
#include "screenshot.h"

#include <vector>

#include "game/game_state.h"
#include "platform/gl_device.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

bool saveScreenshot(const std::string& path) {
    auto* device = dynamic_cast<GlDevice*>(game.device.get());
    if (!device)
        return false;
    std::vector<uint32_t> argb;
    if (!device->readBackBuffer(argb))
        return false;
    int w = static_cast<int>(device->backBufferWidth()),
        h = static_cast<int>(device->backBufferHeight());
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < argb.size() && i * 3 + 2 < rgb.size(); ++i) {
        rgb[i * 3] = static_cast<unsigned char>(argb[i] >> 16);
        rgb[i * 3 + 1] = static_cast<unsigned char>(argb[i] >> 8);
        rgb[i * 3 + 2] = static_cast<unsigned char>(argb[i]);
    }
    return stbi_write_png(path.c_str(), w, h, 3, rgb.data(), w * 3) != 0;
}
