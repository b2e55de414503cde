// The fake text renderer.
#include "fakes/fake_text_renderer.h"

bool FakeTextRenderer::render(const std::string& utf8, int pixelSize, Image& out) {
    asked.push_back(utf8);
    out = Image{};
    if (noFont || utf8.empty() || pixelSize <= 0)
        return false;
    out.width = uint32_t(utf8.size()) * uint32_t(pixelSize) / 2;
    out.height = uint32_t(pixelSize);
    out.data.assign(size_t(out.width) * out.height * 4, 0xFF);
    return true;
}
