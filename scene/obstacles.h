// The obstacle field: the cone and sphere meshes, moving, touching and drawing the 250 cones.
#pragma once

struct GameState;

bool createSceneMeshes();
// One step of flight: each cone moved opposite to the flight and tested for contact right after
// it, in index order; in the cockpit view a bump turns the sky pink and tumbles the field.
void moveObstacles();
// The contact tests alone, as a repaint runs them: the cones stay where they are.
void touchObstacles();
struct FlightPose;
bool drawObstacles(const GameState& state);
// Drawn where the pose puts them (the colours, sizes and fade from the state).
bool drawObstacles(const GameState& state, const FlightPose& pose);
bool touchesCone(float x, float y, float z, float radius, float height, float groundLevel);
void releaseSceneMeshes();
