// The live input reader on a scripted device: what each mouse and keyboard state applies, sets
// and records, lost and failing devices, creation and release.
#include "controls/input_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "controls/flight_recorder.h"
#include "fakes/fake_input.h"
#include "game_fixture.h"

namespace {

struct Entry {
    int16_t turn, vertical, speedInput;
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
    return out << "(" << e.turn << ", " << e.vertical << ", " << e.speedInput << ")";
}

class InputReader : public FreshGame {
  protected:
    void SetUp() override {
        FreshGame::SetUp();
        recorder = std::make_unique<FlightRecorder>(kRecorderCapacity);
        game.flightRecorder = recorder.get();
        game.inputPlatform = &input;
    }

    void start(bool mouse) {
        game.mouseChosen = mouse ? 1 : 0;
        game.keyboardChosen = mouse ? 0 : 1;
        ASSERT_TRUE(createInputDevice());
        input.calls.clear();
    }

    // Reads one mouse frame and returns what it recorded.
    Entry readMouse(const MouseState& state) {
        input.pushMouse(state);
        EXPECT_TRUE(readInput());
        return lastRecorded();
    }

    Entry readKeys(std::initializer_list<int> keys) {
        input.pushKeyboard(FakeInput::keys(keys));
        EXPECT_TRUE(readInput());
        return lastRecorded();
    }

    Entry lastRecorded() const {
        if (recorder->position == 0) {
            ADD_FAILURE() << "nothing recorded";
            return {};
        }
        const RecordEntry& e = recorder->entries[recorder->position - 1];
        return {e.turn, e.vertical, e.speedInput};
    }

