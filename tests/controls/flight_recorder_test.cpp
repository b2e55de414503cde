// The flight recorder's length arithmetic, its modes, and replay through the control mapping,
// including a live flight replayed frame by frame.
#include "controls/flight_recorder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "controls/input_reader.h"
#include "fakes/fake_input.h"
#include "game_fixture.h"

namespace {

class Recorder : public FreshGame {
  protected:
    void SetUp() override {
        FreshGame::SetUp();
        game.flightRecorder = &recorder;
        game.speed = 20;
    }

    // Replays frames until replayInput reports the end; returns the turn inputs applied, as
    // turnDelta after each frame.
    int replayAll(std::vector<float>* turnDeltas = nullptr) {
        game.replaying = 1;
        int frames = 0;
        while (replayInput()) {
            ++frames;
            if (turnDeltas != nullptr) {
                turnDeltas->push_back(game.turnDelta);
            }
            if (frames > 30000) {
                ADD_FAILURE() << "replay does not end";
                break;
            }
        }
        EXPECT_EQ(game.replaying, 0);
        return frames;
    }

    FlightRecorder recorder{kRecorderCapacity};
};

TEST_F(Recorder, FiveFramesReplayFourEntries) {
    for (int16_t i = 1; i <= 5; ++i) {
        EXPECT_EQ(recorder.record(static_cast<int16_t>(i * 12), 0, kNoInput), i);
    }
    EXPECT_EQ(recorder.recordedLength, 5u);
    recorder.startPlayback();
    std::vector<float> turnDeltas;
    EXPECT_EQ(replayAll(&turnDeltas), 4);
    ASSERT_EQ(turnDeltas.size(), 4u);
    // Entries 0..3 in order; the fifth was read and discarded.
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(turnDeltas[i], 30.0f / 40.0f * ((i + 1) * 12 / 120.0f)) << i;
    }
    EXPECT_EQ(recorder.position, 5u);
}

TEST_F(Recorder, FullBufferNeverCountsItsLastEntry) {
    for (uint32_t i = 1; i < kRecorderCapacity; ++i) {
        ASSERT_EQ(recorder.record(1, 2, 3), static_cast<int>(i));
    }
    EXPECT_EQ(recorder.record(1, 2, 3), -1);
    EXPECT_EQ(recorder.recordedLength, kRecorderCapacity - 1);
    EXPECT_EQ(recorder.position, kRecorderCapacity);
    // Recording on regardless writes nothing past the buffer and keeps saying full.
    EXPECT_EQ(recorder.record(1, 2, 3), -1);
    EXPECT_EQ(recorder.position, kRecorderCapacity);
    EXPECT_EQ(recorder.recordedLength, kRecorderCapacity - 1);

    recorder.startPlayback();
    EXPECT_EQ(replayAll(), static_cast<int>(kRecorderCapacity) - 2);
}

TEST_F(Recorder, ValuesFromTenThousandUpAreNoInput) {
    recorder.record(-150, 5, -7);
    recorder.record(kNoInput, kNoInput, kNoInput);
    recorder.record(12000, 0, 12000);
    recorder.record(32767, 0, 32767);
    recorder.record(9999, 0, 9999);
    recorder.record(0, 0, 0);
    recorder.startPlayback();
    game.speed = 10;

    ASSERT_TRUE(replayInput());
    EXPECT_EQ(game.steering, 1);
    EXPECT_FLOAT_EQ(game.turnDelta, 0.5f * (-150.0f / 120.0f));
    EXPECT_FLOAT_EQ(game.speedDelta, 7.0f / 30.0f);

    for (int frame = 0; frame < 3; ++frame) {
        game.turnDelta = 1;
        game.speedDelta = 1;
        game.tempoDirty = 0;
        ASSERT_TRUE(replayInput());
        EXPECT_EQ(game.steering, 0) << frame;
        EXPECT_EQ(game.turnDelta, 1.0f) << frame;
        EXPECT_EQ(game.speedDelta, 1.0f) << frame;
        EXPECT_EQ(game.tempoDirty, 0) << frame;
    }

    game.speedDelta = 0;
    ASSERT_TRUE(replayInput());
    EXPECT_EQ(game.steering, 1);
    EXPECT_FLOAT_EQ(game.speedDelta, -9999.0f / 30.0f);
    // The last entry is read and discarded.
    EXPECT_FALSE(replayInput());
}

TEST_F(Recorder, EndOfReplayKeepsSteeringAndAppliesNothing) {
    recorder.record(60, 0, kNoInput);
    recorder.record(-60, 0, 100);
    recorder.startPlayback();
    game.replaying = 1;
    ASSERT_TRUE(replayInput());
    float turnDelta = game.turnDelta;
    EXPECT_FALSE(replayInput());
    EXPECT_EQ(game.replaying, 0);
    EXPECT_EQ(game.steering, 1);
    EXPECT_EQ(game.turnDelta, turnDelta);
    EXPECT_EQ(game.speedDelta, 0.0f);
}

TEST_F(Recorder, EmptyRecordingEndsOnTheFirstFrame) {
    recorder.record(8, 0, 2);
    recorder.startRecording();
    EXPECT_EQ(recorder.recordedLength, 0u);
    recorder.startPlayback();
    EXPECT_EQ(replayAll(), 0);
    EXPECT_EQ(game.turnDelta, 0.0f);
}

TEST_F(Recorder, PlaybackAgainAfterTheEndReplaysTheSame) {
    for (int16_t v : {10, -20, 30, -40, 50, 60}) {
        recorder.record(v, 0, v);
    }
    recorder.startPlayback();
    std::vector<float> first, second;
    EXPECT_EQ(replayAll(&first), 5);
    recorder.startPlayback();
    EXPECT_EQ(replayAll(&second), 5);
    EXPECT_EQ(first, second);
    EXPECT_EQ(recorder.recordedLength, 6u);
}

