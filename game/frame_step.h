// One frame step of the game: input, the phases, the flight, the scene, the HUD, present.
#pragma once

int stepFrame();
int stepIntro();
int stepFinish();
void toggleView();
