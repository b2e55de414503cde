// The game controller in the application: its choice beside the mouse and the keyboard, the
// status line that offers it, and a controller flight that replays exactly from its saved file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/window_procedure.h"
#include "controls/controller_mapping.h"
#include "controls/flight_recorder.h"
#include "fakes/game_harness.h"
#include "game/game_state.h"

namespace {

class ControllerTest : public GameTest {
  protected:
    void controllerButton() { windowProcedure({EventType::ControllerButtonDown, 0, 0}); }
};

TEST_F(ControllerTest, TheFirstChoiceWinsAmongAllThree) {
    controllerButton();
    windowProcedure({EventType::LeftButtonDown, 0, 0});
    windowProcedure({EventType::KeyDown, kVkUp, 0});
    EXPECT_EQ(game.controllerChosen, 1);
    EXPECT_EQ(game.mouseChosen, 0);
    EXPECT_EQ(game.keyboardChosen, 0);

    harness.install();
    windowProcedure({EventType::KeyDown, kVkUp, 0});
    controllerButton();
    EXPECT_EQ(game.keyboardChosen, 1);
    EXPECT_EQ(game.controllerChosen, 0);

    harness.install();
    windowProcedure({EventType::LeftButtonDown, 0, 0});
    controllerButton();
    EXPECT_EQ(game.mouseChosen, 1);
    EXPECT_EQ(game.controllerChosen, 0);
}

TEST_F(ControllerTest, AButtonPressedDuringLoadingChoosesTheControllerAfterwards) {
    harness.window.pushNow({EventType::ControllerButtonDown, 0, 0});
    int code = 0;
    ASSERT_TRUE(runPass(code));  // takes the press, then runs the start-up
    EXPECT_EQ(game.controllerChosen, 1);
    EXPECT_EQ(game.startupStage, 1);
    // The choice is made: the loop does not sleep before making the device.
    EXPECT_EQ(eventWaitMs(), 0);
    ASSERT_TRUE(runPass(code));
    EXPECT_EQ(game.startupStage, 2);
    EXPECT_EQ(harness.input.kind, InputKind::Controller);
    EXPECT_EQ(harness.input.calls[1], "createDevice:controller");
}

TEST_F(ControllerTest, TheChoiceScreenOffersTheControllerOnALineBelow) {
    ASSERT_TRUE(harness.start());
    // Loading shows one line only.
    EXPECT_TRUE(harness.window.statusLines.empty());
    game.startupStage = 1;
    harness.window.pushNow({EventType::Paint, 0, 0});
    int code = 0;
    ASSERT_TRUE(runPass(code));
    ASSERT_EQ(harness.window.statusPaints.size(), 2u);
    EXPECT_EQ(harness.window.statusPaints.back().text,
              "Choice your controller: Hit LButton or UpArrowKey");
    ASSERT_EQ(harness.window.statusLines.size(), 1u);
    const FakeWindow::Status& line = harness.window.statusLines[0];
    EXPECT_EQ(line.text, "or press A on a game controller");
    EXPECT_EQ(line.count, 31);
    EXPECT_EQ(line.x, 240);
    EXPECT_GE(line.y, 380 + 14);  // below the 13-pixel choice line, not on it
    EXPECT_LE(line.y, 380 + 30);
}

// What a replay must reproduce of a frame: the flight values, the phase flags and every cone.
std::vector<float> snapshot() {
    std::vector<float> s = {game.heading,
                            game.speed,
                            game.speedDelta,
                            game.turnRate,
                            game.turnDelta,
                            game.bank,
                            game.groundLevel,
                            game.bumpTumble,
                            static_cast<float>(game.bumping),
                            static_cast<float>(game.bumpCountdown),
                            static_cast<float>(game.steering),
                            static_cast<float>(game.currentTarget)};
    for (const Vec3& p : game.obstaclePositions) s.insert(s.end(), {p.x, p.y, p.z});
    for (const Vec3& p : game.targetPositions) s.insert(s.end(), {p.x, p.y, p.z});
    return s;
}

// A flight that uses the whole stick range, both triggers, a bump if it comes, and a controller
// pulled out for a few frames; it ends with the stick at rest so that the replay keys act.
constexpr int kFlightFrames = 600;
constexpr int kUnpluggedFrom = 300, kUnpluggedFrames = 4;

ControllerState flightPad(int frame) {
    if (frame >= kFlightFrames - 5)
        return FakeInput::pad(3000);
    // A slow sweep from full left to full right and back, with rests inside the dead zone.
    const int phase = frame % 160;
    const int sweep = phase < 80 ? phase : 160 - phase;
    const auto stick = static_cast<int16_t>(-32768 + sweep * 65535 / 80);
    const int16_t right = (frame / 40) % 3 == 0 ? 32767 : 0;
    const int16_t left = (frame / 50) % 4 == 1 ? 20000 : 0;
    return FakeInput::pad(stick, left, right, static_cast<int16_t>(frame * 97));
}

// The index of the first value that differs, bit for bit; -1 when none does.
int firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size())
        return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0)
            return static_cast<int>(i);
    return -1;
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int16_t int16At(const std::string& bytes, size_t at) {
    return static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) |
                                (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

TEST_F(ControllerTest, AControllerFlightReplaysExactlyFromItsSavedFile) {
    harness.startPlayingWith(InputKind::Controller);
    harness.finishIntro();
    ASSERT_EQ(game.halted, 0);

    std::vector<std::vector<float>> live;
    int steeringFrames = 0;
    for (int frame = 0; frame < kFlightFrames; ++frame) {
        if (frame == kUnpluggedFrom) {
            harness.input.stuckLost = true;
            harness.input.pushLost();
        } else if (frame > kUnpluggedFrom && frame < kUnpluggedFrom + kUnpluggedFrames) {
            // Still lost; in the last of these frames it is plugged in and won back.
            harness.input.stuckLost = frame < kUnpluggedFrom + kUnpluggedFrames - 1;
        } else {
            harness.input.pushController(flightPad(frame));
        }
        ASSERT_EQ(harness.step(), 1) << frame;
        ASSERT_EQ(harness.input.pending(), 0u) << frame;
        steeringFrames += game.steering;
        live.push_back(snapshot());
    }
    ASSERT_EQ(game.flightRecorder->recordedLength, static_cast<uint32_t>(kFlightFrames));
    ASSERT_GT(steeringFrames, kFlightFrames / 2);  // the flight did steer
    ASSERT_NE(live[kFlightFrames - 1][0], 0.0f);

    // Pause, save, load and replay, as the player would.
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("dravik-controller-" + std::to_string(::getpid()) + ".dvk"))
                                 .string();
    windowProcedure({EventType::KeyDown, kVkF1, 0});
    ASSERT_EQ(game.halted, 1);
    harness.window.dialogAnswers.push_back(path);
    windowProcedure({EventType::KeyDown, kVkF6, 0});

    // The file is an ordinary recording: the count, then keyboard-like entries with no vertical
    // value, turns no larger than the stick's full 40 and the arrows' speed steps.
    const std::string file = bytesOf(path);
    ASSERT_EQ(file.size(), 4u + 6u * kRecorderCapacity);
    uint32_t count = 0;
    std::memcpy(&count, file.data(), 4);
    EXPECT_EQ(count, static_cast<uint32_t>(kFlightFrames));
    int fullTurns = 0, lostFrames = 0;
    for (int i = 0; i < kFlightFrames; ++i) {
        const size_t at = 4 + 6 * static_cast<size_t>(i);
        const int16_t turn = int16At(file, at), vertical = int16At(file, at + 2),
                      speed = int16At(file, at + 4);
        EXPECT_EQ(vertical, kNoInput) << i;
        EXPECT_TRUE(turn == kNoInput || (turn >= -40 && turn <= 40)) << i << ": " << turn;
        EXPECT_TRUE(speed == kNoInput || speed == 2 || speed == -2) << i << ": " << speed;
        fullTurns += turn == 40 || turn == -40;
        if (i >= kUnpluggedFrom && i < kUnpluggedFrom + kUnpluggedFrames)
            lostFrames += turn == kNoInput && speed == kNoInput;
    }
    EXPECT_GT(fullTurns, 0);
    EXPECT_EQ(lostFrames, kUnpluggedFrames);

    // Forget the flight in memory: the replay comes from the file alone.
    game.flightRecorder->startRecording();
    harness.window.dialogAnswers.push_back(path);
    windowProcedure({EventType::KeyDown, kVkF5, 0});
    ASSERT_EQ(game.replaying, 1);
    EXPECT_TRUE(harness.window.messages.empty());
    harness.finishIntro();
    // Frame n replays entry n-1; the last entry only ends the replay.
    for (int frame = 0; frame < kFlightFrames - 1; ++frame) {
        ASSERT_EQ(harness.step(), 1) << frame;
        ASSERT_EQ(firstDifference(snapshot(), live[frame]), -1)
            << "the replay parts from the flight at frame " << frame;
    }
    harness.step();
    EXPECT_EQ(game.replaying, 0);
    EXPECT_EQ(game.halted, 1);
    std::filesystem::remove(path);
}

}  // namespace