TEST_F(Recorder, EachModeRefusesTheOtherOperation) {
    EXPECT_EQ(recorder.record(1, 2, 3), 1);
    int16_t turn = 7, vertical = 8, speedInput = 9;
    EXPECT_EQ(recorder.play(turn, vertical, speedInput), 0);
    EXPECT_EQ(turn, 7);
    EXPECT_EQ(vertical, 8);
    EXPECT_EQ(speedInput, 9);
    EXPECT_EQ(recorder.position, 1u);

    recorder.startPlayback();
    EXPECT_EQ(recorder.record(4, 5, 6), 0);
    EXPECT_EQ(recorder.position, 0u);
    EXPECT_EQ(recorder.entries[0].turn, 1);
    EXPECT_EQ(recorder.play(turn, vertical, speedInput), -1);
    EXPECT_EQ(turn, 1);
    EXPECT_EQ(vertical, 2);
    EXPECT_EQ(speedInput, 3);
}

TEST_F(Recorder, PlayingOnPastTheEndStaysInsideTheBuffer) {
    FlightRecorder small(4);
    small.record(1, 1, 1);
    small.record(2, 2, 2);
    small.startPlayback();
    int16_t turn, vertical, speedInput;
    EXPECT_EQ(small.play(turn, vertical, speedInput), 1);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(small.play(turn, vertical, speedInput), -1);
    }
    EXPECT_LE(small.position, small.capacity);
    EXPECT_EQ(small.cursor, small.entries + small.position);
}

TEST_F(Recorder, StartRecordingRewindsAndEmpties) {
    recorder.record(1, 1, 1);
    recorder.record(2, 2, 2);
    recorder.startPlayback();
    int16_t t, v, s;
    recorder.play(t, v, s);
    recorder.startRecording();
    EXPECT_EQ(recorder.isRecording, 1);
    EXPECT_EQ(recorder.position, 0u);
    EXPECT_EQ(recorder.cursor, recorder.entries);
    EXPECT_EQ(recorder.record(9, 9, 9), 1);
    EXPECT_EQ(recorder.entries[0].turn, 9);
    // The old second entry is left in the buffer, not counted.
    EXPECT_EQ(recorder.entries[1].turn, 2);
    EXPECT_EQ(recorder.recordedLength, 1u);
}

// The flight values that the controls reach, after a stand-in for the frame step's use of them.
struct FlightSample {
    float heading, turnRate, turnDelta, speed, speedDelta;
    int32_t steering, tempoDirty;
    bool operator==(const FlightSample&) const = default;
};

FlightSample stepAndSample() {
    game.heading -= game.turnRate;
    game.turnRate -= game.turnDelta;
    game.speed -= game.speedDelta;
    FlightSample sample{game.heading,    game.turnRate, game.turnDelta, game.speed,
                        game.speedDelta, game.steering, game.tempoDirty};
    if (!game.steering) {
        game.speedDelta = 0;
        game.turnDelta = 0;
        if (game.turnRate != 0) {
            game.turnRate /= 1.05f;
        }
    }
    game.tempoDirty = 0;
    return sample;
}

void startFlight() {
    game.speed = 9.8f;
    game.speedDelta = game.turnDelta = game.turnRate = game.heading = 0;
    game.steering = 0;
    game.bumping = 0;
}

TEST_F(Recorder, LiveMouseFlightReplaysBitForBit) {
    FakeInput input;
    game.inputPlatform = &input;
    game.mouseChosen = 1;
    ASSERT_TRUE(createInputDevice());

    // A varied flight: steering spells, speed from both buttons, a bump, and idle frames.
    const int frames = 3000;
    uint32_t seed = 12345;
    auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int32_t>((seed >> 16) % static_cast<uint32_t>(range)) - range / 2;
    };
    for (int i = 0; i < frames; ++i) {
        bool left = (i / 97) % 3 != 0;
        bool right = (i / 41) % 4 == 1;
        bool middle = (i / 53) % 5 == 2;
        input.pushMouse(FakeInput::mouse(next(300), next(400), next(960), left, right, middle));
    }

    startFlight();
    std::vector<FlightSample> live;
    for (int i = 0; i < frames; ++i) {
        game.bumping = (i >= 1500 && i < 1565) ? 1 : 0;
        ASSERT_TRUE(readInput());
        live.push_back(stepAndSample());
    }
    ASSERT_EQ(recorder.recordedLength, static_cast<uint32_t>(frames));

    // Through the file as well: what comes back must fly the same way.
    std::string path = ::testing::TempDir() + "dravik_roundtrip.dvk";
    ASSERT_TRUE(recorder.saveToFile(path));
    FlightRecorder loaded(kRecorderCapacity);
    ASSERT_TRUE(loaded.loadFromFile(path));
    std::remove(path.c_str());

    for (FlightRecorder* r : {&recorder, &loaded}) {
        game.flightRecorder = r;
        r->startPlayback();
        startFlight();
        game.replaying = 1;
        std::vector<FlightSample> replayed;
        for (int i = 0; i < frames; ++i) {
            game.bumping = (i >= 1500 && i < 1565) ? 1 : 0;
            if (!replayInput()) {
                break;
            }
            replayed.push_back(stepAndSample());
        }
        ASSERT_EQ(replayed.size(), static_cast<size_t>(frames - 1));
        for (int i = 0; i < frames - 1; ++i) {
            ASSERT_EQ(replayed[i], live[i]) << "frame " << i;
        }
    }
    game.flightRecorder = &recorder;
    releaseInputDevice();
}

}  // namespace
