// The four targets: moved, tested for a pass, and drawn without fog.
#pragma once

struct GameState;

// One step of flight: each target moved opposite to the flight and tested for a pass right after
// it; a pass records its time, plays its sound and picks the next target.
void moveTargets();
// The pass tests alone, as a repaint runs them: the targets stay where they are.
void touchTargets();
struct FlightPose;
bool drawTargets(const GameState& state);
bool drawTargets(const GameState& state, const FlightPose& pose);
