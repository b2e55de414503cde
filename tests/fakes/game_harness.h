// The whole game on fakes: a virtual-clock window, a recording device, a logging music service and
// scripted input, started the way the program starts, for tests of whole sequences of steps.
#pragma once

#include <gtest/gtest.h>

#include "fakes/fake_input.h"
#include "fakes/fake_music_service.h"
#include "fakes/fake_platform.h"
#include "fakes/recording_device.h"

class GameHarness {
  public:
    GameHarness();
    ~GameHarness();

    // The six objects and the platform pointers, as before the main loop starts.
    void install();
    // Runs the start-up (it needs the generated media under the current folder: the tests run in
    // the build folder).
    bool start();
    // start(), then the keyboard (or the mouse) chosen and the input device made.
    void startPlaying(bool mouse = false);
    // The same with any of the three controllers.
    void startPlayingWith(InputKind kind);
    // Calls the frame step once, with the clock 31 ms on.
    int step();
    // Runs frame steps until the intro has ended.
    void finishIntro();
    void shutDownIfRunning();

    RecordingDevice& device() { return *graphics.lastDevice; }

    VirtualClock clock;
    FakeWindow window{clock};
    FakeTicks ticks{clock};
    FakeGraphicsSystem graphics;
    FakeMusicService music;
    FakeInput input;
};

// A test fixture that owns a harness and resets the game around each test.
class GameTest : public ::testing::Test {
  protected:
    void SetUp() override { harness.install(); }
    void TearDown() override { harness.shutDownIfRunning(); }
    GameHarness harness;
};
