// The graphics device for the game window, the cameras, the projection and the fixed render
// states; the per-object material and the directional light.
#pragma once

bool createDevice();
bool setUpView();
// Builds viewMatrix for the eye that cockpitView selects and sets it on the device.
void setViewForCurrentEye();
bool applyMaterial(float r, float g, float b, float a, int kind);
bool updateLight(float angle);
void releaseDevice();
