// The game's pictures: background landscape, digit glyphs, target arrow, star, the plane's
// skin texture (the icon is in icon.h).
#pragma once

#include "image.h"

// Where the background's horizon and screen centre fall: the game draws the picture with its
// top-left corner at screen (-100, -270), so screen row 240 (the horizon of a level camera)
// is picture row 510 and screen column 320 is picture column 420.
constexpr int kBackgroundSize = 1024;
constexpr int kBackgroundHorizonRow = 510;
constexpr int kBackgroundCentreColumn = 420;

// Digit texture: glyph d fills rows trunc(46.5 d) .. +36, inked only in columns 0..15.
constexpr int kDigitTextureWidth = 32;
constexpr int kDigitTextureHeight = 512;
constexpr int kDigitCellHeight = 36;
constexpr int kDigitInkWidth = 16;
int digitCellTop(int digit);

Image makeBackground();
Image makeDigits();
Image makeArrow();
Image makeStar();
Image makePlaneSkin();
