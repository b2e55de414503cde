// The background picture drawn behind the scene, turned with the bank in the cockpit view.
#pragma once

bool createBackground();
bool loadBackground();
bool drawBackground(float angle);
void releaseBackground();
