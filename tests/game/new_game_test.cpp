// The random generator and the world a new game builds.
#include "game/new_game.h"

#include <gtest/gtest.h>

#include "fakes/recording_device.h"
#include "game/game_state.h"
#include "game/random.h"

namespace {

class NewGameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetGameState();
        auto device = std::make_unique<RecordingDevice>();
        recorder = device.get();
        game.device = std::move(device);
    }
    void TearDown() override { resetGameState(); }
    RecordingDevice* recorder = nullptr;
};

TEST(RandomGenerator, FirstDrawsAfterSeedingOne) {
    seedRandom(1);
    int expected[] = {41, 18467, 6334, 26500, 19169, 15724};
    for (int e : expected) EXPECT_EQ(drawRandom(), e);
}

TEST(RandomGenerator, StateWrapsModulo2To32) {
    seedRandom(0xFFFFFFFFu);
    drawRandom();
    EXPECT_EQ(randomState(), 0xFFFFFFFFu * 214013u + 2531011u);
}

TEST_F(NewGameTest, FirstObstacleAndFieldRanges) {
    newGame();
    EXPECT_EQ(game.obstaclePositions[0].x, -2918.0f);
    EXPECT_EQ(game.obstaclePositions[0].y, 0.0f);
    EXPECT_EQ(game.obstaclePositions[0].z, -2066.0f);
    EXPECT_EQ(game.obstacleRadii[0], 274.0f);
    EXPECT_EQ(game.obstacleHeights[0], 134.0f);
    EXPECT_FLOAT_EQ(game.obstacleColours[0].r, 6334.0f / 32767.0f);
    EXPECT_EQ(game.obstacleColours[0].g, 1.0f);
    EXPECT_FLOAT_EQ(game.obstacleColours[0].b, 26500.0f / 32767.0f);
    for (int i = 0; i < ObstacleCount; ++i) {
        const Vec3& p = game.obstaclePositions[i];
        EXPECT_GE(p.x, -3000);
        EXPECT_LE(p.x, 2998);
        EXPECT_EQ(static_cast<int>(p.x) % 2, 0);
        EXPECT_GE(game.obstacleRadii[i], 5);
        EXPECT_LE(game.obstacleRadii[i], 304);
        EXPECT_GE(game.obstacleHeights[i], 10);
        EXPECT_LE(game.obstacleHeights[i], 159);
    }
}

TEST_F(NewGameTest, TargetsTableAndPackedColours) {
    newGame();
    const float xs[] = {0, 0, 10000, -10000};
    const float zs[] = {10200, -10000, 0, 0};
    const uint32_t argb[] = {0xFFFF0000, 0xFF0000FF, 0xFFFFFF00, 0xFF00FF00};
    for (int i = 0; i < TargetCount; ++i) {
        EXPECT_EQ(game.targetPositions[i].x, xs[i]);
        EXPECT_EQ(game.targetPositions[i].z, zs[i]);
        EXPECT_EQ(game.targetRadii[i], 60.0f);
        EXPECT_EQ(game.targetColours[i].a, 0.5f);
        EXPECT_EQ(game.targetColourArgb[i], argb[i]);
    }
}

TEST_F(NewGameTest, SecondGameRebuildsTheSameFieldWhateverWasDrawnBetween) {
    newGame();
    GameState first;
    for (int i = 0; i < ObstacleCount; ++i) first.obstaclePositions[i] = game.obstaclePositions[i];
    for (int i = 0; i < 1000; ++i) drawRandom();
    game.obstaclePositions[3] = {1, 2, 3};
    game.groundLevel = 17;
    newGame();
    for (int i = 0; i < ObstacleCount; ++i) {
        EXPECT_EQ(game.obstaclePositions[i].x, first.obstaclePositions[i].x);
        EXPECT_EQ(game.obstaclePositions[i].z, first.obstaclePositions[i].z);
    }
    EXPECT_EQ(game.groundLevel, -60.0f);
}

TEST_F(NewGameTest, ResetsPerGameFieldsAndLeavesTheLongLivedOnes) {
    game.cockpitView = 1;
    game.musicOn = 0;
    game.replaying = 1;
    game.steering = 1;
    game.bestPassTimes[2] = 77;
    game.elapsedTenths = 1234;
    game.pauseStartTick = 999;
    game.gameOverFrame = 12;
    game.pausedMs = 500;
    game.speed = 40;
    game.bumping = 1;
    game.bumpCountdown = 3;
    game.targetPassed[1] = 1;
    game.currentTarget = 2;
    game.tempoDirty = 1;
    newGame();
    EXPECT_EQ(game.cockpitView, 1);
    EXPECT_EQ(game.musicOn, 0);
    EXPECT_EQ(game.replaying, 1);
    EXPECT_EQ(game.steering, 1);
    EXPECT_EQ(game.bestPassTimes[2], 77u);
    EXPECT_EQ(game.elapsedTenths, 1234u);
    EXPECT_EQ(game.pauseStartTick, 999u);
    EXPECT_EQ(game.gameOverFrame, 12u);

    EXPECT_EQ(game.halted, 1);
    EXPECT_EQ(game.introActive, 1);
    EXPECT_EQ(game.musicVolume, 1);
    EXPECT_EQ(game.restartClock, 1);
    EXPECT_EQ(game.pausedMs, 0u);
    EXPECT_EQ(game.speed, 0.0f);
    EXPECT_EQ(game.bumping, 0);
    EXPECT_EQ(game.bumpCountdown, 64);
    EXPECT_EQ(game.clearColour, 0xFF7FEFFAu);
    EXPECT_EQ(game.sceneFade, 1.0f);
    EXPECT_EQ(game.targetPassed[1], 0);
    EXPECT_EQ(game.currentTarget, 0);
    EXPECT_EQ(game.tempoDirty, 0);
}

TEST_F(NewGameTest, SetsTheViewOfTheCurrentEye) {
    game.cockpitView = 1;
    newGame();
    auto views = recorder->callsOf("SetTransform");
    ASSERT_FALSE(views.empty());
    EXPECT_EQ(views.back().transform, TransformState::View);
    EXPECT_EQ(views.back().matrix, matrixLookAtRH({0, 0, 0}, {0, 0, 100}, {0, 1, 0}));
    game.cockpitView = 0;
    newGame();
    EXPECT_EQ(recorder->callsOf("SetTransform").back().matrix,
              matrixLookAtRH({0, 0, -20}, {0, 0, 100}, {0, 1, 0}));
}

}  // namespace
