// The replay viewer: speed changes, single steps and seeks (back and forward, across a bump, into
// the result screen) take a replay through exactly the states a plain replay goes through, field
// by field, the clock included.
#include "app/replay_viewer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/window_procedure.h"
#include "app/window_services.h"
#include "controls/flight_recorder.h"
#include "fakes/game_harness.h"
#include "game/game_state.h"
#include "state_log.h"

namespace {

const std::string kFlight = std::string(DRAVIK_SOURCE_DIR) + "/tests/data/keyboard_flight.dvk";
// The keyboard flight: a bump starts at step 1099 and the result screen follows step 4778.
constexpr uint64_t kPlainSteps = 5000;

class ReplayViewerTest : public GameTest {
  protected:
    // The plain replay runs in a game of its own before any test's game exists.
    static void SetUpTestSuite() { plainReplay(); }
    void SetUp() override {
        GameTest::SetUp();
        harness.startPlaying();
        replayViewer = ReplayViewer{};
        ASSERT_TRUE(game.flightRecorder->loadFromFile(kFlight));
        startReplay();
    }
    void TearDown() override {
        replayViewer = ReplayViewer{};
        GameTest::TearDown();
    }
    // Main-loop passes until `steps` more frame steps have run; the state after each.
    void run(uint64_t steps) {
        int code = 0;
        for (uint64_t done = 0, passes = 0; done < steps && passes < 100 * steps; ++passes) {
            bool stepped = false;
            ASSERT_TRUE(runPass(code, &stepped));
            if (stepped) {
                ++done;
                record();
            }
            harness.device().reset();  // the device's log is not looked at here
        }
    }
    void record() { states.push_back(stateLogLine(replayViewer.position(), true)); }
    void key(int vk) {
        windowProcedure({EventType::KeyDown, vk, 0});
        harness.device().reset();
    }
    // The state now against the plain replay's after the same number of steps.
    static void expectPlainStateAt(const std::vector<std::string>& plain, uint64_t step) {
        ASSERT_GT(step, 0u);
        ASSERT_LE(step, plain.size());
        std::string now = stateLogLine(step, true);
        const std::string& want = plain[step - 1];
        if (now != want) {
            size_t at = 0;
            while (at < now.size() && at < want.size() && now[at] == want[at]) ++at;
            FAIL() << "step " << step << " differs at: " << now.substr(at > 60 ? at - 60 : 0, 120)
                   << "\nplain: " << want.substr(at > 60 ? at - 60 : 0, 120);
        }
    }
    static const std::vector<std::string>& plainReplay();

