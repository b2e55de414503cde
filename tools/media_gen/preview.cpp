// Preview images: the pictures enlarged over a backdrop, the background as placed on screen,
// and the plane rendered by a small rasteriser that culls by on-screen winding, as the game does.
#include "preview.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "dds_writer.h"

namespace {

Image composite(const Image& src, Colour backdrop, int zoom) {
    Image out(src.width * zoom, src.height * zoom);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            out.at(x, y) = packArgb(over(unpackArgb(src.at(x / zoom, y / zoom)), backdrop));
        }
    }
    return out;
}

// The 640 by 480 screen with the background drawn as the game does: picture point (420, 480)
// on screen point (320, 210), turned by `bankDegrees` about it, over the sky colour.
Image backgroundOnScreen(const Image& bg, float bankDegrees, Colour sky) {
    Image out(640, 480);
    float b = bankDegrees * 0.017453292f, c = std::cos(b), s = std::sin(b);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            float dx = x + 0.5f - 320.0f, dy = y + 0.5f - 210.0f;
            // Inverse of the picture's turn by beta = bank.
            float u = 420.0f + dx * c + dy * s, v = 480.0f - dx * s + dy * c;
            Colour p = sky;
            int iu = static_cast<int>(std::floor(u)), iv = static_cast<int>(std::floor(v));
            if (iu >= 0 && iv >= 0 && iu < bg.width && iv < bg.height) {
                p = over(unpackArgb(bg.at(iu, iv)), sky);
            } else {
                p = {1.0f, 0.0f, 1.0f, 1.0f};  // magenta marks where the picture does not reach
            }
            out.at(x, y) = packArgb(p);
        }
    }
    return out;
}

// The digits as the HUD lays them out: cells 16 pixels apart, left part of each cell.
Image digitStrip(const Image& digits, const char* text, int zoom) {
    const int n = static_cast<int>(std::char_traits<char>::length(text));
    Image row(16 * n + 32, 36, packArgb({0.05f, 0.08f, 0.2f, 1}));
    for (int i = 0; i < n; ++i) {
        int d = text[i] - '0';
        int top = static_cast<int>(46.5 * d);
        for (int y = 0; y < 36; ++y) {
            for (int x = 0; x < 31; ++x) {
                Colour glyph = unpackArgb(digits.at(x, top + y));
                glyph.g = glyph.b = 0.3f;  // tinted as the HUD tints them
                Colour under = unpackArgb(row.at(8 + 16 * i + x, y));
                row.at(8 + 16 * i + x, y) = packArgb(over(glyph, under));
            }
        }
    }
    return composite(row, {0, 0, 0, 1}, zoom);
}

