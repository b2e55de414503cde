// Obstacle movement, wrap and contact; target movement and passes; the world matrices sent to the
// device in both views.
#include <gtest/gtest.h>

#include <cmath>

#include "fakes/recording_device.h"
#include "game/game_state.h"
#include "game/new_game.h"
#include "scene/obstacles.h"
#include "scene/targets.h"

namespace {

class SceneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetGameState();
        auto device = std::make_unique<RecordingDevice>();
        recorder = device.get();
        game.device = std::move(device);
        ASSERT_TRUE(createSceneMeshes());
        newGame();
        for (uint32_t& b : game.bestPassTimes) b = 0xFFFFFFFF;
        game.introActive = 0;
        game.halted = 0;
        recorder->reset();
    }
    void TearDown() override { resetGameState(); }

    // Puts every obstacle far away so that only the ones a test places matter.
    void clearField() {
        for (int i = 0; i < ObstacleCount; ++i) {
            game.obstaclePositions[i] = {2900, 0, 2900};
            game.obstacleHeights[i] = 10;
        }
    }

    std::vector<Matrix> worlds() const {
        std::vector<Matrix> out;
        for (const auto& c : recorder->callsOf("SetTransform"))
            if (c.transform == TransformState::World)
                out.push_back(c.matrix);
        return out;
    }

    // The obstacles' and targets' parts of a frame step (moved and tested, then drawn) and of a
    // repaint (tested where they stand, then drawn).
    static void stepObstacles() {
        game.drawnTumble = game.bumpTumble;
        moveObstacles();
        drawObstacles(game);
    }
    static void repaintObstacles() {
        game.drawnTumble = game.bumpTumble;
        touchObstacles();
        drawObstacles(game);
    }
    static void stepTargets() {
        moveTargets();
        drawTargets(game);
    }
    static void repaintTargets() {
        touchTargets();
        drawTargets(game);
    }

    RecordingDevice* recorder = nullptr;
};

void expectMatrixNear(const Matrix& a, const Matrix& b) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], 1e-3f) << r << "," << c;
}

TEST_F(SceneTest, WrapIsStrictAndZComesBeforeX) {
    clearField();
    game.speed = 0;
    game.obstaclePositions[0] = {3000, 0, -3000};
    game.obstaclePositions[1] = {-3000.5f, 0, 0};
    game.obstaclePositions[2] = {0, 0, -3000.5f};
    stepObstacles();
    EXPECT_EQ(game.obstaclePositions[0].x, 3000.0f);
    EXPECT_EQ(game.obstaclePositions[0].z, -3000.0f);
    EXPECT_EQ(game.obstaclePositions[1].x, 2999.5f);
    EXPECT_EQ(game.obstaclePositions[2].z, 2999.5f);

    // Heading 90: the plane travels towards -x of the ground frame, so the world moves +x.
    game.heading = 90;
    game.speed = 10;
    game.obstaclePositions[3] = {2995, 0, 100};
    stepObstacles();
    EXPECT_NEAR(game.obstaclePositions[3].x, 2995 + 10 - 6000, 1e-3);
    EXPECT_NEAR(game.obstaclePositions[3].z, 100 - std::cos(90 * kDegToRad) * 10, 1e-3);
}

TEST_F(SceneTest, RedrawWithoutMovingStillTestsContact) {
    clearField();
    game.obstaclePositions[5] = {0, 0, 0};
    game.obstacleHeights[5] = 150;
    game.obstacleRadii[5] = 100;
    repaintObstacles();
    EXPECT_EQ(game.bumping, 1);
    EXPECT_EQ(game.obstaclePositions[5].x, 0.0f);
}

TEST_F(SceneTest, TouchesConeAtAltitude) {
    // Altitude 60, radius 100, height 150: touched within 60 of the axis, rim included.
    EXPECT_TRUE(touchesCone(60, 0, 0, 100, 150, -60));
    EXPECT_TRUE(touchesCone(36, 0, 48, 100, 150, -60));
    EXPECT_FALSE(touchesCone(60.01f, 0, 0, 100, 150, -60));
    EXPECT_FALSE(touchesCone(0, 0, 0, 100, 60, -60));      // apex level with the plane
    EXPECT_TRUE(touchesCone(5000, 0, 5000, 1, 10, 0.5f));  // under the ground
    game.gameOver = 1;
    EXPECT_FALSE(touchesCone(0, 0, 0, 100, 150, -60));
}

TEST_F(SceneTest, ObstacleWorldMatrixIsTheProductInOrder) {
    game.heading = 33;
    game.bank = 12;
    game.speed = 0;
    for (int cockpit = 0; cockpit < 2; ++cockpit) {
        for (int bump = 0; bump < 2; ++bump) {
            recorder->reset();
            game.cockpitView = cockpit;
            game.bumping = bump;
            game.bumpTumble = 40;
            repaintObstacles();
            auto w = worlds();
            ASSERT_EQ(w.size(), 250u);
            for (int i : {0, 17, 249}) {
                const Vec3& p = game.obstaclePositions[i];
                float r = game.obstacleRadii[i], h = game.obstacleHeights[i];
                Matrix expected = matrixRotationX(-1.5707964f) * matrixTranslation(0, 0.5f, 0) *
                                  matrixScaling(r, h, r) * matrixTranslation(p.x, -60, p.z) *
                                  matrixRotationY(33 * kDegToRad);
                if (cockpit) {
                    expected = expected * matrixRotationZ(12 * kDegToRad);
                    if (bump)
                        expected = expected * matrixRotationX(40 * kDegToRad);
                }
                expectMatrixNear(w[i], expected);
            }
        }
    }
}

