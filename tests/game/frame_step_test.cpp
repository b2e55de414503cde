// Whole sequences of frame steps on the fakes: the intro, a bump, the finish and game-over
// sequence, the sky colour, and the steps that are cut short.
#include "game/frame_step.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "fakes/game_harness.h"
#include "game/game_state.h"
#include "hud/spark_effect.h"

namespace {

class FrameStepTest : public GameTest {
  protected:
    // Every cone but the ones a test places is too low to touch.
    void flattenField() {
        for (int i = 0; i < ObstacleCount; ++i) game.obstacleHeights[i] = 10;
    }
    std::vector<int32_t> volumes() const {
        std::vector<int32_t> out;
        for (const std::string& c : harness.music.callsStartingWith("setMasterVolume "))
            out.push_back(std::stoi(c.substr(16)));
        return out;
    }
};

TEST_F(FrameStepTest, IntroFadesInAcceleratesAndReadsNoInput) {
    harness.startPlaying();
    float startZ = game.targetPositions[0].z;
    std::vector<uint32_t> skies;
    for (int i = 0; i < 150; ++i) {
        ASSERT_EQ(game.introActive, 1) << i;
        EXPECT_EQ(harness.step(), 1);
        skies.push_back(game.clearColour);
        EXPECT_EQ(game.bumping, 0) << "a cone lies in the intro's path at step " << i;
    }
    EXPECT_EQ(skies[0], 0x000000FFu);
    EXPECT_EQ(skies[119] & 0xFFFFFF, 0x7FEEFAu);  // green 238 one frame before
    EXPECT_EQ(skies[120] & 0xFFFFFF, 0x7FEFFAu);
    EXPECT_FLOAT_EQ(game.sceneFade, 149.0f / 150.0f);
    EXPECT_FLOAT_EQ(game.speed, 9.8f);
    EXPECT_NEAR(startZ - game.targetPositions[0].z, 245.0f, 0.01f);
    EXPECT_EQ(harness.input.pollCount, 0);
    EXPECT_EQ(game.introActive, 0);
    EXPECT_EQ(game.halted, 0);
    EXPECT_EQ(game.introFrame, 0u);

    // The first flight step reads the input.
    harness.step();
    EXPECT_EQ(harness.input.pollCount, 1);
}

TEST_F(FrameStepTest, BumpFallsAndRisesBackExactly) {
    harness.startPlaying();
    harness.finishIntro();
    flattenField();
    game.speed = 10;
    game.obstaclePositions[0] = {0, 0, 10};
    game.obstacleRadii[0] = 100;
    game.obstacleHeights[0] = 150;
    harness.music.clearLog();

    harness.step();  // contact
    ASSERT_EQ(game.bumping, 1);
    EXPECT_EQ(game.groundLevel, -60.0f);
    std::vector<float> ground;
    int steps = 0;
    while (game.bumping && steps < 100) {
        harness.step();
        ground.push_back(game.groundLevel);
        ++steps;
    }
    EXPECT_EQ(steps, 65);
    EXPECT_EQ(ground[0], -63.0f);
    EXPECT_EQ(ground[31], -99.0f);  // the turning point: 39 below the start
    EXPECT_EQ(ground[32], -99.0f);  // multiplier 0
    EXPECT_EQ(ground.back(), -60.0f);
    EXPECT_EQ(game.bumpCountdown, 64);
    EXPECT_EQ(game.bumpTumble, 0.0f);
    // The sparks are scattered again for the next bump.
    for (int i = 0; i < SparkCount; ++i) EXPECT_EQ(game.burstEffect->positionX[i], 0.0f);
    // The plane stayed inside the cone for several steps: each contact replayed the crash sound,
    // none restarted the bump.
    EXPECT_GT(harness.music.callsStartingWith("playSecondary crush.wav").size(), 1u);
}

TEST_F(FrameStepTest, BumpIgnoresInputAndKeepsTheSky) {
    harness.startPlaying();
    harness.finishIntro();
    flattenField();
    game.bumping = 1;
    game.clearColour = 0xFF010203;
    KeyboardState k = FakeInput::keys({kScanLeft, kScanUp});
    harness.input.pushKeyboard(k);
    float turnDelta = game.turnDelta;
    harness.step();
    EXPECT_EQ(game.turnDelta, turnDelta);
    EXPECT_EQ(game.clearColour, 0xFF010203u);
}

TEST_F(FrameStepTest, FinishAndGameOverVolumeSequence) {
    harness.startPlaying();
    harness.finishIntro();
    flattenField();
    game.cockpitView = 1;
    game.allTargetsPassed = 1;
    harness.music.clearLog();
    int steps = 0;
    bool belowZeroDrawn = false;
    int framesBelowZero = 0;
    while (!game.halted && steps < 400) {
        harness.step();
        ++steps;
        if (game.sceneFade < 0)
            ++framesBelowZero;
        belowZeroDrawn = belowZeroDrawn || game.sceneFade < 0;
    }
    EXPECT_EQ(steps, 122 + 200);
    EXPECT_EQ(volumes(), (std::vector<int32_t>{-499, -1499, -2499, -4499, 1}));
    EXPECT_EQ(harness.music.volume, 1);
    EXPECT_EQ(harness.music.primary, "velmo.mid");
    EXPECT_EQ(game.cockpitView, 0);
    EXPECT_EQ(game.gameOver, 1);
    EXPECT_EQ(game.halted, 1);
    EXPECT_EQ(game.sceneFade, 0.0f);
    EXPECT_EQ(framesBelowZero, 2);
    EXPECT_EQ(game.gameOverFrame, 0u);

    // From now on each step draws the result screen.
    harness.device().reset();
    harness.step();
    EXPECT_EQ(harness.device().count("Present"), 1u);
}

TEST_F(FrameStepTest, FailingVolumeCallRepeatsTheSamePointOfTheSequence) {
    harness.startPlaying();
    harness.finishIntro();
    flattenField();
    game.allTargetsPassed = 1;
    game.finishFrame = 70;
    harness.music.failing.insert("setMasterVolume");
    harness.step();
    EXPECT_EQ(game.finishFrame, 70u);
    harness.music.failing.clear();
    harness.step();
    EXPECT_EQ(game.finishFrame, 71u);
    EXPECT_EQ(game.musicVolume, 1 - 500 - 500);
}

TEST_F(FrameStepTest, SkyColourFollowsTheGameTime) {
    harness.startPlaying();
    harness.finishIntro();
    flattenField();
    game.elapsedTenths = 300;
    harness.step();
    EXPECT_EQ(game.clearColour, 0xFF000000u | (186u << 16) | (180u << 8) | 250u);
    game.elapsedTenths = 1500;
    harness.step();
    EXPECT_EQ(game.clearColour, 0xFF000000u | (187u << 16) | (179u << 8) | 250u);
    game.elapsedTenths = 1800;  // 180 s: back to the start
    harness.step();
    EXPECT_EQ(game.clearColour, 0xFF7FEFFAu);
}

TEST_F(FrameStepTest, StepsCutShortDrawNothing) {
    harness.startPlaying();
    harness.finishIntro();
    harness.device().reset();
    harness.input.pushFailure();
    EXPECT_EQ(harness.step(), 0);
    EXPECT_EQ(harness.device().count("Clear"), 0u);
    EXPECT_EQ(harness.device().count("Present"), 0u);

    std::unique_ptr<GraphicsDevice> saved = std::move(game.device);
    EXPECT_EQ(harness.step(), 0);
    game.device = std::move(saved);
}

TEST_F(FrameStepTest, TempoFollowsSpeedInputAndRetriesAfterAFailure) {
    harness.startPlaying();
    harness.finishIntro();
    flattenField();
    harness.music.clearLog();
    harness.input.pushKeyboard(FakeInput::keys({kScanUp}));
    harness.music.failing.insert("setMasterTempo");
    EXPECT_EQ(harness.step(), 0);
    EXPECT_EQ(game.tempoDirty, 1);
    harness.music.failing.clear();
    EXPECT_EQ(harness.step(), 1);
    EXPECT_EQ(game.tempoDirty, 0);
    EXPECT_NEAR(harness.music.tempo, 0.8f + (game.speed - 10.0f) * 0.01f, 1e-6);
}

TEST_F(FrameStepTest, ToggleViewSetsTheOtherEye) {
    harness.startPlaying();
    harness.device().reset();
    toggleView();
    EXPECT_EQ(game.cockpitView, 1);
    EXPECT_EQ(harness.device().callsOf("SetTransform").back().matrix,
              matrixLookAtRH({0, 0, 0}, {0, 0, 100}, {0, 1, 0}));
    toggleView();
    EXPECT_EQ(harness.device().callsOf("SetTransform").back().matrix,
              matrixLookAtRH({0, 0, -20}, {0, 0, 100}, {0, 1, 0}));
}

}  // namespace
