// The main loop's pacing on a virtual clock: the strict 30 ms rule, the tick wrap, one event per
// pass, nothing stepped before the controller choice.
#include "app/main_loop.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "game/game_state.h"

namespace {

class MainLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetGameState();
        game.mainWindow = &window;
        game.tickSource = &ticks;
        // Start-up done and the controller chosen; no device, so steps do nothing but count.
        game.startupStage = 2;
        game.running = 1;
        game.restartClock = 0;
    }
    void TearDown() override { resetGameState(); }

    // Runs one pass and says whether it stepped a frame.
    bool passSteps() {
        uint32_t before = game.lastStepTick;
        int code = 0;
        EXPECT_TRUE(runPass(code));
        return game.lastStepTick != before;
    }

    VirtualClock clock;
    FakeWindow window{clock};
    FakeTicks ticks{clock};
};

TEST_F(MainLoopTest, StepsOnlyAfterMoreThan30Ms) {
    clock.now = 1000;
    game.lastStepTick = 1000;
    // The loop waits until the step is due: 31 ms.
    int code = 0;
    ASSERT_TRUE(runPass(code));
    EXPECT_EQ(window.waits.back(), 31);
    EXPECT_EQ(clock.now, 1031u);
    EXPECT_EQ(game.lastStepTick, 1031u);

    // An event at 30 ms wakes the loop, but no step happens then.
    window.push(1061, {EventType::KeyDown, 0x41, 0});
    EXPECT_FALSE(passSteps());
    EXPECT_EQ(clock.now, 1061u);
    EXPECT_EQ(game.lastStepTick, 1031u);
    EXPECT_EQ(window.waits.back(), 31);
    EXPECT_TRUE(passSteps());
    EXPECT_EQ(clock.now, 1062u);
    EXPECT_EQ(window.waits.back(), 1);
}

TEST_F(MainLoopTest, StepsAcrossTheTickCounterWrap) {
    clock.now = 0xFFFFFFF0u;
    game.lastStepTick = 0xFFFFFFF0u;
    int steps = 0;
    for (int i = 0; i < 10; ++i) steps += passSteps();
    EXPECT_EQ(steps, 10);
    EXPECT_EQ(game.lastStepTick, 0xFFFFFFF0u + 310u);
    EXPECT_EQ(game.nowTick, game.lastStepTick);
}

TEST_F(MainLoopTest, OneEventPerPass) {
    clock.now = 5000;
    game.lastStepTick = 4990;
    for (int i = 0; i < 3; ++i) window.pushNow({EventType::KeyDown, 0x41, 0});
    int code = 0;
    ASSERT_TRUE(runPass(code));
    EXPECT_EQ(window.queue.size(), 2u);
    ASSERT_TRUE(runPass(code));
    EXPECT_EQ(window.queue.size(), 1u);
}

TEST_F(MainLoopTest, NothingSteppedBeforeTheControllerChoice) {
    game.startupStage = 1;
    game.running = 0;
    clock.now = 100000;
    window.push(100000, {EventType::Paint, 0, 0});
    int code = 0;
    ASSERT_TRUE(runPass(code));
    EXPECT_EQ(window.waits.back(), -1);  // waits for an event without end
    EXPECT_EQ(game.lastStepTick, 0u);
    EXPECT_EQ(game.nowTick, 0u);
}

TEST_F(MainLoopTest, QuitEndsTheLoopWithItsCode) {
    window.postQuit(3);
    int code = -1;
    EXPECT_FALSE(runPass(code));
    EXPECT_EQ(code, 3);
}

TEST_F(MainLoopTest, RestartClockTakesTheTickOfTheNextPass) {
    clock.now = 777;
    game.lastStepTick = 777;
    game.restartClock = 1;
    window.pushNow({EventType::Paint, 0, 0});
    int code = 0;
    game.startupStage = 2;
    ASSERT_TRUE(runPass(code));
    EXPECT_EQ(game.gameStartTick, 777u);
    EXPECT_EQ(game.restartClock, 0);
}

}  // namespace