struct V3 {
    float x, y, z;
};
V3 sub(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
float dot3(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 cross3(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V3 unit(V3 a) {
    float l = std::sqrt(dot3(a, a));
    return {a.x / l, a.y / l, a.z / l};
}

struct Camera {
    V3 eye, right, up, forward;
    float focal;
};

Camera lookAt(V3 eye, V3 at, float fovYDegrees, int height) {
    V3 f = unit(sub(at, eye));
    V3 r = unit(cross3(f, {0, 1, 0}));  // right-handed: the world's +x shows on the left
    V3 u = cross3(r, f);
    return {eye, r, u, f, (height / 2.0f) / std::tan(fovYDegrees * 0.5f * 0.017453292f)};
}

// Renders the plane as the chase camera would after the game's half turn and scaling, or from
// any other camera; opaque parts first, then the translucent ones blended over them.
Image renderPlane(const PlaneMesh& mesh, const Image& skin, const Camera& cam, int w, int h) {
    Image out(w, h, packArgb({0.50f, 0.94f, 0.98f, 1}));
    std::vector<float> depth(static_cast<size_t>(w) * h, std::numeric_limits<float>::max());
    V3 centre{0, 0, 0};
    for (const ModelVertex& v : mesh.vertices) {
        centre = {centre.x + v.position.x, centre.y + v.position.y, centre.z + v.position.z};
    }
    float inv = 1.0f / mesh.vertices.size();
    centre = {centre.x * inv, centre.y * inv, centre.z * inv};
    float radius = 0.0f;
    for (const ModelVertex& v : mesh.vertices) {
        V3 d = sub({v.position.x, v.position.y, v.position.z}, centre);
        radius = std::max(radius, std::sqrt(dot3(d, d)));
    }
    const float scale = 5.0f / radius;
    const V3 light = unit({-0.4f, 0.8f, -0.45f});

    // World position of a model point: half a turn about y, then the game's scaling.
    auto world = [&](Vec3f p) { return V3{-p.x * scale, p.y * scale, -p.z * scale}; };
    for (int pass = 0; pass < 2; ++pass) {
        for (const ModelFace& face : mesh.faces) {
            const ModelMaterial& m = mesh.materials[face.material];
            bool translucent = m.diffuse.a < 1.0f;
            if (translucent != (pass == 1)) {
                continue;
            }
            float sx[3], sy[3], sz[3];
            bool behind = false;
            for (int c = 0; c < 3; ++c) {
                V3 d = sub(world(mesh.vertices[face.index[c]].position), cam.eye);
                sz[c] = dot3(d, cam.forward);
                behind = behind || sz[c] < 0.1f;
                sx[c] = w / 2.0f + cam.focal * dot3(d, cam.right) / sz[c];
                sy[c] = h / 2.0f - cam.focal * dot3(d, cam.up) / sz[c];
            }
            // y grows downwards on screen, so an anticlockwise-looking face has negative area.
            float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sy[1] - sy[0]) * (sx[2] - sx[0]);
            if (behind || area >= 0.0f) {
                continue;
            }
            int x0 = std::max(0, static_cast<int>(std::floor(std::min({sx[0], sx[1], sx[2]}))));
            int x1 = std::min(w - 1, static_cast<int>(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
            int y0 = std::max(0, static_cast<int>(std::floor(std::min({sy[0], sy[1], sy[2]}))));
            int y1 = std::min(h - 1, static_cast<int>(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
            for (int y = y0; y <= y1; ++y) {
                for (int x = x0; x <= x1; ++x) {
                    float px = x + 0.5f, py = y + 0.5f, b[3];
                    for (int c = 0; c < 3; ++c) {
                        int i = (c + 1) % 3, j = (c + 2) % 3;
                        b[c] = ((sx[j] - sx[i]) * (py - sy[i]) - (sy[j] - sy[i]) * (px - sx[i])) /
                               area;
                    }
                    if (b[0] < 0 || b[1] < 0 || b[2] < 0) {
                        continue;
                    }
                    // Perspective-correct interpolation through 1 / depth.
                    float iz = b[0] / sz[0] + b[1] / sz[1] + b[2] / sz[2];
                    float z = 1.0f / iz;
                    float& dz = depth[static_cast<size_t>(y) * w + x];
                    if (z >= dz) {
                        continue;
                    }
                    V3 n{0, 0, 0};
                    float u = 0, v = 0;
                    for (int c = 0; c < 3; ++c) {
                        const ModelVertex& mv = mesh.vertices[face.index[c]];
                        float k = b[c] / sz[c] * z;
                        n = {n.x - mv.normal.x * k, n.y + mv.normal.y * k, n.z - mv.normal.z * k};
                        u += mv.u * k;
                        v += mv.v * k;
                    }
                    float diffuse = std::max(0.0f, dot3(unit(n), light));
                    Colour c = m.diffuse;
                    if (!m.texture.empty()) {
                        int tu = ((static_cast<int>(u * skin.width) % skin.width) + skin.width) %
                                 skin.width;
                        int tv = ((static_cast<int>(v * skin.height) % skin.height) + skin.height) %
                                 skin.height;
                        Colour t = unpackArgb(skin.at(tu, tv));
                        c = {c.r * t.r, c.g * t.g, c.b * t.b, c.a};
                    }
                    Colour lit = scaled(c, 0.35f + 0.75f * diffuse);
                    lit.a = m.diffuse.a;
                    out.at(x, y) = packArgb(over(lit, unpackArgb(out.at(x, y))));
                    if (!translucent) {
                        dz = z;
                    }
                }
            }
        }
    }
    return out;
}

}  // namespace

bool writePreviews(const std::string& dir, const MediaPictures& p, const PlaneMesh& plane) {
    const Colour startSky{127 / 255.0f, 239 / 255.0f, 250 / 255.0f, 1};
    const Colour lateSky{246 / 255.0f, 120 / 255.0f, 250 / 255.0f, 1};
    const Colour dark{0.12f, 0.14f, 0.22f, 1};
    const int w = 640, h = 480;
    return writePng(dir + "/BG.png", composite(p.background, {0.5f, 0.5f, 0.5f, 1}, 1)) &&
           writePng(dir + "/BG_screen.png", backgroundOnScreen(p.background, 0.0f, startSky)) &&
           writePng(dir + "/BG_screen_bank35.png",
                    backgroundOnScreen(p.background, 35.0f, lateSky)) &&
           writePng(dir + "/BG_screen_bank90.png",
                    backgroundOnScreen(p.background, 90.0f, startSky)) &&
           writePng(dir + "/digit.png", composite(p.digits, dark, 2)) &&
           writePng(dir + "/digit_hud.png", digitStrip(p.digits, "0123456789", 3)) &&
           writePng(dir + "/arrow.png", composite(p.arrow, {0.3f, 0.45f, 0.3f, 1}, 4)) &&
           writePng(dir + "/star.png", composite(p.star, dark, 8)) &&
           writePng(dir + "/planeskin.png", composite(p.skin, dark, 2)) &&
           writePng(dir + "/dravik_icon.png", composite(p.icon, {0.85f, 0.85f, 0.85f, 1}, 4)) &&
           writePng(dir + "/plane_chase.png",
                    renderPlane(plane, p.skin, lookAt({0, 0, -20}, {0, 0, 100}, 80, h), w, h)) &&
           writePng(dir + "/plane_quarter.png",
                    renderPlane(plane, p.skin, lookAt({-9, 5, 9}, {0, 0, 0}, 60, h), w, h)) &&
           writePng(
               dir + "/plane_side.png",
               renderPlane(plane, p.skin, lookAt({-14, 0.5f, 0.01f}, {0, 0, 0}, 50, h), w, h)) &&
           writePng(
               dir + "/plane_top.png",
               renderPlane(plane, p.skin, lookAt({0.01f, 14, 0.5f}, {0, 0, 0}, 50, h), w, h)) &&
           writePng(dir + "/plane_below.png",
                    renderPlane(plane, p.skin, lookAt({5, -8, -8}, {0, 0, 0}, 60, h), w, h));
}
