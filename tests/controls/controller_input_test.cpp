// The game controller: the stick curve and trigger steps, and what the live reader applies,
// sets and records for a controller frame, lost controllers included.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/controller_mapping.h"
#include "controls/flight_recorder.h"
#include "controls/input_reader.h"
#include "fakes/fake_input.h"
#include "game_fixture.h"

namespace {

TEST(StickTurnInput, TheDeadZoneGivesNoInputAndItsEdgeAZeroTurn) {
    for (int32_t x : {0, 1, -1, 7999, -7999, kStickDeadZone, -kStickDeadZone})
        EXPECT_EQ(stickTurnInput(x), kNoInput) << x;
    // Just outside, the stick steers with a zero turn: steering holds, the plane flies straight.
    EXPECT_EQ(stickTurnInput(kStickDeadZone + 1), 0);
    EXPECT_EQ(stickTurnInput(-kStickDeadZone - 1), 0);
}

TEST(StickTurnInput, HalfDeflectionIsAnArrowKeyAndFullIsFiveTimesIt) {
    EXPECT_EQ(stickTurnInput(16384), 8);
    EXPECT_EQ(stickTurnInput(-16384), -8);
    EXPECT_EQ(stickTurnInput(32767), 40);
    EXPECT_EQ(stickTurnInput(-32767), -40);
    // The one value without a positive twin is as full as 32767; values past the axis, too.
    EXPECT_EQ(stickTurnInput(-32768), -40);
    EXPECT_EQ(stickTurnInput(100000), 40);
    EXPECT_EQ(stickTurnInput(INT32_MIN), -40);
}

TEST(StickTurnInput, TheCurveRisesStepByStepAndIsTheSameBothWays) {
    int16_t previous = 0;
    for (int32_t x = kStickDeadZone + 1; x <= kAxisFull; ++x) {
        const int16_t turn = stickTurnInput(x);
        ASSERT_GE(turn, previous) << x;
        ASSERT_LE(turn - previous, 1) << x;  // whole steps, no jump the player would feel
        ASSERT_EQ(stickTurnInput(-x), -turn) << x;
        previous = turn;
    }
    EXPECT_EQ(previous, kStickFullTurn);
    // Gentle near the centre: a quarter of the way out still turns less than an arrow key.
    EXPECT_LT(stickTurnInput(kStickDeadZone + (kAxisFull - kStickDeadZone) / 4), 8);
}

TEST(TriggerSpeedInput, EachTriggerStepsAsItsArrowAndTheRightWins) {
    EXPECT_EQ(triggerSpeedInput(0, 0), kNoInput);
    EXPECT_EQ(triggerSpeedInput(kTriggerThreshold, kTriggerThreshold), kNoInput);
    EXPECT_EQ(triggerSpeedInput(0, kTriggerThreshold + 1), 2);
    EXPECT_EQ(triggerSpeedInput(kTriggerThreshold + 1, 0), -2);
    EXPECT_EQ(triggerSpeedInput(32767, 32767), 2);
    EXPECT_EQ(triggerSpeedInput(32767, kTriggerThreshold), -2);
    // A driver that reports a released trigger below zero still reads as released.
    EXPECT_EQ(triggerSpeedInput(-32768, -1), kNoInput);
}

struct Entry {
    int16_t turn, vertical, speedInput;
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
    return out << "(" << e.turn << ", " << e.vertical << ", " << e.speedInput << ")";
}

const Entry kNothing{kNoInput, kNoInput, kNoInput};

class ControllerReader : public FreshGame {
  protected:
    void SetUp() override {
        FreshGame::SetUp();
        recorder = std::make_unique<FlightRecorder>(kRecorderCapacity);
        game.flightRecorder = recorder.get();
        game.inputPlatform = &input;
        game.controllerChosen = 1;
        ASSERT_TRUE(createInputDevice());
        input.calls.clear();
    }

