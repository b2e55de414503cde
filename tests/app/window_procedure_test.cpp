// The key commands by phase, the controller choice, repaints, load and save through the dialogs,
// and close.
#include "app/window_procedure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "controls/flight_recorder.h"
#include "fakes/game_harness.h"
#include "game/game_state.h"
#include "game/shell_options.h"

namespace {

class WindowProcedureTest : public GameTest {
  protected:
    void key(int vk) { windowProcedure({EventType::KeyDown, vk, 0}); }
    std::string tempFile(const std::string& name) {
        auto p = std::filesystem::temp_directory_path() / ("dravik-wp-" + name);
        std::filesystem::remove(p);
        return p.string();
    }
};

TEST_F(WindowProcedureTest, FirstChoiceWins) {
    windowProcedure({EventType::LeftButtonDown, 0, 0});
    key(kVkUp);
    EXPECT_EQ(game.mouseChosen, 1);
    EXPECT_EQ(game.keyboardChosen, 0);
}

TEST_F(WindowProcedureTest, FirstIntroIsHaltedSoReplayNewGameLoadAndSaveAct) {
    harness.startPlaying();
    ASSERT_EQ(game.introActive, 1);
    ASSERT_EQ(game.halted, 1);
    key(kVkF1);  // ignored during the intro
    EXPECT_EQ(game.halted, 1);
    key(kVkF2);
    EXPECT_EQ(game.replaying, 1);
    EXPECT_EQ(game.halted, 0);
    // The intro of a game started by F2 has halted clear: nothing acts now.
    key(kVkF3);
    EXPECT_EQ(game.replaying, 1);
    harness.window.dialogAnswers.push_back(std::nullopt);
    key(kVkF5);
    EXPECT_TRUE(harness.window.dialogs.empty());
}

TEST_F(WindowProcedureTest, F6DuringTheFirstIntroSavesAnEmptyRecording) {
    harness.startPlaying();
    std::string path = tempFile("empty.dvk");
    harness.window.dialogAnswers.push_back(path);
    key(kVkF6);
    ASSERT_EQ(harness.window.dialogs.size(), 1u);
    EXPECT_EQ(harness.window.dialogs[0].title, "Save Dravik File");
    EXPECT_EQ(harness.window.dialogs[0].filterName, ".dvk (.dvk)");
    EXPECT_EQ(harness.window.dialogs[0].filterPattern, "*.dvk");
    EXPECT_EQ(harness.window.dialogs[0].defaultExtension, "dvk");
    EXPECT_TRUE(harness.window.dialogs[0].confirmOverwrite);
    EXPECT_EQ(std::filesystem::file_size(path), 120004u);
    std::filesystem::remove(path);
    EXPECT_TRUE(harness.window.messages.empty());
}

TEST_F(WindowProcedureTest, PauseAndResumeCountPausedTime) {
    harness.startPlaying();
    harness.finishIntro();
    harness.clock.now = 50000;
    key(kVkF1);
    EXPECT_EQ(game.halted, 1);
    EXPECT_EQ(game.pauseStartTick, 50000u);
    // A repaint during the pause counts the time without the current pause.
    harness.clock.now = 53000;
    game.nowTick = 53000;
    harness.device().reset();
    windowProcedure({EventType::Paint, 0, 0});
    EXPECT_EQ(harness.device().count("Present"), 1u);
    EXPECT_EQ(harness.device().count("Clear"), 0u);
    EXPECT_EQ(game.elapsedTenths, (53000u - game.gameStartTick) / 100);
    // Ctrl acts while paused.
    key(kVkControl);
    EXPECT_EQ(game.cockpitView, 1);
    key(kVkF1);
    EXPECT_EQ(game.halted, 0);
    EXPECT_EQ(game.pausedMs, 3000u);
}

// The window losing focus in live flight pauses it as F1 does; nothing else does.
class FocusPauseTest : public WindowProcedureTest {
  protected:
    void SetUp() override {
        WindowProcedureTest::SetUp();
        saved = shellOptions;
        shellOptions = ShellOptions{};
    }
    void TearDown() override {
        shellOptions = saved;
        WindowProcedureTest::TearDown();
    }
    void focus(bool gained) {
        windowProcedure({gained ? EventType::FocusGained : EventType::FocusLost, 0, 0});
    }
    ShellOptions saved;
};

TEST_F(FocusPauseTest, LiveFlightPausesStaysPausedWhenFocusReturnsAndRecordsNothing) {
    harness.startPlaying();
    harness.finishIntro();
    for (int i = 0; i < 10; ++i) harness.step();
    uint32_t recorded = game.flightRecorder->recordedLength;
    ASSERT_GT(recorded, 0u);
    harness.clock.now = 60000;
    focus(false);
    EXPECT_EQ(game.halted, 1);
    EXPECT_EQ(game.pauseStartTick, 60000u);
    focus(true);
    focus(false);  // a second loss while paused does not resume
    EXPECT_EQ(game.halted, 1);
    for (int i = 0; i < 20; ++i) harness.step();
    EXPECT_EQ(game.flightRecorder->recordedLength, recorded) << "a paused game records nothing";
    // F2, F3, F5 and F6 act as in any pause; F1 resumes with the pause counted.
    harness.clock.now = 62000;
    key(kVkF1);
    EXPECT_EQ(game.halted, 0);
    EXPECT_EQ(game.pausedMs, 2000u);
    harness.step();
    EXPECT_EQ(game.flightRecorder->recordedLength, recorded + 1);
}

TEST_F(FocusPauseTest, TheIntroAReplayTheFinishAndTheSettingOffPlayOn) {
    harness.startPlaying();
    focus(false);  // the first intro runs halted anyway, and F1 is ignored in it
    EXPECT_EQ(game.halted, 1);
    EXPECT_EQ(game.introActive, 1);
    harness.finishIntro();
    EXPECT_EQ(game.introActive, 0) << "the intro ran on";

    key(kVkF1);
    key(kVkF2);  // a replay
    ASSERT_EQ(game.replaying, 1);
    focus(false);
    EXPECT_EQ(game.halted, 0) << "the intro of a replay";
    harness.finishIntro();
    focus(false);
    EXPECT_EQ(game.halted, 0) << "a replay";
    EXPECT_EQ(game.replaying, 1);

    key(kVkF1);
    key(kVkF3);  // live again
    harness.finishIntro();
    ASSERT_EQ(game.replaying, 0);
    game.allTargetsPassed = 1;
    focus(false);
    EXPECT_EQ(game.halted, 0) << "the finish, where F1 does nothing either";
    game.allTargetsPassed = 0;

    shellOptions.pauseOnFocusLoss = false;
    focus(false);
    EXPECT_EQ(game.halted, 0) << "the setting off flies on, as the original did";
    shellOptions.pauseOnFocusLoss = true;
    focus(false);
    EXPECT_EQ(game.halted, 1);
}

TEST_F(WindowProcedureTest, F1IgnoredDuringFinishAndGameOver) {
    harness.startPlaying();
    harness.finishIntro();
    game.allTargetsPassed = 1;
    key(kVkF1);
    EXPECT_EQ(game.halted, 0);
    game.allTargetsPassed = 0;
    game.gameOver = 1;
    key(kVkF1);
    EXPECT_EQ(game.halted, 0);
}

TEST_F(WindowProcedureTest, ResultScreenWithSteeringLeftSet) {
    harness.startPlaying();
    harness.finishIntro();
    game.gameOver = 1;
    game.halted = 1;
    game.steering = 1;
    key(kVkF2);
    EXPECT_EQ(game.replaying, 0);
    EXPECT_EQ(game.gameOver, 1);
    key(kVkControl);
    EXPECT_EQ(game.cockpitView, 1);
    key(kVkF3);
    EXPECT_EQ(game.gameOver, 0);
    EXPECT_EQ(game.halted, 0);
    EXPECT_EQ(game.cockpitView, 1);  // a new game keeps the view
}

TEST_F(WindowProcedureTest, MusicTwiceRestoresTheCurrentLevel) {
    harness.startPlaying();
    game.musicVolume = -1499;
    key(kVkM);
    EXPECT_EQ(harness.music.volume, -10000);
    EXPECT_EQ(game.musicOn, 0);
    key(kVkM);
    EXPECT_EQ(harness.music.volume, -1499);
    EXPECT_EQ(game.musicOn, 1);
    // A new game leaves a muted volume in effect.
    key(kVkM);
    key(kVkF3);
    EXPECT_EQ(harness.music.volume, -10000);
    EXPECT_EQ(game.musicVolume, 1);
}

TEST_F(WindowProcedureTest, LoadReplaysAndAFailedLoadStillReplaysWithAMessage) {
    harness.startPlaying();
    std::string path = tempFile("flight.dvk");
    // Record three frames of left turns, save them.
    game.flightRecorder->startRecording();
    for (int i = 0; i < 3; ++i) game.flightRecorder->record(-8, kNoInput, kNoInput);
    ASSERT_TRUE(game.flightRecorder->saveToFile(path));
    game.flightRecorder->startRecording();

    harness.window.dialogAnswers.push_back(path);
    key(kVkF5);
    EXPECT_EQ(harness.window.dialogs.back().title, "Load Dravik File");
    EXPECT_TRUE(harness.window.dialogs.back().mustExist);
    EXPECT_EQ(game.flightRecorder->recordedLength, 3u);
    EXPECT_EQ(game.replaying, 1);
    EXPECT_EQ(harness.window.invalidateCount, 1);
    EXPECT_TRUE(harness.window.messages.empty());

    // A broken file: the message, and the replay of what the recorder still holds.
    std::string broken = tempFile("broken.dvk");
    std::ofstream(broken) << "short";
    game.halted = 1;
    game.replaying = 0;
    harness.window.dialogAnswers.push_back(broken);
    key(kVkF5);
    ASSERT_EQ(harness.window.messages.size(), 1u);
    // The message as it stands, then what failed, the file and why.
    EXPECT_EQ(harness.window.messages[0], "記録ファイルの読み込みに失敗しました\ncannot read " +
                                              broken +
                                              ": too short for a recording (5 bytes of 120004)");
    EXPECT_EQ(harness.window.captions[0], "Dravik");
    EXPECT_EQ(game.flightRecorder->recordedLength, 3u);
    EXPECT_EQ(game.replaying, 1);
    EXPECT_EQ(harness.window.invalidateCount, 1);
    std::filesystem::remove(path);
    std::filesystem::remove(broken);
}

TEST_F(WindowProcedureTest, FailedSaveSaysSoAndCancelDoesNothing) {
    harness.startPlaying();
    harness.window.dialogAnswers.push_back(std::nullopt);
    key(kVkF6);
    EXPECT_TRUE(harness.window.messages.empty());
    harness.window.dialogAnswers.push_back(std::string("/nonexistent-folder/x.dvk"));
    key(kVkF6);
    ASSERT_EQ(harness.window.messages.size(), 1u);
    EXPECT_EQ(harness.window.messages[0],
              "記録ファイルの保存に失敗しました\ncannot write /nonexistent-folder/x.dvk: No such "
              "file or directory");
}

TEST_F(WindowProcedureTest, BothDialogsOpenInTheRecordingsFolderAndSaveProposesATimedName) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string before = saved ? saved : "";
    setenv("XDG_DATA_HOME", "/tmp/dravik-wp-data", 1);
    harness.startPlaying();
    harness.window.dialogAnswers.push_back(std::nullopt);
    key(kVkF6);
    harness.window.dialogAnswers.push_back(std::nullopt);
    key(kVkF5);
    if (saved)
        setenv("XDG_DATA_HOME", before.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(harness.window.dialogs.size(), 2u);
    EXPECT_EQ(harness.window.dialogs[0].folder, "/tmp/dravik-wp-data/dravik/recordings");
    EXPECT_EQ(harness.window.dialogs[1].folder, "/tmp/dravik-wp-data/dravik/recordings");
    // flight-YYYY-MM-DD-HHMM.dvk; the load dialog proposes no name.
    const std::string name = harness.window.dialogs[0].proposedName;
    ASSERT_EQ(name.size(), std::string("flight-2026-12-08-1432.dvk").size()) << name;
    EXPECT_EQ(name.substr(0, 7), "flight-");
    EXPECT_EQ(name.substr(name.size() - 4), ".dvk");
    EXPECT_TRUE(harness.window.dialogs[1].proposedName.empty());
    // Only a real dialog makes the folder; choosing a path in the game makes nothing.
    EXPECT_FALSE(std::filesystem::exists("/tmp/dravik-wp-data"));
}

TEST_F(WindowProcedureTest, EscapeQuitsWithoutTheShutDown) {
    harness.startPlaying();
    key(kVkEscape);
    ASSERT_FALSE(harness.window.queue.empty());
    EXPECT_EQ(harness.window.queue.back().event.type, EventType::Quit);
    EXPECT_NE(game.device, nullptr);
}

TEST_F(WindowProcedureTest, CloseRunsTheShutDownInOrder) {
    harness.startPlaying();
    harness.music.clearLog();
    windowProcedure({EventType::Close, 0, 0});
    EXPECT_EQ(harness.window.destroyCount, 1);
    EXPECT_EQ(game.device, nullptr);
    EXPECT_EQ(game.flightRecorder, nullptr);
    EXPECT_EQ(game.soundSystem, nullptr);
    EXPECT_EQ(harness.input.deviceMade, false);
    ASSERT_FALSE(harness.window.queue.empty());
    EXPECT_EQ(harness.window.queue.back().event.type, EventType::Quit);
    EXPECT_EQ(harness.window.queue.back().event.quitCode, 0);
    // The sound system closed down after stopping.
    auto calls = harness.music.calls();
    auto stop = std::find(calls.begin(), calls.end(), "stop");
    auto close = std::find(calls.begin(), calls.end(), "closeDown");
    EXPECT_TRUE(stop < close && close != calls.end());
    // Events that still arrive do nothing harmful.
    windowProcedure({EventType::Paint, 0, 0});
    key(kVkF5);
    key(kVkM);
    key(kVkControl);
}

}  // namespace