    FakeInput input;
    std::unique_ptr<FlightRecorder> recorder;
};

const Entry kNothing{kNoInput, kNoInput, kNoInput};

TEST_F(InputReader, MouseWithoutButtonsAppliesNothing) {
    start(true);
    game.steering = 1;
    game.speed = 4;
    game.turnDelta = 0.5f;
    EXPECT_EQ(readMouse(FakeInput::mouse(40, -30, 240, false, false, false)), kNothing);
    EXPECT_EQ(game.steering, 0);
    EXPECT_EQ(game.turnDelta, 0.5f);
    EXPECT_EQ(game.speed, 4.0f);
    EXPECT_EQ(game.tempoDirty, 0);
}

TEST_F(InputReader, LeftButtonHeldStillSteersWithZero) {
    start(true);
    game.speed = 20;
    game.turnDelta = 0.5f;
    EXPECT_EQ(readMouse(FakeInput::mouse(0, 0, 0, true, false, false)), (Entry{0, 0, kNoInput}));
    EXPECT_EQ(game.turnDelta, 0.0f);
    EXPECT_EQ(game.steering, 1);
}

TEST_F(InputReader, LeftButtonSteersWithXAndRecordsY) {
    start(true);
    game.speed = 10;
    EXPECT_EQ(readMouse(FakeInput::mouse(60, -7, 0, true, false, false)),
              (Entry{60, -7, kNoInput}));
    EXPECT_FLOAT_EQ(game.turnDelta, 0.5f * 0.5f);
    EXPECT_EQ(game.speedDelta, 0.0f);
}

TEST_F(InputReader, MovementIsCutToSixteenBitsBeforeUse) {
    start(true);
    game.speed = 10;
    EXPECT_EQ(readMouse(FakeInput::mouse(65536 + 5, 65536 * 3 - 1, 0, true, false, false)),
              (Entry{5, -1, kNoInput}));
    EXPECT_FLOAT_EQ(game.turnDelta, 0.5f * (5.0f / 120.0f));
    EXPECT_EQ(readMouse(FakeInput::mouse(40000, 0, 0, true, false, false)).turn, -25536);
}

TEST_F(InputReader, RightButtonTowardsThePlayerSlowsDownClamped) {
    start(true);
    game.speed = 30;
    EXPECT_EQ(readMouse(FakeInput::mouse(0, 300, 0, false, true, false)),
              (Entry{kNoInput, kNoInput, -200}));
    EXPECT_FLOAT_EQ(game.speedDelta, 200.0f / 30.0f);
    EXPECT_EQ(game.tempoDirty, 1);
    EXPECT_EQ(game.steering, 0);
    // Away from the player is faster.
    EXPECT_EQ(readMouse(FakeInput::mouse(0, -50, 0, false, true, false)).speedInput, 50);
    EXPECT_EQ(readMouse(FakeInput::mouse(0, -5000, 0, false, true, false)).speedInput, 200);
}

TEST_F(InputReader, RightButtonClampsAfterSixteenBitNegation) {
    start(true);
    // 65636 is 100 in 16 bits; 32768 is -32768, whose 16-bit negation is itself.
    EXPECT_EQ(readMouse(FakeInput::mouse(0, 65636, 0, false, true, false)).speedInput, -100);
    EXPECT_EQ(readMouse(FakeInput::mouse(0, 32768, 0, false, true, false)).speedInput, -200);
    EXPECT_EQ(readMouse(FakeInput::mouse(0, -32768, 0, false, true, false)).speedInput, -200);
}

TEST_F(InputReader, MiddleButtonUsesHalfTheWheel) {
    start(true);
    game.speed = 4;
    // -1 / 2 is 0 toward zero, which still lifts the speed to the floor.
    EXPECT_EQ(readMouse(FakeInput::mouse(0, 0, -1, false, false, true)),
              (Entry{kNoInput, kNoInput, 0}));
    EXPECT_EQ(game.speed, 10.0f);
    EXPECT_EQ(game.tempoDirty, 1);
    EXPECT_EQ(game.speedDelta, 0.0f);

    EXPECT_EQ(readMouse(FakeInput::mouse(0, 0, 240, false, false, true)).speedInput, 120);
    EXPECT_EQ(readMouse(FakeInput::mouse(0, 0, -241, false, false, true)).speedInput, -120);
    EXPECT_EQ(readMouse(FakeInput::mouse(0, 0, 1000, false, false, true)).speedInput, 200);
    // Narrowed before clamping: 65436 is -100 in 16 bits.
    EXPECT_EQ(readMouse(FakeInput::mouse(0, 0, 2 * 65436, false, false, true)).speedInput, -100);
}

TEST_F(InputReader, RightButtonWinsOverMiddle) {
    start(true);
    EXPECT_EQ(readMouse(FakeInput::mouse(0, -30, 400, false, true, true)).speedInput, 30);
    EXPECT_EQ(readMouse(FakeInput::mouse(0, 0, 400, false, true, true)).speedInput, 0);
}

TEST_F(InputReader, SteeringAndSpeedTogetherApplyTurnFirst) {
    start(true);
    game.speed = 4;
    // The turn sees the speed before the floor lifts it: (4 + 10) / 40.
    EXPECT_EQ(readMouse(FakeInput::mouse(120, -60, 0, true, true, false)), (Entry{120, -60, 60}));
    EXPECT_FLOAT_EQ(game.turnDelta, 14.0f / 40.0f);
    EXPECT_EQ(game.speed, 10.0f);
    EXPECT_FLOAT_EQ(game.speedDelta, -2.0f);
}

TEST_F(InputReader, ArrowKeysWithTheirPriorities) {
    start(false);
    game.speed = 10;
    EXPECT_EQ(readKeys({kScanLeft, kScanRight}), (Entry{-8, kNoInput, kNoInput}));
    EXPECT_NEAR(game.turnDelta, -0.0333333f, 1e-7f);
    EXPECT_EQ(game.steering, 1);
    EXPECT_EQ(readKeys({kScanRight}), (Entry{8, kNoInput, kNoInput}));
    EXPECT_EQ(readKeys({kScanUp, kScanDown}), (Entry{kNoInput, kNoInput, 2}));
    EXPECT_EQ(game.steering, 0);
    EXPECT_EQ(readKeys({kScanDown, kScanLeft}), (Entry{-8, kNoInput, -2}));
    EXPECT_EQ(readKeys({}), kNothing);
    EXPECT_EQ(game.steering, 0);
}

// The frame is flown as its recorded entry will replay: without input and without steering.
TEST_F(InputReader, LostInputAfterSteeringFliesAndRecordsAFrameWithoutInput) {
    start(true);
    game.speed = 10;
    readMouse(FakeInput::mouse(60, 0, 0, true, false, false));
    float turnDelta = game.turnDelta;
    input.pushLost(2);
    EXPECT_TRUE(readInput());
    EXPECT_EQ(game.steering, 0);
    EXPECT_EQ(game.turnDelta, turnDelta);
    EXPECT_EQ(recorder->recordedLength, 2u);
    EXPECT_EQ(lastRecorded(), kNothing);
    // Reacquired until it no longer reports lost input.
    EXPECT_EQ(input.reacquireCount, 3);
    // And the device works again on the next frame.
    EXPECT_EQ(readMouse(FakeInput::mouse(0, 0, 0, false, false, false)), kNothing);
    EXPECT_EQ(game.steering, 0);
}

TEST_F(InputReader, DeviceThatStaysLostDoesNotHangTheGame) {
    start(false);
    input.stuckLost = true;
    input.pushLost();
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_TRUE(readInput());
    }
    EXPECT_EQ(recorder->recordedLength, 3u);
    EXPECT_EQ(lastRecorded(), kNothing);
    EXPECT_GT(input.reacquireCount, 3);
    EXPECT_LE(input.reacquireCount, 3 * 100);
    // Once it comes back, so does the input.
    input.stuckLost = false;
    EXPECT_TRUE(readInput());
    EXPECT_EQ(readKeys({kScanUp}).speedInput, 2);
}

TEST_F(InputReader, FailedReacquireStillCountsAsLostFrame) {
    start(true);
    input.reacquireFails = true;
    input.pushLost(5);
    EXPECT_TRUE(readInput());
    EXPECT_EQ(input.reacquireCount, 1);
    EXPECT_EQ(lastRecorded(), kNothing);
}

