// The pose of a state and the blend of two poses for the frames between steps.
#include "game/flight_pose.h"

#include <cmath>

namespace {

// A cone moves a few tens of units a step; one that moved further went round the field's wrap.
constexpr float kWrapJump = 1000.0f;

float mix(float a, float b, float t) {
    return a + (b - a) * t;
}

// Angles in degrees the short way round: the tumble wraps from above 360 back to 20.
float mixAngle(float a, float b, float t) {
    float d = std::fmod(b - a, 360.0f);
    if (d > 180.0f)
        d -= 360.0f;
    else if (d < -180.0f)
        d += 360.0f;
    return a + d * t;
}

}  // namespace

FlightPose poseOf(const GameState& state) {
    FlightPose pose;
    pose.cockpitView = state.cockpitView;
    pose.bumping = state.bumping;
    pose.heading = state.heading;
    pose.bank = state.bank;
    pose.drawnTumble = state.drawnTumble;
    pose.bumpTumble = state.bumpTumble;
    pose.groundLevel = state.groundLevel;
    for (int i = 0; i < ObstacleCount; ++i) pose.obstaclePositions[i] = state.obstaclePositions[i];
    for (int i = 0; i < TargetCount; ++i) pose.targetPositions[i] = state.targetPositions[i];
    if (const SparkEffect* sparks = state.burstEffect) {
        for (int i = 0; i < SparkCount; ++i) {
            pose.sparkX[i] = sparks->positionX[i];
            pose.sparkY[i] = sparks->positionY[i];
            pose.sparkZ[i] = sparks->positionZ[i];
        }
    }
    return pose;
}

FlightPose blendPoses(const FlightPose& from, const FlightPose& to, float fraction) {
    if (from.cockpitView != to.cockpitView || fraction >= 1.0f)
        return to;
    float t = fraction > 0.0f ? fraction : 0.0f;
    FlightPose pose = to;
    pose.fraction = t;
    pose.heading = mix(from.heading, to.heading, t);
    pose.bank = mix(from.bank, to.bank, t);
    pose.groundLevel = mix(from.groundLevel, to.groundLevel, t);
    // A tumble only blends within a bump: it starts from and falls back to 0 at its ends.
    if (from.bumping && to.bumping) {
        pose.drawnTumble = mixAngle(from.drawnTumble, to.drawnTumble, t);
        pose.bumpTumble = mixAngle(from.bumpTumble, to.bumpTumble, t);
    }
    for (int i = 0; i < ObstacleCount; ++i) {
        const Vec3& a = from.obstaclePositions[i];
        const Vec3& b = to.obstaclePositions[i];
        if (std::fabs(b.x - a.x) > kWrapJump || std::fabs(b.z - a.z) > kWrapJump)
            continue;
        pose.obstaclePositions[i] = {mix(a.x, b.x, t), mix(a.y, b.y, t), mix(a.z, b.z, t)};
    }
    for (int i = 0; i < TargetCount; ++i) {
        const Vec3& a = from.targetPositions[i];
        const Vec3& b = to.targetPositions[i];
        pose.targetPositions[i] = {mix(a.x, b.x, t), mix(a.y, b.y, t), mix(a.z, b.z, t)};
    }
    // The sparks blend within a bump; the first frames of a bump fly out from the burst point.
    if (to.bumping) {
        for (int i = 0; i < SparkCount; ++i) {
            float ax = from.bumping ? from.sparkX[i] : 0.0f;
            float ay = from.bumping ? from.sparkY[i] : 0.0f;
            float az = from.bumping ? from.sparkZ[i] : 0.0f;
            pose.sparkX[i] = mix(ax, to.sparkX[i], t);
            pose.sparkY[i] = mix(ay, to.sparkY[i], t);
            pose.sparkZ[i] = mix(az, to.sparkZ[i], t);
        }
    }
    return pose;
}

void resultPoseOf(const GameState& state, const ResultScreen& screen, ResultPose& out) {
    out.screen = screen;
    if (const SparkleEffect* sparkles = state.sparkleEffect) {
        for (int i = 0; i < SparkleCount; ++i) {
            out.sparkleX[i] = sparkles->positionX[i];
            out.sparkleY[i] = sparkles->positionY[i];
            out.sparkleZ[i] = sparkles->positionZ[i];
            out.sparkleAge[i] = sparkles->age[i];
        }
    }
}

void blendResultPoses(const ResultPose& from, const ResultPose& to, float fraction,
                      ResultPose& out) {
    float t = fraction < 0.0f ? 0.0f : fraction > 1.0f ? 1.0f : fraction;
    out.screen = to.screen;
    out.screen.resultYaw = mix(from.screen.resultYaw, to.screen.resultYaw, t);
    out.screen.resultPitch = mix(from.screen.resultPitch, to.screen.resultPitch, t);
    out.screen.shownScale = mix(from.screen.shownScale, to.screen.shownScale, t);
    out.screen.shownRoll = mix(from.screen.shownRoll, to.screen.shownRoll, t);
    int count = to.screen.shownSparkles < SparkleCount ? to.screen.shownSparkles : SparkleCount;
    for (int i = 0; i < count; ++i) {
        bool snaps = i >= from.screen.shownSparkles || to.sparkleAge[i] <= from.sparkleAge[i];
        float s = snaps ? 1.0f : t;
        out.sparkleX[i] = mix(from.sparkleX[i], to.sparkleX[i], s);
        out.sparkleY[i] = mix(from.sparkleY[i], to.sparkleY[i], s);
        out.sparkleZ[i] = mix(from.sparkleZ[i], to.sparkleZ[i], s);
        out.sparkleAge[i] = to.sparkleAge[i];
    }
}
