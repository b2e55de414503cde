// Screen-space sprites of the GL device: the corners of a texture rectangle carried into
// back-buffer pixels, by the scale-rotate-translate rule or by a matrix.
#include <algorithm>
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

namespace {

bool isEmpty(const Rect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

}  // namespace

bool GlSprite::prepare(Texture* texture, const Rect* source, const GlTexture*& glTexture,
                       Rect& rect, Rect& drawn) const {
    GlDevice* device = link_->device;
    auto* t = dynamic_cast<GlTexture*>(texture);
    if (!device || !t || !t->madeBy(device))
        return false;
    rect = source ? *source
                  : Rect{0, 0, static_cast<int32_t>(t->width()), static_cast<int32_t>(t->height())};
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return false;
    glTexture = t;
    // Only the part that can show: where alpha is 0 the back buffer stays as it is. One texel
    // more on each side, for the filter's reach into the visible texels.
    // A side whose visible texels reach the texture's edge is not cut: clamped sampling repeats
    // the edge past it.
    const Rect& v = t->visible();
    const int32_t w = static_cast<int32_t>(t->width()), h = static_cast<int32_t>(t->height());
    drawn = rect;
    if (v.left > 0)
        drawn.left = std::max(rect.left, v.left - 1);
    if (v.top > 0)
        drawn.top = std::max(rect.top, v.top - 1);
    if (v.right < w)
        drawn.right = std::min(rect.right, v.right + 1);
    if (v.bottom < h)
        drawn.bottom = std::min(rect.bottom, v.bottom + 1);
    if (v.right <= v.left || isEmpty(drawn))
        drawn = Rect{};
    return true;
}

namespace {

// The drawn part's corners in the source rectangle's own coordinates.
void drawnCorners(const Rect& rect, const Rect& drawn, Vec2 p[4]) {
    const float l = static_cast<float>(drawn.left - rect.left);
    const float t = static_cast<float>(drawn.top - rect.top);
    const float r = static_cast<float>(drawn.right - rect.left);
    const float b = static_cast<float>(drawn.bottom - rect.top);
    p[0] = {l, t}, p[1] = {r, t}, p[2] = {l, b}, p[3] = {r, b};
}

}  // namespace

// Draws without begin() too: the sprite's own states are set for each draw and the device's are
// left as they were.
bool GlSprite::draw(Texture* texture, const Rect* source, const Vec2* scaling,
                    const Vec2* rotationCentre, float rotation, const Vec2* translation,
                    uint32_t colour) {
    const GlTexture* t = nullptr;
    Rect rect, drawn;
    if (!prepare(texture, source, t, rect, drawn))
        return false;
    if (isEmpty(drawn))
        return link_->device->inScene();
    const Vec2 s = scaling ? *scaling : Vec2{1, 1};
    const Vec2 c = rotationCentre ? *rotationCentre : Vec2{0, 0};
    const Vec2 move = translation ? *translation : Vec2{0, 0};
    const float cb = std::cos(-rotation), sb = std::sin(-rotation);
    Vec2 p[4];
    drawnCorners(rect, drawn, p);
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
    Rect rect, drawn;
    if (!prepare(texture, source, t, rect, drawn))
        return false;
    if (isEmpty(drawn))
        return link_->device->inScene();
    Vec2 p[4];
    drawnCorners(rect, drawn, p);
    GlDevice::SpriteCorner corners[4];
    for (int k = 0; k < 4; ++k) {
        // Kept homogeneous, so that a projective transform interpolates the texture correctly.
        Vec4 q = transformPoint({p[k].x, p[k].y, 0}, transform);
        corners[k] = {q.x, q.y, q.w, (rect.left + p[k].x) / t->width(),
                      (rect.top + p[k].y) / t->height()};
    }
    return link_->device->drawSpriteQuad(*t, corners, colour);
}
