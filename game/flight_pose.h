// Where the world and the plane are drawn: the parts of the state that move from step to step.
// A step's frame draws the pose of the state it left; a frame between two steps draws a blend of
// the poses of those two steps, snapping what jumped.
#pragma once

#include <cstdint>

#include "aircraft/result_screen.h"
#include "game/game_state.h"
#include "hud/spark_effect.h"
#include "hud/sparkle_effect.h"

struct FlightPose {
    int32_t cockpitView = 0;
    int32_t bumping = 0;
    float heading = 0;
    float bank = 0;
    float drawnTumble = 0;  // the cones' and the plane's tumble
    float bumpTumble = 0;   // the targets' tumble
    float groundLevel = -60;
    Vec3 obstaclePositions[ObstacleCount] = {};
    Vec3 targetPositions[TargetCount] = {};
    float sparkX[SparkCount] = {}, sparkY[SparkCount] = {}, sparkZ[SparkCount] = {};
    // How far this pose lies from the step before to the last step: 1 for a step's own pose or
    // a snap.
    float fraction = 1;
};

// The pose the state stands in (the sparks from its burst effect, when it has one).
FlightPose poseOf(const GameState& state);

// The pose `fraction` (0..1) of the way from `from` to `to`. The whole pose snaps to `to` across
// a view switch; a cone that wrapped to the far side of the field snaps on its own; the tumble
// takes the short way round its wrap at 360 degrees.
FlightPose blendPoses(const FlightPose& from, const FlightPose& to, float fraction);

// What the result screen shows: the plane's turn, size and roll, the sky, and the sparkles.
struct ResultPose {
    ResultScreen screen;
    float sparkleX[SparkleCount] = {}, sparkleY[SparkleCount] = {}, sparkleZ[SparkleCount] = {};
    uint32_t sparkleAge[SparkleCount] = {};
};

// The result screen as the state and `screen` stand (the sparkles from the state's effect).
void resultPoseOf(const GameState& state, const ResultScreen& screen, ResultPose& out);
// `fraction` of the way from `from` to `to` into `out`: the plane's turn, size and roll and the
// sparkles blend; the sky and how many sparkles show switch at the step; a sparkle reborn at the
// fountain's mouth, or shown for the first time, snaps.
void blendResultPoses(const ResultPose& from, const ResultPose& to, float fraction,
                      ResultPose& out);
