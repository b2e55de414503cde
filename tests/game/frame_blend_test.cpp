// Frames between steps: a frame part of the way between two steps lies that far between their
// poses (camera, cones, targets, sparks), snaps across discontinuities, and neither tests for
// contact nor changes anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "aircraft/result_screen.h"
#include "app/window_procedure.h"
#include "app/window_services.h"
#include "controls/flight_recorder.h"
#include "fakes/game_harness.h"
#include "game/flight_pose.h"
#include "game/frame_blender.h"
#include "game/game_state.h"
#include "game/random.h"
#include "hud/spark_effect.h"
#include "hud/sparkle_effect.h"

namespace {

class FrameBlendTest : public GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        harness.startPlaying();
        harness.finishIntro();
        // Every cone but the ones a test places is too low to touch.
        for (int i = 0; i < ObstacleCount; ++i) game.obstacleHeights[i] = 10;
        game.speed = 10;
    }
    // One smooth step: the clock 31 ms on (or `ms`), moved without drawing.
    int smoothStep(uint32_t ms = 31) {
        harness.clock.now += ms;
        game.nowTick = harness.clock.now;
        int result = blender.step(harness.clock.now);
        game.lastStepTick = harness.clock.now;
        return result;
    }
    // `a` against `b`; with `wrapsSnapped`, a cone that went round the field's wrap between them
    // is left out (it snaps).
    static void expectPosesEqual(const FlightPose& a, const FlightPose& b,
                                 bool wrapsSnapped = false) {
        EXPECT_EQ(a.heading, b.heading);
        EXPECT_EQ(a.bank, b.bank);
        EXPECT_EQ(a.groundLevel, b.groundLevel);
        for (int i = 0; i < ObstacleCount; ++i) {
            if (wrapsSnapped &&
                std::fabs(a.obstaclePositions[i].z - b.obstaclePositions[i].z) > 1000)
                continue;
            EXPECT_EQ(a.obstaclePositions[i].x, b.obstaclePositions[i].x) << i;
            EXPECT_EQ(a.obstaclePositions[i].z, b.obstaclePositions[i].z) << i;
        }
        for (int i = 0; i < TargetCount; ++i)
            EXPECT_EQ(a.targetPositions[i].z, b.targetPositions[i].z) << i;
    }
    // The world transform's translation row of the draw of cone `index` in the device's log.
    Vec3 coneDrawnAt(int index) {
        std::vector<DeviceCall> transforms;
        for (const DeviceCall& c : harness.device().calls)
            if (c.op == "SetTransform" && c.transform == TransformState::World)
                transforms.push_back(c);
        EXPECT_GT(transforms.size(), static_cast<size_t>(index));
        const Matrix& m = transforms[static_cast<size_t>(index)].matrix;
        return {m.m[3][0], m.m[3][1], m.m[3][2]};
    }
    FrameBlender blender;
};

constexpr float kNear = 1e-3f;

TEST_F(FrameBlendTest, AHalfStepFrameLiesHalfwayForCameraConesTargetsAndSparks) {
    KeyboardState left = FakeInput::keys({kScanLeft});
    for (int i = 0; i < 6; ++i) {
        harness.input.pushKeyboard(left);
        smoothStep();
    }
    FlightPose before = poseOf(game);
    harness.input.pushKeyboard(left);
    smoothStep();
    FlightPose after = poseOf(game);
    ASSERT_NE(before.heading, after.heading) << "the plane turns";
    ASSERT_NE(before.bank, after.bank);

    FlightPose half = blender.poseAt(0.5f);
    EXPECT_NEAR(half.heading, (before.heading + after.heading) / 2, kNear);
    EXPECT_NEAR(half.bank, (before.bank + after.bank) / 2, kNear);
    for (int i : {0, 17, 249}) {
        EXPECT_NEAR(half.obstaclePositions[i].x,
                    (before.obstaclePositions[i].x + after.obstaclePositions[i].x) / 2, kNear);
        EXPECT_NEAR(half.obstaclePositions[i].z,
                    (before.obstaclePositions[i].z + after.obstaclePositions[i].z) / 2, kNear);
    }
    for (int i = 0; i < TargetCount; ++i) {
        EXPECT_NEAR(half.targetPositions[i].x,
                    (before.targetPositions[i].x + after.targetPositions[i].x) / 2, 0.01f);
        EXPECT_NEAR(half.targetPositions[i].z,
                    (before.targetPositions[i].z + after.targetPositions[i].z) / 2, 0.01f);
    }
    // The ends are the two steps' poses themselves.
    expectPosesEqual(blender.poseAt(0.0f), before, true);
    expectPosesEqual(blender.poseAt(1.0f), after);

    // The sparks of a bump: a cone under the plane, then two steps into the bounce.
    game.obstaclePositions[3] = {0, 0, 10};
    game.obstacleRadii[3] = 100;
    game.obstacleHeights[3] = 150;
    smoothStep();
    ASSERT_EQ(game.bumping, 1);
    smoothStep();
    const SparkEffect& sparks = *game.burstEffect;
    FlightPose sparkHalf = blender.poseAt(0.5f);
    for (int i : {0, 40, 74}) {
        float y = sparks.positionY[i];
        float previousY = y - (sparks.velocityY[i] -
                               0.002f * float(sparks.age[i] - 1) * float(sparks.age[i] - 1));
        EXPECT_NEAR(sparkHalf.sparkX[i], sparks.positionX[i] - sparks.velocityX[i] / 2, kNear);
        EXPECT_NEAR(sparkHalf.sparkY[i], (previousY + y) / 2, kNear);
        EXPECT_NEAR(sparkHalf.sparkZ[i], sparks.positionZ[i] - sparks.velocityZ[i] / 2, kNear);
    }
    // The ground's bounce blends too.
    EXPECT_NE(blender.poseAt(0.0f).groundLevel, game.groundLevel);
}