    Entry read(const ControllerState& pad) {
        input.pushController(pad);
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

TEST_F(ControllerReader, TheChosenControllerIsTheDevicePolled) {
    EXPECT_EQ(input.kind, InputKind::Controller);
    read(FakeInput::pad(0));
    EXPECT_EQ(input.calls, (std::vector<std::string>{"pollController"}));
}

TEST_F(ControllerReader, ARestingStickAppliesNothingAndClearsSteering) {
    game.steering = 1;
    game.turnDelta = 0.5f;
    game.speed = 4;
    // The Y axis is not recorded: the vertical value stays that of the keyboard.
    EXPECT_EQ(read(FakeInput::pad(-kStickDeadZone, 0, 0, -32768)), kNothing);
    EXPECT_EQ(game.steering, 0);
    EXPECT_EQ(game.turnDelta, 0.5f);
    EXPECT_EQ(game.speed, 4.0f);
    EXPECT_EQ(game.tempoDirty, 0);
}

TEST_F(ControllerReader, SteeringIsSetExactlyOutsideTheDeadZone) {
    game.speed = 20;
    game.turnDelta = 0.5f;
    EXPECT_EQ(read(FakeInput::pad(kStickDeadZone + 1)), (Entry{0, kNoInput, kNoInput}));
    EXPECT_EQ(game.steering, 1);
    EXPECT_EQ(game.turnDelta, 0.0f);
    EXPECT_EQ(read(FakeInput::pad(kStickDeadZone)), kNothing);
    EXPECT_EQ(game.steering, 0);
}

TEST_F(ControllerReader, FullLeftStickTurnsAsAMouseMoving40CountsLeft) {
    game.speed = 10;
    EXPECT_EQ(read(FakeInput::pad(-32768, 0, 0, 20000)), (Entry{-40, kNoInput, kNoInput}));
    EXPECT_FLOAT_EQ(game.turnDelta, 0.5f * (-40.0f / 120.0f));
}

TEST_F(ControllerReader, TriggersChangeSpeedAsTheArrowsDoWithOrWithoutSteering) {
    game.speed = 4;
    EXPECT_EQ(read(FakeInput::pad(0, 0, 32767)), (Entry{kNoInput, kNoInput, 2}));
    EXPECT_EQ(game.speed, 10.0f);
    EXPECT_FLOAT_EQ(game.speedDelta, -2.0f / 30.0f);
    EXPECT_EQ(game.tempoDirty, 1);
    EXPECT_EQ(game.steering, 0);
    // Turn first, with the speed before this frame's input; both triggers: the right wins.
    game.speed = 30;
    game.speedDelta = 0;
    EXPECT_EQ(read(FakeInput::pad(16384, 32767, 32767)), (Entry{8, kNoInput, 2}));
    EXPECT_FLOAT_EQ(game.turnDelta, 1.0f * (8.0f / 120.0f));
    EXPECT_EQ(read(FakeInput::pad(-16384, 32767, 0)), (Entry{-8, kNoInput, -2}));
}

TEST_F(ControllerReader, APulledOutControllerIsAFrameWithoutInputUntilOneIsBack) {
    game.speed = 10;
    read(FakeInput::pad(32767));
    ASSERT_EQ(game.steering, 1);
    const float turnDelta = game.turnDelta;
    input.stuckLost = true;  // no controller to win back
    input.pushLost();
    EXPECT_TRUE(readInput());
    EXPECT_TRUE(readInput());
    EXPECT_EQ(lastRecorded(), kNothing);
    EXPECT_EQ(recorder->recordedLength, 3u);
    EXPECT_EQ(game.steering, 0);
    EXPECT_EQ(game.turnDelta, turnDelta);
    // Plugged in again: the next frame reads it.
    input.stuckLost = false;
    EXPECT_TRUE(readInput());
    EXPECT_EQ(read(FakeInput::pad(-32767, 32767, 0)), (Entry{-40, kNoInput, -2}));
}

// An input source that knows no game controllers (the headless runner's) fails the poll, so the
// frame step skips the frame rather than recording input that never was.
class MouseAndKeyboardOnly : public InputSource {
  public:
    bool createSystem() override { return true; }
    bool createDevice(InputKind) override { return true; }
    bool acquire() override { return true; }
    PollResult reacquire() override { return PollResult::Ok; }
    PollResult pollMouse(MouseState&) override { return PollResult::Ok; }
    PollResult pollKeyboard(KeyboardState&) override { return PollResult::Ok; }
    void releaseDevice() override {}
    void releaseSystem() override {}
};

TEST_F(ControllerReader, ASourceWithoutControllersSkipsTheFrame) {
    MouseAndKeyboardOnly source;
    releaseInputDevice();
    game.inputPlatform = &source;
    ASSERT_TRUE(createInputDevice());
    game.steering = 1;
    EXPECT_FALSE(readInput());
    EXPECT_EQ(recorder->position, 0u);
    EXPECT_EQ(game.steering, 1);
    releaseInputDevice();
}

}  // namespace
