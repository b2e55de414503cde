// The result screen: the plane turning and growing against a sky fading to blue, the time, the
// sparkle fountain.
#pragma once

#include <cstdint>

struct ResultScreen {
    uint32_t resultFrame = 0;
    float resultGrow = 0;
    float resultPitch = 0;
    float resultYaw = 0;
    float rockStep = 0;
    float rockPhase = 0;
    int32_t resultScaleReached = 0;

    // What the last step shows: the sky it clears to, the sparkles drawn, the plane's size and
    // roll.
    uint32_t shownSky = 0;
    int32_t shownSparkles = 0;
    float shownScale = 0;
    float shownRoll = 0;
};

struct GameState;

extern ResultScreen resultScreen;

void resetResultScreen();
// One step of the result screen: the sparkles, the plane's turn and growth, the sky's fade.
void moveResultScreen();
// Clears and draws the result screen as the last step left it (no present).
int drawResultScreen(const GameState& state, const ResultScreen& screen);
// The same with the sparkles at the given positions (a frame between two steps).
int drawResultScreen(const GameState& state, const ResultScreen& screen, const float* sparkleX,
                     const float* sparkleY, const float* sparkleZ);
// One step of the plane's turn, tilt, growth and rocking.
void turnResultPlane();
int drawResultPlane(const GameState& state, const ResultScreen& screen);
