// The control mapping against the worked examples of the design and its gates.
#include "controls/control_mapping.h"

#include <gtest/gtest.h>

#include "game_fixture.h"

namespace {

// The design quotes its results to seven digits.
constexpr float kQuoted = 1e-7f;

using ControlMapping = FreshGame;

TEST_F(ControlMapping, KeyboardTurnGrowsWithSpeed) {
    game.speed = 10;
    applyTurnInput(8);
    EXPECT_NEAR(game.turnDelta, 0.0333333f, kQuoted);
    game.speed = 30;
    applyTurnInput(8);
    EXPECT_NEAR(game.turnDelta, 0.0666667f, kQuoted);
    applyTurnInput(-8);
    EXPECT_NEAR(game.turnDelta, -0.0666667f, kQuoted);
}

TEST_F(ControlMapping, DeadZoneWritesZeroAndEndsAtThree) {
    game.speed = 10;
    for (int16_t v : {2, -2, 1, 0}) {
        game.turnDelta = 5;
        applyTurnInput(v);
        EXPECT_EQ(game.turnDelta, 0.0f) << v;
    }
    applyTurnInput(3);
    EXPECT_FLOAT_EQ(game.turnDelta, 20.0f / 40.0f * 0.025f);
    applyTurnInput(-3);
    EXPECT_FLOAT_EQ(game.turnDelta, -20.0f / 40.0f * 0.025f);
}

TEST_F(ControlMapping, ResultsAreSinglePrecisionInTheDesignedOrder) {
    // Double arithmetic, or multiplying before dividing by 40, lands on other bits here; a
    // recording made by another build would then replay off course.
    game.speed = 0.37f;
    applyTurnInput(7);
    EXPECT_EQ(game.turnDelta, 0x1.ef8c36p-7f);

    game.speedDelta = 0.1f;
    applySpeedInput(1);
    EXPECT_EQ(game.speedDelta, 0x1.11111p-4f);
}

TEST_F(ControlMapping, BumpFreezesBothInputs) {
    game.bumping = 1;
    game.speed = 4;
    game.turnDelta = 0.25f;
    game.speedDelta = 0.5f;
    applyTurnInput(100);
    applySpeedInput(100);
    EXPECT_EQ(game.turnDelta, 0.25f);
    EXPECT_EQ(game.speedDelta, 0.5f);
    EXPECT_EQ(game.speed, 4.0f);
    EXPECT_EQ(game.tempoDirty, 0);
}

TEST_F(ControlMapping, IntroIgnoresSpeedButNotTurn) {
    game.introActive = 1;
    game.speed = 4;
    applySpeedInput(2);
    EXPECT_EQ(game.speed, 4.0f);
    EXPECT_EQ(game.speedDelta, 0.0f);
    EXPECT_EQ(game.tempoDirty, 0);
    applyTurnInput(8);
    EXPECT_NE(game.turnDelta, 0.0f);
}

TEST_F(ControlMapping, SpeedInputLiftsSlowFlightToTenBeforeTheStep) {
    game.speed = 4;
    applySpeedInput(2);
    EXPECT_EQ(game.speed, 10.0f);
    EXPECT_NEAR(game.speedDelta, -0.0666667f, kQuoted);
    EXPECT_EQ(game.tempoDirty, 1);
    // The frame step then subtracts the delta.
    game.speed -= game.speedDelta;
    EXPECT_NEAR(game.speed, 10.0666667f, 1e-6f);
}

TEST_F(ControlMapping, ZeroSpeedInputStillAppliesFloorAndTempo) {
    game.speed = 9.99f;
    applySpeedInput(0);
    EXPECT_EQ(game.speed, 10.0f);
    EXPECT_EQ(game.speedDelta, 0.0f);
    EXPECT_EQ(game.tempoDirty, 1);
}

TEST_F(ControlMapping, FastFlightIsNotTouchedByTheFloorAndInputsAccumulate) {
    game.speed = 25;
    applySpeedInput(-200);
    EXPECT_EQ(game.speed, 25.0f);
    EXPECT_NEAR(game.speedDelta, 6.6666667f, kQuoted);
    // While steering is held the frame step keeps the delta, so inputs add up.
    applySpeedInput(30);
    EXPECT_FLOAT_EQ(game.speedDelta, 6.6666667f - 1.0f);
    applySpeedInput(200);
    EXPECT_FLOAT_EQ(game.speedDelta, -1.0f);
}

}  // namespace
