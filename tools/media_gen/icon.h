// The game's icon as one vector drawing (a badge with a white rim and the plane seen from
// above), drawn into pictures of any size and written out as SVG.
#pragma once

#include <string>
#include <vector>

#include "image.h"
#include "raster.h"

// The drawing on a 64-unit square: y downwards, as in the pictures.
struct IconDrawing {
    float side = 64;
    Point centre{32, 32};
    float badgeRadius = 30;    // the badge's edge
    float fillRadius = 27.5f;  // the blue fill inside the rim
    // The fill's vertical gradient, from gradientTop (topColour) to gradientBottom.
    float gradientTop = 2, gradientBottom = 62;
    Colour topColour, bottomColour, rimColour, planeColour;
    std::vector<std::vector<Point>> plane;  // fuselage, wings, tail: polygons
};
const IconDrawing& iconDrawing();

// The drawing at `size` by `size` pixels, anti-aliased over one pixel.
Image makeIcon(int size = 64);

// The same drawing as an SVG document.
std::string iconSvg();

// The sizes of the installed hicolor icons.
constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256, 512};

// Writes hicolor/<N>x<N>/apps/NAME.png for every size and hicolor/scalable/apps/NAME.svg under
// `folder`.
bool writeIconTheme(const std::string& folder, const std::string& name);
