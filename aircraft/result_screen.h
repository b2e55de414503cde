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
};

extern ResultScreen resultScreen;

void resetResultScreen();
int drawResultScreen();
int drawResultPlane();
