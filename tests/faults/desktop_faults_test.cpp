// The real game at the edges of the desktop: no display at all, a FIFO where the window icon
// should be, and SIGTERM while it waits for the player.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "fault_harness.h"

namespace fs = std::filesystem;

namespace {

TEST(NoDisplay, TheGameSaysSoAndEndsWithAFailureAtOnce) {
    Scratch s("no-display");
    RunOptions options;
    // Nothing names a display and no video driver is asked for.
    options.env = {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=", "DRAVIK_NO_DIALOGS=1",
                   "SDL_AUDIODRIVER=dummy"};
    options.timeoutSeconds = 10;
    const auto started = std::chrono::steady_clock::now();
    const RunResult r = runProgram(gamePath(), {}, s.game(), options);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(r.exitCode, 1) << describe(r);
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_NE(r.err.find("Dravik: no display to show the game on"), std::string::npos) << r.err;

    // A video driver asked for by name is taken as asked (tests, the headless runner).
    options.env = {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=offscreen",
                   "DRAVIK_NO_DIALOGS=1", "SDL_AUDIODRIVER=dummy"};
    const pid_t pid = startProgram(gamePath(), {}, s.game(), s.root() + "/err", options);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ::kill(pid, SIGTERM);
    const RunResult asked = finishProgram(pid, s.root() + "/err", 10);
    EXPECT_EQ(asked.err.find("no display"), std::string::npos) << asked.err;

    // The headless runner asks for its offscreen driver itself: no display needed.
    options.env = {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=", "SDL_AUDIODRIVER=dummy"};
    const RunResult headless = s.runner({"--steps", "5"}, options);
    EXPECT_EQ(headless.exitCode, 0) << describe(headless);
    EXPECT_EQ(headless.err.find("no display"), std::string::npos) << headless.err;
}

TEST(WindowIcon, AFifoInsteadOfTheIconIsRefusedAndTheGameStarts) {
    Scratch s("icon-fifo");
    fs::remove(s.media("dravik.png"));
    ASSERT_EQ(::mkfifo(s.media("dravik.png").c_str(), 0600), 0);
    RunOptions options;
    options.env = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy", "DRAVIK_NO_DIALOGS=1"};
    const pid_t pid = startProgram(gamePath(), {}, s.game(), s.root() + "/err", options);
    ASSERT_GT(pid, 0);
    // Long enough for the start-up to reach the controller choice; a game stuck on the FIFO would
    // still be opening it.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ::kill(pid, SIGTERM);
    const RunResult r = finishProgram(pid, s.root() + "/err", 10);
    EXPECT_FALSE(r.timedOut) << describe(r);
    EXPECT_EQ(r.signal, 0) << describe(r);
    EXPECT_NE(r.err.find("cannot read media/dravik.png: not a regular file (a FIFO)"),
              std::string::npos)
        << r.err;
    // The game went on past the icon: SIGTERM closed its window and ran the shut-down.
    EXPECT_EQ(r.exitCode, 0) << describe(r);
}

TEST(LowMemory, StartUpUnderATightAddressSpaceLimitEndsWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer's shadow memory alone is larger than any such limit.
    GTEST_SKIP() << "an address-space limit cannot be tested under AddressSanitizer";
#endif
    Scratch s("low-memory");
    RunOptions options;
    options.env = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy", "DRAVIK_NO_DIALOGS=1"};
    options.timeoutSeconds = 20;
    // Limits at which the software GL renderer crashed or allocation aborted part way through.
    for (const uint64_t megabytes : {300u, 500u, 720u}) {
        options.addressSpaceLimit = uint64_t(megabytes) << 20;
        const RunResult r = runProgram(gamePath(), {}, s.game(), options);
        EXPECT_EQ(r.signal, 0) << megabytes << " MB: " << describe(r);
        EXPECT_EQ(r.exitCode, 1) << megabytes << " MB: " << describe(r);
        EXPECT_NE(r.err.find("Dravik: not enough memory to start"), std::string::npos) << r.err;
    }
}

}  // namespace
