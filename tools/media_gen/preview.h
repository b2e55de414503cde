// PNG previews of the generated media for a person to look at: the pictures over a backdrop,
// the background as the game's screen shows it, and the plane rendered from a few views.
#pragma once

#include <string>

#include "image.h"
#include "plane_model.h"

struct MediaPictures {
    Image background, digits, arrow, star, skin, icon;
};

bool writePreviews(const std::string& dir, const MediaPictures& pictures, const PlaneMesh& plane);