    std::vector<std::string> states;
};

// The plain replay's states, made once in a game of its own.
const std::vector<std::string>& ReplayViewerTest::plainReplay() {
    static std::vector<std::string> plain;
    if (plain.empty()) {
        GameHarness h;
        h.install();
        h.startPlaying();
        replayViewer = ReplayViewer{};
        EXPECT_TRUE(game.flightRecorder->loadFromFile(kFlight));
        startReplay();
        int code = 0;
        for (uint64_t passes = 0; plain.size() < kPlainSteps && passes < 100 * kPlainSteps;
             ++passes) {
            bool stepped = false;
            if (!runPass(code, &stepped))
                break;
            if (stepped)
                plain.push_back(stateLogLine(replayViewer.position(), true));
            h.device().reset();
        }
        h.shutDownIfRunning();
    }
    return plain;
}

TEST_F(ReplayViewerTest, SpeedChangesLeaveTheSequenceOfStatesUnchanged) {
    const std::vector<std::string> plain = plainReplay();
    ASSERT_EQ(plain.size(), kPlainSteps);
    run(200);
    key(kVkOemPlus);  // 2x
    key(kVkAdd);      // 4x
    key(kVkOemPlus);  // 8x
    key(kVkOemPlus);  // still 8x
    EXPECT_EQ(replayViewer.speedText(), "8x");
    run(1000);
    for (int i = 0; i < 6; ++i) key(kVkSubtract);  // down to 1/4x
    EXPECT_EQ(replayViewer.speedText(), "1/4x");
    run(300);
    key(kVkF1);  // a pause in between takes no replay time
    run(0);
    int code = 0;
    for (int i = 0; i < 50; ++i) runPass(code);
    key(kVkF1);
    key(kVkOemMinus);
    key(kVkOemPlus);
    key(kVkOemPlus);  // 1/2x -> 1x -> 2x
    run(kPlainSteps - 1500);
    ASSERT_EQ(states.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(states[i], plain[i]) << "step " << i + 1;
}

TEST_F(ReplayViewerTest, SeeksBackAndForwardReachThePlainReplaysStates) {
    const std::vector<std::string> plain = plainReplay();
    run(777);
    key(kVkRight);  // 10 s on: into the bump that began at step 1099
    ASSERT_EQ(replayViewer.position(), 777u + ReplayViewer::kSeekSteps);
    EXPECT_EQ(game.bumping, 1);
    expectPlainStateAt(plain, replayViewer.position());
    run(50);
    expectPlainStateAt(plain, replayViewer.position());

    key(kVkLeft);  // 10 s back, out of the bump again
    ASSERT_EQ(replayViewer.position(), 777u + 50);
    expectPlainStateAt(plain, replayViewer.position());
    key(kVkLeft);
    key(kVkLeft);
    key(kVkLeft);  // no further back than the start
    EXPECT_EQ(replayViewer.position(), 0u);
    run(1);
    expectPlainStateAt(plain, 1);

    // Forward past the end of the recording: the result screen, as a plain replay shows it.
    key(kVkHome);
    run(4600);
    key(kVkRight);
    ASSERT_EQ(replayViewer.position(), 4600u + ReplayViewer::kSeekSteps);
    EXPECT_EQ(game.gameOver, 1);
    EXPECT_EQ(game.halted, 1);
    expectPlainStateAt(plain, replayViewer.position());
    run(20);
    expectPlainStateAt(plain, replayViewer.position());
}

TEST_F(ReplayViewerTest, SingleStepsWhilePausedAndAPausedSeekStayPaused) {
    const std::vector<std::string> plain = plainReplay();
    run(300);
    key(kVkF1);
    ASSERT_EQ(game.halted, 1);
    for (int i = 0; i < 5; ++i) key(kVkOemPeriod);
    key(kVkDecimal);
    EXPECT_EQ(replayViewer.position(), 306u);
    EXPECT_EQ(game.halted, 1);
    EXPECT_EQ(game.pausedMs, 0u);
    game.halted = 0;  // the state of a running replay, to compare
    expectPlainStateAt(plain, 306);
    game.halted = 1;

    key(kVkRight);
    EXPECT_EQ(game.halted, 1) << "a seek while paused stays paused";
    EXPECT_EQ(replayViewer.position(), 306u + ReplayViewer::kSeekSteps);
    key(kVkF1);
    run(10);
    expectPlainStateAt(plain, replayViewer.position());
}

TEST_F(ReplayViewerTest, TheKeysDoNothingInLiveFlightAndSeeksPlayNoSounds) {
    run(1000);
    harness.music.clearLog();
    key(kVkRight);  // through the bumps and the first target's pass, all silent
    key(kVkLeft);
    EXPECT_TRUE(harness.music.callsStartingWith("playSecondary").empty());
    EXPECT_FALSE(harness.music.callsStartingWith("playPrimary").empty()) << "the tune restarts";

    // A live game: the arrows steer, the viewer stays out of it.
    key(kVkF1);
    key(kVkF3);
    ASSERT_EQ(game.replaying, 0);
    uint64_t position = replayViewer.position();
    key(kVkRight);
    key(kVkOemPlus);
    EXPECT_EQ(replayViewer.position(), position);
    EXPECT_EQ(replayViewer.speedText(), "1x");
}

}  // namespace