TEST_F(FrameBlendTest, TheHalfStepFrameDrawsTheConesHalfwayAndChangesNothing) {
    smoothStep();
    FlightPose before = poseOf(game);
    smoothStep();
    // Flying straight ahead at heading 0: each cone comes 10 units nearer a step.
    ASSERT_EQ(game.heading, 0.0f);
    harness.device().reset();
    blender.draw(0.5f);
    Vec3 drawn = coneDrawnAt(5);
    EXPECT_NEAR(drawn.z, (before.obstaclePositions[5].z + game.obstaclePositions[5].z) / 2, kNear);
    EXPECT_EQ(harness.device().count("Present"), 0u) << "the caller presents";
    EXPECT_GT(harness.device().count("DrawSubset"), 250u);
}

TEST_F(FrameBlendTest, AFrameBetweenStepsRunsNoContactOrPassTest) {
    smoothStep();
    smoothStep();
    // A cone and a target right on the plane: a repaint would find both.
    game.obstaclePositions[9] = {0, 0, 0};
    game.obstacleRadii[9] = 100;
    game.obstacleHeights[9] = 150;
    game.targetPositions[2] = {0, 0, 0};
    uint32_t random = randomState();
    uint32_t recorded = game.flightRecorder->position;
    size_t sounds = harness.music.callsStartingWith("playSecondary").size();
    for (float f : {0.0f, 0.25f, 0.5f, 0.99f, 1.0f}) blender.draw(f);
    EXPECT_EQ(game.bumping, 0);
    EXPECT_EQ(game.targetPassed[2], 0);
    EXPECT_EQ(harness.music.callsStartingWith("playSecondary").size(), sounds);
    EXPECT_EQ(randomState(), random);
    EXPECT_EQ(game.flightRecorder->position, recorded);
    EXPECT_EQ(game.obstaclePositions[9].z, 0.0f);
    // The repaint, for contrast, still does what the original's did: the pass first (a bump
    // found among the cones would block it), then the contact.
    game.obstaclePositions[9] = {2000, 0, 2000};
    windowProcedure(WindowEvent{EventType::Paint, 0, 0});
    EXPECT_EQ(game.targetPassed[2], 1);
    game.obstaclePositions[9] = {0, 0, 0};
    windowProcedure(WindowEvent{EventType::Paint, 0, 0});
    EXPECT_EQ(game.bumping, 1);
}

TEST_F(FrameBlendTest, AConeThatWrapsSnapsWhileTheOthersBlend) {
    smoothStep();
    // Heading 0 and speed 10: z falls by 10 a step, so a cone at -2995 wraps to the far side.
    game.obstaclePositions[4] = {100, 0, -2995};
    FlightPose before = poseOf(game);
    smoothStep();
    ASSERT_GT(game.obstaclePositions[4].z, 2900.0f);
    FlightPose half = blender.poseAt(0.5f);
    EXPECT_EQ(half.obstaclePositions[4].z, game.obstaclePositions[4].z);
    EXPECT_NEAR(half.obstaclePositions[5].z,
                (before.obstaclePositions[5].z + game.obstaclePositions[5].z) / 2, kNear);
}

TEST_F(FrameBlendTest, SnapsAcrossAViewSwitchAPauseANewGameAndAStall) {
    auto expectSnapped = [&](const char* what) {
        SCOPED_TRACE(what);
        expectPosesEqual(blender.poseAt(0.3f), poseOf(game));
    };
    smoothStep();
    smoothStep();
    // Ctrl between two steps: the next frames show the new view at once.
    toggleView();
    expectSnapped("view switch");
    EXPECT_EQ(blender.poseAt(0.3f).cockpitView, 1);
    smoothStep();
    EXPECT_NE(blender.poseAt(0.3f).heading + blender.poseAt(0.3f).obstaclePositions[0].z,
              poseOf(game).heading + poseOf(game).obstaclePositions[0].z)
        << "blends again after the next step";

    // F1: the paused steps show nothing, and the first step after it does not glide.
    windowProcedure(WindowEvent{EventType::KeyDown, kVkF1, 0});
    smoothStep();
    EXPECT_FALSE(blender.showing());
    smoothStep();
    windowProcedure(WindowEvent{EventType::KeyDown, kVkF1, 0});
    smoothStep();
    EXPECT_TRUE(blender.showing());
    expectSnapped("first step after a pause");

    // A stall (a dialog held the loop): the step after it snaps.
    smoothStep(500);
    expectSnapped("stall");

    // F3 from a pause: the new game's first intro step snaps.
    smoothStep();
    windowProcedure(WindowEvent{EventType::KeyDown, kVkF1, 0});
    windowProcedure(WindowEvent{EventType::KeyDown, kVkF3, 0});
    smoothStep();
    ASSERT_EQ(game.introActive, 1);
    expectSnapped("new game");
}

