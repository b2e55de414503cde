// The game's icon: one vector drawing, rasterised at every size and written out as SVG.
#include "icon.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "dds_writer.h"

namespace {

Colour rgb(int r, int g, int b) {
    return {r / 255.0f, g / 255.0f, b / 255.0f, 1.0f};
}

IconDrawing makeDrawing() {
    IconDrawing d;
    d.topColour = rgb(70, 150, 230);
    d.bottomColour = rgb(20, 60, 150);
    d.rimColour = rgb(250, 250, 250);
    d.planeColour = rgb(255, 255, 255);
    d.plane = {
        {{32, 7},
         {34.5f, 11},
         {35, 20},
         {34.5f, 44},
         {33, 55},
         {31, 55},
         {29.5f, 44},
         {29, 20},
         {29.5f, 11}},
        {{30, 23}, {34, 23}, {56, 30}, {56, 34}, {34, 33}, {30, 33}, {8, 34}, {8, 30}},
        {{31, 46}, {33, 46}, {43, 51}, {43, 54}, {33, 53}, {31, 53}, {21, 54}, {21, 51}},
    };
    return d;
}

// Anti-aliased union of polygons: the fraction of an n-by-n grid of samples in the pixel.
float unionCoverage(const std::vector<std::vector<Point>>& polys, int x, int y, int n) {
    int hits = 0;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            Point p{x + (i + 0.5f) / n, y + (j + 0.5f) / n};
            for (const auto& poly : polys) {
                if (insidePolygon(poly, p)) {
                    ++hits;
                    break;
                }
            }
        }
    }
    return static_cast<float>(hits) / (n * n);
}

std::string hex(Colour c) {
    char text[8];
    const uint32_t argb = packArgb(c);
    std::snprintf(text, sizeof text, "#%06x", argb & 0xFFFFFFu);
    return text;
}

std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

const IconDrawing& iconDrawing() {
    static const IconDrawing drawing = makeDrawing();
    return drawing;
}

Image makeIcon(int size) {
    const IconDrawing& d = iconDrawing();
    const float k = size / d.side;  // pixels per unit
    std::vector<std::vector<Point>> plane = d.plane;
    for (auto& poly : plane)
        for (Point& p : poly) p = {p.x * k, p.y * k};
    Image img(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // Badge and rim from the distance to the centre in pixels, each edge a one-pixel ramp.
            const float dx = x + 0.5f - d.centre.x * k, dy = y + 0.5f - d.centre.y * k;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float badge = clamp01(d.badgeRadius * k + 0.5f - r);
            const float rim = clamp01(r - d.fillRadius * k + 0.5f) * badge;
            const float across =
                ((y + 0.5f) / k - d.gradientTop) / (d.gradientBottom - d.gradientTop);
            Colour fill = mix(d.topColour, d.bottomColour, clamp01(across));
            Colour c = mix(fill, d.rimColour, rim);
            c = mix(c, d.planeColour, unionCoverage(plane, x, y, 4));
            c.a = badge;
            img.at(x, y) = packArgb(c);
        }
    }
    return img;
}

std::string iconSvg() {
    const IconDrawing& d = iconDrawing();
    const std::string side = number(d.side);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + side + "\" height=\"" + side +
           "\" viewBox=\"0 0 " + side + " " + side + "\">\n";
    svg += "  <title>Dravik</title>\n";
    svg +=
        "  <defs>\n    <linearGradient id=\"fill\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" "
        "y1=\"" +
        number(d.gradientTop) + "\" x2=\"0\" y2=\"" + number(d.gradientBottom) + "\">\n";
    svg += "      <stop offset=\"0\" stop-color=\"" + hex(d.topColour) + "\"/>\n";
    svg += "      <stop offset=\"1\" stop-color=\"" + hex(d.bottomColour) + "\"/>\n";
    svg += "    </linearGradient>\n  </defs>\n";
    const std::string cx = number(d.centre.x), cy = number(d.centre.y);
    svg += "  <circle cx=\"" + cx + "\" cy=\"" + cy + "\" r=\"" + number(d.badgeRadius) +
           "\" fill=\"" + hex(d.rimColour) + "\"/>\n";
    svg += "  <circle cx=\"" + cx + "\" cy=\"" + cy + "\" r=\"" + number(d.fillRadius) +
           "\" fill=\"url(#fill)\"/>\n";
    for (const auto& poly : d.plane) {
        svg += "  <polygon fill=\"" + hex(d.planeColour) + "\" points=\"";
        for (size_t i = 0; i < poly.size(); ++i) {
            if (i > 0)
                svg += ' ';
            svg += number(poly[i].x);
            svg += ',';
            svg += number(poly[i].y);
        }
        svg += "\"/>\n";
    }
    svg += "</svg>\n";
    return svg;
}

bool writeIconTheme(const std::string& folder, const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (int size : kIconSizes) {
        const std::string n = std::to_string(size);
        const fs::path dir = fs::path(folder) / "hicolor" / (n + "x" + n) / "apps";
        fs::create_directories(dir, ec);
        if (ec || !writePng((dir / (name + ".png")).string(), makeIcon(size)))
            return false;
    }
    const fs::path dir = fs::path(folder) / "hicolor" / "scalable" / "apps";
    fs::create_directories(dir, ec);
    if (ec)
        return false;
    const std::string svg = iconSvg();
    std::FILE* file = std::fopen((dir / (name + ".svg")).string().c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(svg.data(), 1, svg.size(), file) == svg.size();
    return std::fclose(file) == 0 && ok;
}
