// Failing devices: no audio output (the music service falls back to a silent output and says so
// once, and the real game starts and shuts down), and no OpenGL 3.3 core context (a clear line on
// stderr and a clean exit, from the runner and from the game).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "fault_harness.h"
#include "platform/fluid_music_service.h"

namespace fs = std::filesystem;

namespace {

const char* const kNoAudio = "no audio output";

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Everything written to stderr while `body` runs.
template <typename F>
std::string capturedStderr(F body) {
    std::fflush(stderr);
    char name[] = "/tmp/dravik-faults-stderr-XXXXXX";
    int file = ::mkstemp(name);
    int saved = ::dup(2);
    ::dup2(file, 2);
    body();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    ::close(file);
    std::string text = readBytes(name);
    ::unlink(name);
    return text;
}

TEST(NoAudioOutput, TheMusicServiceFallsBackToSilenceAndSaysSoOnce) {
    const char* before = std::getenv("SDL_AUDIODRIVER");
    std::string previous = before ? before : "";
    setenv("SDL_AUDIODRIVER", "nosuchdriver", 1);
    bool first = false, second = false, silent = false, open = false;
    std::string err = capturedStderr([&] {
        FluidMusicService service;
        first = service.start();
        open = service.deviceOpen();
        silent = service.silentOutput();
        service.closeDown();
        // A second start in the same run (a new service, the same missing device) stays quiet.
        FluidMusicService again;
        second = again.start();
        again.closeDown();
    });
    if (before)
        setenv("SDL_AUDIODRIVER", previous.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    EXPECT_TRUE(open) << "the mix must still be pulled, by the silent output";
    EXPECT_TRUE(silent);
    EXPECT_EQ(occurrences(err, kNoAudio), 1u) << err;
    EXPECT_NE(err.find("nosuchdriver"), std::string::npos) << "the reason is named: " << err;
}

// The game itself, offscreen: it cannot be scripted there, so it is left running for a few
// seconds and closed with SIGTERM, which must run the shut-down and end with exit 0.
// With `ready` given, the seconds count from the moment that text is on stderr.
RunResult runGameFor(const Scratch& s, std::vector<std::string> env, int seconds,
                     bool* endedByItself = nullptr, const std::string& ready = "") {
    RunOptions options;
    env.push_back("SDL_VIDEODRIVER=offscreen");
    env.push_back("DRAVIK_NO_DIALOGS=1");
    options.env = env;
    std::string errFile = s.root() + "/game.err";
    pid_t pid = startProgram(gamePath(), {}, s.game(), errFile, options);
    EXPECT_GT(pid, 0);
    auto now = [] { return std::chrono::steady_clock::now(); };
    auto giveUp = now() + std::chrono::seconds(60);
    auto deadline = now() + std::chrono::seconds(seconds);
    bool waitingForReady = !ready.empty();
    // Stop waiting early once the game has ended by itself (WNOWAIT leaves it to be reaped).
    bool ended = false;
    while (!ended && now() < giveUp && (waitingForReady || now() < deadline)) {
        siginfo_t info{};
        ended = ::waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
        if (waitingForReady && readBytes(errFile).find(ready) != std::string::npos) {
            waitingForReady = false;
            deadline = now() + std::chrono::seconds(seconds);
        }
        if (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ended)
        ::kill(pid, SIGTERM);
    if (endedByItself)
        *endedByItself = ended;
    return finishProgram(pid, errFile, 20);
}

TEST(NoAudioOutput, TheGameStartsSilentAndShutsDownOnSigterm) {
    Scratch s("game-no-audio");
    bool ended = true;
    // The line comes from the sound system's start, the first start-up step, after the window
    // (and SDL's SIGTERM handling) exists.
    RunResult r = runGameFor(s, {"SDL_AUDIODRIVER=nosuchdriver"}, 3, &ended, kNoAudio);
    EXPECT_FALSE(ended) << "the game ended before the SIGTERM: " << r.err;
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    EXPECT_EQ(r.signal, 0) << describe(r);
    EXPECT_FALSE(sanitizerReported(r.err)) << r.err;
    EXPECT_EQ(occurrences(r.err, kNoAudio), 1u) << r.err;
    // That line is the only word to the player: start-up went through.
    ASSERT_EQ(playerMessages(r.err).size(), 1u) << r.err;
    EXPECT_EQ(playerMessages(r.err)[0].find(kNoAudio), 0u) << r.err;
    for (const std::string& f : filesUnder(s.game()))
        EXPECT_TRUE(f.rfind("media", 0) == 0) << "written: " << f;
}

// Mesa's overrides make the driver offer only an older OpenGL, as an old card or driver would.
const char* const kOldGl[] = {
    "MESA_GL_VERSION_OVERRIDE=2.1",
    "MESA_GL_VERSION_OVERRIDE=3.2",
    "MESA_GL_VERSION_OVERRIDE=3.0COMPAT",
};

TEST(NoGl33Context, TheRunnerSaysSoAndEndsCleanly) {
    for (const char* setting : kOldGl) {
        SCOPED_TRACE(setting);
        Scratch s("old-gl");
        writeBytes(s.root() + "/fly.txt", "0 key up\n");
        RunOptions options;
        options.env = {setting, "LIBGL_ALWAYS_SOFTWARE=1"};
        RunResult r = s.runner(
            {"--script", s.root() + "/fly.txt", "--steps", "10", "--save", "flight.dvk"}, options);
        EXPECT_EQ(r.exitCode, 0) << describe(r);
        EXPECT_EQ(r.signal, 0) << describe(r);
        EXPECT_FALSE(sanitizerReported(r.err)) << r.err;
        EXPECT_NE(r.err.find("OpenGL 3.3"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("dravik-headless: 0 steps"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(s.game() + "/flight.dvk"));
    }
}

TEST(NoGl33Context, TheGameSaysSoAndEndsByItself) {
    Scratch s("game-old-gl");
    bool ended = false;
    RunResult r =
        runGameFor(s, {kOldGl[0], "LIBGL_ALWAYS_SOFTWARE=1", "SDL_AUDIODRIVER=dummy"}, 15, &ended);
    EXPECT_TRUE(ended) << "a failed start-up ends the game";
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    EXPECT_EQ(r.signal, 0) << describe(r);
    EXPECT_FALSE(sanitizerReported(r.err)) << r.err;
    EXPECT_NE(r.err.find("OpenGL 3.3"), std::string::npos) << r.err;
}

}  // namespace
