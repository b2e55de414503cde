// The player's plane in flight: its roll and yaw with the bank, its tumble in a bump.
#pragma once

struct GameState;

// One step of the plane's tumble while it bounces off a cone (chase view).
void tumblePlayerPlane();
struct FlightPose;
int drawPlayerPlane(const GameState& state);
int drawPlayerPlane(const GameState& state, const FlightPose& pose);
