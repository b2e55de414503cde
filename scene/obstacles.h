// The obstacle field: the cone and sphere meshes, moving, touching and drawing the 250 cones.
#pragma once

#include "gfx/math.h"

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
// An object's own transform carried to its place on the field as the pose shows it: set down at
// (x, ground level, z) around the plane and turned by `headingTurn` (the heading's turn about
// y); in the cockpit view also banked and, while the plane bumps, tumbled by `tumbleDegrees`.
Matrix placeOnField(const Matrix& local, const Vec3& at, const FlightPose& pose,
                    const Matrix& headingTurn, bool bumping, float tumbleDegrees);
void releaseSceneMeshes();
