// Screen-space sprites of the GL device: the corners of a texture rectangle carried into
// back-buffer pixels, by the scale-rotate-translate rule or by a matrix.
#include <cmath>

#include "platform/gl_resources.h"

bool GlSprite::begin() {
    if (!link_->device || begun_)
        return false;
    begun_ = true;
    return true;
}

bool GlSprite::end() {
    if (!begun_)
        return false;
    begun_ = false;
    return link_->device != nullptr;
}

bool GlSprite::prepare(Texture* texture, const Rect* source, const GlTexture*& glTexture,
                       Rect& rect) const {
    GlDevice* device = link_->device;
    auto* t = dynamic_cast<GlTexture*>(texture);
    if (!device || !t || !t->madeBy(device))
        return false;
    rect = source ? *source
                  : Rect{0, 0, static_cast<int32_t>(t->width()), static_cast<int32_t>(t->height())};
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return false;
    glTexture = t;
    return true;
}

// Draws without begin() too: the sprite's own states are set for each draw and the device's are
// left as they were.
bool GlSprite::draw(Texture* texture, const Rect* source, const Vec2* scaling,
                    const Vec2* rotationCentre, float rotation, const Vec2* translation,
                    uint32_t colour) {
    const GlTexture* t = nullptr;
    Rect rect;
    if (!prepare(texture, source, t, rect))
        return false;
    const float w = static_cast<float>(rect.right - rect.left);
    const float h = static_cast<float>(rect.bottom - rect.top);
    const Vec2 s = scaling ? *scaling : Vec2{1, 1};
    const Vec2 c = rotationCentre ? *rotationCentre : Vec2{0, 0};
    const Vec2 move = translation ? *translation : Vec2{0, 0};
    const float cb = std::cos(-rotation), sb = std::sin(-rotation);
    const Vec2 p[4] = {{0, 0}, {w, 0}, {0, h}, {w, h}};
    GlDevice::SpriteCorner corners[4];
    for (int k = 0; k < 4; ++k) {
        float dx = p[k].x * s.x - c.x, dy = p[k].y * s.y - c.y;
        corners[k].x = c.x + dx * cb - dy * sb + move.x;
        corners[k].y = c.y + dx * sb + dy * cb + move.y;
        corners[k].w = 1;
        corners[k].u = (rect.left + p[k].x) / t->width();
        corners[k].v = (rect.top + p[k].y) / t->height();
    }
    return link_->device->drawSpriteQuad(*t, corners, colour);
}

bool GlSprite::drawTransform(Texture* texture, const Rect* source, const Matrix& transform,
                             uint32_t colour) {
    const GlTexture* t = nullptr;
    Rect rect;
    if (!prepare(texture, source, t, rect))
        return false;
    const float w = static_cast<float>(rect.right - rect.left);
    const float h = static_cast<float>(rect.bottom - rect.top);
    const Vec2 p[4] = {{0, 0}, {w, 0}, {0, h}, {w, h}};
    GlDevice::SpriteCorner corners[4];
    for (int k = 0; k < 4; ++k) {
        // Kept homogeneous, so that a projective transform interpolates the texture correctly.
        Vec4 q = transformPoint({p[k].x, p[k].y, 0}, transform);
        corners[k] = {q.x, q.y, q.w, (rect.left + p[k].x) / t->width(),
                      (rect.top + p[k].y) / t->height()};
    }
    return link_->device->drawSpriteQuad(*t, corners, colour);
}
