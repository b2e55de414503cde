// The main loop's smooth pacing on a virtual clock: frames at the cap between the 31 ms steps,
// the steps where classic pacing puts them, and no frames while paused.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/main_loop.h"
#include "app/window_services.h"
#include "fakes/fake_text_renderer.h"
#include "fakes/game_harness.h"
#include "game/game_state.h"
#include "game/shell_options.h"
#include "hud/overlays.h"

namespace {

class SmoothPacingTest : public GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        harness.startPlaying();
        harness.finishIntro();
        game.lastStepTick = harness.clock.now;
        setFrameHook([this](uint32_t t) { frames.push_back(t); });
    }
    void TearDown() override {
        setFrameHook(nullptr);
        setFramePacing(FramePacing{});
        GameTest::TearDown();
    }
    // Runs passes for `ms` of virtual time; the ticks of the steps taken.
    std::vector<uint32_t> runFor(uint32_t ms) {
        std::vector<uint32_t> steps;
        uint32_t end = harness.clock.now + ms;
        int code = 0;
        while (static_cast<int32_t>(harness.clock.now - end) < 0) {
            bool stepped = false;
            EXPECT_TRUE(runPass(code, &stepped));
            if (stepped)
                steps.push_back(game.lastStepTick);
        }
        return steps;
    }
    std::vector<uint32_t> frames;
};

TEST_F(SmoothPacingTest, SixtyFramesASecondBetweenStepsStill31MsApart) {
    setFramePacing(FramePacing{true, 60});
    runFor(100);  // settle
    frames.clear();
    std::vector<uint32_t> steps = runFor(1000);
    EXPECT_GE(frames.size(), 59u);
    EXPECT_LE(frames.size(), 61u);
    ASSERT_GE(steps.size(), 32u);
    for (size_t i = 1; i < steps.size(); ++i) EXPECT_EQ(steps[i] - steps[i - 1], 31u) << i;
    for (size_t i = 1; i < frames.size(); ++i) {
        EXPECT_GE(frames[i] - frames[i - 1], 16u) << i;
        EXPECT_LE(frames[i] - frames[i - 1], 17u) << i;
    }
}

TEST_F(SmoothPacingTest, ClassicPacingShowsOneFrameAStep) {
    setFramePacing(FramePacing{false, 60});
    std::vector<uint32_t> steps = runFor(1000);
    EXPECT_EQ(frames, steps);
}

TEST_F(SmoothPacingTest, PausedTheLoopDrawsOneLastFrameAndThenNone) {
    setFramePacing(FramePacing{true, 144});
    runFor(200);
    harness.window.pushNow({EventType::KeyDown, kVkF1, 0});
    runFor(100);
    frames.clear();
    std::vector<uint32_t> steps = runFor(1000);
    EXPECT_TRUE(frames.empty()) << frames.size() << " frames while paused";
    EXPECT_GE(steps.size(), 32u) << "paused steps still come, and do nothing";
    // Resumed, the frames come back.
    harness.window.pushNow({EventType::KeyDown, kVkF1, 0});
    runFor(500);
    EXPECT_GT(frames.size(), 60u);
}

}  // namespace

namespace {

TEST_F(SmoothPacingTest, IdleWhilePausedTheLoopWaitsForAnEventInsteadOfEachStep) {
    for (bool smooth : {false, true}) {
        SCOPED_TRACE(smooth ? "smooth" : "classic");
        setFramePacing(FramePacing{smooth, 60, true});
        runFor(200);
        EXPECT_GE(eventWaitMs(), 0);
        harness.window.pushNow({EventType::KeyDown, kVkF1, 0});
        // Smooth: the step that finds the pause still draws its last frame first. (A pass that
        // waits without end on this fake window would wait for ever: stop before it.)
        int code = 0;
        for (int pass = 0; pass < 20 && eventWaitMs() >= 0; ++pass) ASSERT_TRUE(runPass(code));
        EXPECT_EQ(eventWaitMs(), -1);
        EXPECT_EQ(game.halted, 1);
        // F1 again a second later: the pass that takes it steps at once.
        harness.clock.now += 1000;
        harness.window.pushNow({EventType::KeyDown, kVkF1, 0});
        bool stepped = false;
        ASSERT_TRUE(runPass(code, &stepped));
        EXPECT_TRUE(stepped);
        EXPECT_GE(eventWaitMs(), 0);
    }
}

}  // namespace

namespace {

// Idle while paused, the pause's panel is still drawn and shown before the loop waits: the step
// that finds the pause draws it, in either pacing.
TEST_F(SmoothPacingTest, IdleWhilePausedThePanelIsShownBeforeTheLoopWaits) {
    ShellOptions saved = shellOptions;
    shellOptions.classic = false;
    shellOptions.overlays = true;
    FakeTextRenderer text;
    game.textPlatform = &text;
    for (bool smooth : {false, true}) {
        SCOPED_TRACE(smooth ? "smooth" : "classic");
        releaseOverlays();
        createOverlays();
        text.asked.clear();
        setFramePacing(FramePacing{smooth, 60, true});
        runFor(200);
        harness.window.pushNow({EventType::KeyDown, kVkF1, 0});
        harness.device().reset();
        int code = 0;
        for (int pass = 0; pass < 20 && eventWaitMs() >= 0; ++pass) ASSERT_TRUE(runPass(code));
        ASSERT_EQ(eventWaitMs(), -1);
        EXPECT_GE(harness.device().count("Present"), 1u);
        EXPECT_NE(std::find(text.asked.begin(), text.asked.end(), "PAUSED"), text.asked.end());
        harness.window.pushNow({EventType::KeyDown, kVkF1, 0});
        runFor(100);
    }
    releaseOverlays();
    game.textPlatform = nullptr;
    shellOptions = saved;
}

}  // namespace
