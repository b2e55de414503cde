// The graphics device for the game window, the cameras, the projection and the fixed render
// states; the per-object material and the directional light.
#pragma once

class GraphicsDevice;
struct GameState;

bool createDevice();
bool setUpView();
// Builds viewMatrix for the eye that cockpitView selects and sets it on the device.
void setViewForCurrentEye();
bool applyMaterial(GraphicsDevice& device, float r, float g, float b, float a, int kind);
// Aims the directional light for the heading and, in the cockpit view, the view roll.
bool updateLight(const GameState& state, float angle);
// As above for a heading and view between two steps.
bool updateLight(const GameState& state, float heading, float angle);
void releaseDevice();