TEST(FlightPoseBlend, TheTumbleTakesTheShortWayRoundItsWrapAndOnlyWithinABump) {
    FlightPose from, to;
    from.bumping = to.bumping = 1;
    from.drawnTumble = 360;
    to.drawnTumble = 20;  // 380 wrapped
    EXPECT_NEAR(blendPoses(from, to, 0.5f).drawnTumble, 370.0f, kNear);
    from.drawnTumble = 100;
    to.drawnTumble = 120;
    EXPECT_NEAR(blendPoses(from, to, 0.25f).drawnTumble, 105.0f, kNear);
    // The bump ended: the tumble falls back to 0 at once.
    to.bumping = 0;
    to.drawnTumble = 0;
    EXPECT_EQ(blendPoses(from, to, 0.5f).drawnTumble, 0.0f);
    // A fraction past the ends is held to them.
    to.heading = 10;
    EXPECT_EQ(blendPoses(from, to, 1.5f).heading, 10.0f);
    EXPECT_EQ(blendPoses(from, to, -0.5f).heading, 0.0f);
}

}  // namespace

namespace {

// The plane's world transform in the result screen's last draw, and the sparkles' vertices.
struct ResultFrame {
    Matrix plane;
    std::vector<PointVertex> sparkles;
};

ResultFrame drawnResultFrame(GameHarness& harness, const FrameBlender& blender, float fraction) {
    harness.device().reset();
    blender.draw(fraction);
    ResultFrame frame;
    for (const DeviceCall& c : harness.device().calls)
        if (c.op == "SetTransform" && c.transform == TransformState::World)
            frame.plane = c.matrix;  // the plane is drawn last
    auto* vertices = static_cast<PointVertex*>(game.sparkleEffect->vertexBuffer->lock());
    frame.sparkles.assign(vertices, vertices + resultScreen.shownSparkles);
    game.sparkleEffect->vertexBuffer->unlock();
    return frame;
}

}  // namespace

// The result screen between two steps: the plane turns and grows halfway, a flying sparkle is
// halfway, a sparkle reborn at the fountain's mouth snaps, and nothing changes.
TEST_F(FrameBlendTest, TheResultScreenBlendsThePlaneAndTheSparklesAndChangesNothing) {
    game.gameOver = 1;
    game.halted = 1;
    for (int i = 0; i < 300; ++i) smoothStep();
    ASSERT_EQ(blender.picture(), StepPicture::ResultScreen);
    ASSERT_GT(resultScreen.shownSparkles, 100);
    ResultScreen screenBefore = resultScreen;
    std::vector<uint32_t> ages(game.sparkleEffect->age,
                               game.sparkleEffect->age + resultScreen.shownSparkles);

    ResultFrame from = drawnResultFrame(harness, blender, 0.0f);
    ResultFrame to = drawnResultFrame(harness, blender, 1.0f);
    ResultFrame half = drawnResultFrame(harness, blender, 0.5f);
    EXPECT_EQ(std::memcmp(&resultScreen, &screenBefore, sizeof screenBefore), 0);

    float moved = 0;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            float a = from.plane.m[r][c], b = to.plane.m[r][c];
            moved = std::max(moved, std::fabs(b - a));
            EXPECT_NEAR(half.plane.m[r][c], (a + b) / 2, 0.02f * std::fabs(b - a) + 1e-5f);
        }
    }
    EXPECT_GT(moved, 1e-3f) << "the plane turns between the steps";

    ASSERT_EQ(half.sparkles.size(), to.sparkles.size());
    int blended = 0, snapped = 0;
    for (size_t i = 0; i < half.sparkles.size(); ++i) {
        const PointVertex &a = from.sparkles[i], &b = to.sparkles[i], &h = half.sparkles[i];
        if (ages[i] == 0) {  // reborn by the last step
            EXPECT_EQ(h.y, b.y) << i;
            ++snapped;
        } else {
            EXPECT_NEAR(h.x, (a.x + b.x) / 2, 1e-4f) << i;
            EXPECT_NEAR(h.y, (a.y + b.y) / 2, 1e-4f) << i;
            ++blended;
        }
    }
    EXPECT_GT(blended, 100);
    EXPECT_GT(snapped, 0);
}