TEST_F(SceneTest, CockpitBumpTumblesUpTo90AndTurnsTheSkyPink) {
    clearField();
    game.cockpitView = 1;
    game.bumping = 1;
    game.bumpTumble = 0;
    game.clearColour = 0xFF123456;
    for (int i = 1; i <= 12; ++i) {
        stepObstacles();
        EXPECT_EQ(game.bumpTumble, std::min(10.0f * i, 90.0f));
    }
    EXPECT_EQ(game.clearColour, 0xFFFF8888u);
    game.cockpitView = 0;
    game.bumpTumble = 30;
    stepObstacles();
    EXPECT_EQ(game.bumpTumble, 30.0f);
}

TEST_F(SceneTest, ObstaclesAreLitWithTheirColourAndFade) {
    clearField();
    game.sceneFade = 0.25f;
    repaintObstacles();
    auto materials = recorder->callsOf("SetMaterial");
    ASSERT_EQ(materials.size(), 250u);
    const Material& m = materials[7].material;
    EXPECT_EQ(m.diffuse.r, game.obstacleColours[7].r);
    EXPECT_EQ(m.diffuse.a, 0.25f);
    EXPECT_EQ(m.ambient, m.diffuse);
    EXPECT_EQ(m.specular.r, 0.9f);
    EXPECT_EQ(m.emissive.r, 0.0f);
    EXPECT_EQ(recorder->count("DrawSubset"), 250u);
}

TEST_F(SceneTest, TargetPassRadiusIs48AtAltitude60) {
    game.targetPositions[2] = {48, 0, 0};
    repaintTargets();
    EXPECT_EQ(game.targetPassed[2], 1);
    game.targetPositions[3] = {48.01f, 0, 0};
    repaintTargets();
    EXPECT_EQ(game.targetPassed[3], 0);
}

TEST_F(SceneTest, NoPassWhileBumping) {
    game.bumping = 1;
    game.targetPositions[0] = {0, 0, 0};
    repaintTargets();
    EXPECT_EQ(game.targetPassed[0], 0);
}

TEST_F(SceneTest, PassOrderRecordsAndTheLastPass) {
    game.elapsedTenths = 500;
    game.bestPassTimes[2] = 500;  // equal counts as a record
    game.targetPositions[2] = {0, 0, 0};
    repaintTargets();
    EXPECT_EQ(game.targetPassed[2], 1);
    EXPECT_EQ(game.passTimes[2], 500u);
    EXPECT_EQ(game.lastPassRecord, 1);
    EXPECT_EQ(game.currentTarget, 0);
    EXPECT_EQ(game.allTargetsPassed, 0);

    game.elapsedTenths = 600;
    game.bestPassTimes[0] = 599;
    game.targetPositions[2] = {0, 0, 9000};
    game.targetPositions[0] = {0, 0, 0};
    repaintTargets();
    EXPECT_EQ(game.lastPassRecord, 0);
    EXPECT_EQ(game.bestPassTimes[0], 599u);
    EXPECT_EQ(game.currentTarget, 1);

    game.targetPassed[1] = 1;
    game.targetPositions[0] = {0, 0, 9000};
    game.targetPositions[3] = {10, 0, 10};
    repaintTargets();
    EXPECT_EQ(game.allTargetsPassed, 1);
    EXPECT_EQ(game.currentTarget, 1);  // keeps its last value
}

TEST_F(SceneTest, TargetsMoveWithoutWrapAndDrawUnfogged) {
    game.targetPositions[0] = {0, 0, 3005};
    game.speed = 10;
    stepTargets();
    EXPECT_EQ(game.targetPositions[0].z, 2995.0f);
    game.targetPositions[1] = {0, 0, -3005};
    game.speed = -10;
    stepTargets();
    EXPECT_EQ(game.targetPositions[1].z, -2995.0f);

    recorder->reset();
    repaintTargets();
    auto states = recorder->callsOf("SetRenderState");
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states.front().state, RenderState::FogEnable);
    EXPECT_EQ(states.front().value, 0u);
    EXPECT_EQ(states.back().value, 1u);
    auto materials = recorder->callsOf("SetMaterial");
    EXPECT_EQ(materials[0].material.emissive.r, 0.4f);
    EXPECT_EQ(materials[0].material.diffuse.a, 0.5f);
    auto w = worlds();
    const Vec3& p = game.targetPositions[1];
    expectMatrixNear(w[1], matrixTranslation(0, 1, 0) * matrixScaling(60, 300, 60) *
                               matrixTranslation(p.x, -60, p.z) * matrixRotationY(0));
}

}  // namespace