TEST_F(InputReader, OtherPollFailureSkipsTheFrame) {
    start(true);
    game.steering = 1;
    game.speed = 4;
    input.pushFailure();
    EXPECT_FALSE(readInput());
    EXPECT_EQ(recorder->position, 0u);
    EXPECT_EQ(recorder->recordedLength, 0u);
    EXPECT_EQ(game.steering, 1);
    EXPECT_EQ(game.speed, 4.0f);
    EXPECT_EQ(input.reacquireCount, 0);
}

TEST_F(InputReader, FullRecorderStopsRecordingForTheRestOfTheRun) {
    recorder = std::make_unique<FlightRecorder>(3);
    game.flightRecorder = recorder.get();
    start(false);
    readKeys({kScanLeft});
    readKeys({kScanLeft});
    EXPECT_EQ(game.recorderFull, 0);
    input.pushKeyboard(FakeInput::keys({kScanRight}));
    EXPECT_TRUE(readInput());
    EXPECT_EQ(game.recorderFull, 1);
    EXPECT_EQ(recorder->recordedLength, 2u);
    // No more record calls, so the position stays at the end; input still flies the plane.
    game.speed = 10;
    input.pushKeyboard(FakeInput::keys({kScanRight}));
    EXPECT_TRUE(readInput());
    EXPECT_EQ(recorder->position, 3u);
    EXPECT_NEAR(game.turnDelta, 0.0333333f, 1e-7f);
    // A new recording does not clear the flag.
    recorder->startRecording();
    input.pushKeyboard(FakeInput::keys({kScanRight}));
    EXPECT_TRUE(readInput());
    EXPECT_EQ(recorder->position, 0u);
}

TEST_F(InputReader, RecorderInPlayingModeIsNotFull) {
    start(false);
    recorder->startPlayback();
    input.pushKeyboard(FakeInput::keys({kScanUp}));
    EXPECT_TRUE(readInput());
    EXPECT_EQ(game.recorderFull, 0);
    EXPECT_EQ(recorder->recordedLength, 0u);
}

TEST_F(InputReader, BumpStillRecordsWhatWasHeld) {
    start(true);
    game.bumping = 1;
    game.turnDelta = 0.25f;
    EXPECT_EQ(readMouse(FakeInput::mouse(90, 4, 0, true, true, false)), (Entry{90, 4, -4}));
    EXPECT_EQ(game.turnDelta, 0.25f);
    EXPECT_EQ(game.speedDelta, 0.0f);
    EXPECT_EQ(game.steering, 1);
}

TEST_F(InputReader, CreatesTheChosenDeviceInOrder) {
    game.mouseChosen = 1;
    EXPECT_TRUE(createInputDevice());
    EXPECT_EQ(input.calls,
              (std::vector<std::string>{"createSystem", "createDevice:mouse", "acquire"}));
    EXPECT_EQ(game.inputSystem, &input);
    EXPECT_EQ(game.inputDevice, 1);
    EXPECT_TRUE(readInput());
    EXPECT_EQ(input.calls.back(), "pollMouse");
}

TEST_F(InputReader, KeyboardUnlessTheMouseWasChosen) {
    // Only the mouse choice decides.
    game.mouseChosen = 0;
    game.keyboardChosen = 0;
    EXPECT_TRUE(createInputDevice());
    EXPECT_EQ(input.kind, InputKind::Keyboard);
    EXPECT_TRUE(readInput());
    EXPECT_EQ(input.calls.back(), "pollKeyboard");
}

TEST_F(InputReader, CreationFailuresStopAtTheFailingStep) {
    input.failCreateSystem = true;
    EXPECT_FALSE(createInputDevice());
    EXPECT_EQ(game.inputSystem, nullptr);
    EXPECT_FALSE(readInput());

    input = FakeInput{};
    input.failCreateDevice = true;
    EXPECT_FALSE(createInputDevice());
    EXPECT_EQ(game.inputSystem, &input);
    EXPECT_EQ(game.inputDevice, 0);
    EXPECT_FALSE(readInput());
    EXPECT_EQ(input.pollCount, 0);

    input = FakeInput{};
    input.failAcquire = true;
    EXPECT_FALSE(createInputDevice());
    EXPECT_EQ(game.inputDevice, 1);
    // What was made is left for the release.
    input.calls.clear();
    releaseInputDevice();
    EXPECT_EQ(input.calls, (std::vector<std::string>{"releaseDevice", "releaseSystem"}));
}

TEST_F(InputReader, ReleaseTakesDeviceThenSystemAndOnlyOnce) {
    start(true);
    releaseInputDevice();
    EXPECT_EQ(input.calls, (std::vector<std::string>{"releaseDevice", "releaseSystem"}));
    EXPECT_EQ(game.inputDevice, 0);
    EXPECT_EQ(game.inputSystem, nullptr);
    EXPECT_FALSE(readInput());
    releaseInputDevice();
    EXPECT_EQ(input.calls.size(), 2u);
}

}  // namespace
