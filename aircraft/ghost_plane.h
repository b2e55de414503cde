// The ghost plane: the plane model drawn translucent and lighter where a recorded flight was, in
// the same world as the player's plane and seen from the current camera.
#pragma once

#include <optional>

#include "game/ghost_path.h"
#include "gfx/math.h"

class GraphicsDevice;
class PlaneModel;

// The player's own pose in the terms of a ghost path (its place over the ground measured from the
// start of `path`).
GhostPose viewerPose(const GameState& state, const GhostPath& path);
struct FlightPose;
// The same for the player as a frame draws it.
GhostPose viewerPose(const FlightPose& flight, const GhostPath& path);

// The world matrix that puts the plane model (scaled to `modelScale`) where `ghostPose` is, seen
// from a plane at `viewer`, in the cockpit view or the chase view.
Matrix ghostWorldMatrix(const GhostPose& ghostPose, const GhostPose& viewer, bool cockpitView,
                        float modelScale);

// Draws the ghost at `ghostPose` as seen from `viewer`: translucent, lighter, unfogged and never
// lit red. Changes no state; leaves the ambient light at the flight's level and fog on. A ghost
// behind the eye or too far away to make out (3000 units) is not drawn.
void drawGhostPlane(GraphicsDevice& device, const PlaneModel& model, const GhostPose& ghostPose,
                    const GhostPose& viewer, bool cockpitView);

// The ghost of this run where the flight in `state` is, when it is shown and not exactly where
// the player's plane is (the intro flies them together). A frame between two steps (a `pose` with
// a fraction below 1) draws the ghost and the viewer that far between their last two steps.
void drawGhost(const GameState& state, const FlightPose& pose);
