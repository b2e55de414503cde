// The window losing focus through the headless runner: a live flight pauses where it is and
// records nothing while paused, so the flight resumed with F1 saves the same recording as one
// never interrupted; a replay plays on; --no-focus-pause flies on.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "headless/runner_helpers.h"

namespace fs = std::filesystem;

namespace {

using namespace headless_test;

std::string scratch(const std::string& name) {
    return scratchPath("focus", name);
}

// The kept keyboard flight's script with the focus lost after step `at`, given back `length`
// steps later, and F1 `length` steps after that; every later event moves on by the pause.
std::string pausedScript(uint64_t at, uint64_t length) {
    std::ifstream in(kData + "keyboard_flight.txt");
    std::ostringstream out;
    bool inserted = false;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        uint64_t step = 0;
        if (line.empty() || line[0] == '#' || !(words >> step)) {
            out << line << "\n";
            continue;
        }
        if (step > at && !inserted) {
            out << at << " focus-lost\n"
                << at + length << " focus-gained\n"
                << at + 2 * length << " key f1\n";
            inserted = true;
        }
        std::string rest;
        std::getline(words, rest);
        out << (step > at ? step + 2 * length : step) << rest << "\n";
    }
    return out.str();
}

TEST(FocusPause, ALiveFlightPausesUntilF1AndRecordsNothingMeanwhile) {
    // Step 1000 is in live flight, after the intro and before the finish.
    const uint64_t at = 1000, length = 40;
    std::string script = scratch("paused.txt"), log = scratch("paused.jsonl");
    std::string saved = scratch("paused.dvk");
    std::ofstream(script) << pausedScript(at, length);
    // With the words on screen as well: the pause panel is drawn over the paused flight.
    for (const char* extra : {"", " --overlays"}) {
        SCOPED_TRACE(std::string("options:") + extra);
        ASSERT_EQ(run(std::string("--no-gl") + extra + " --script " + script + " --state-log " +
                      log + " --save " + saved),
                  0);
        std::vector<std::string> l = lines(log);
        ASSERT_GT(l.size(), at + 2 * length + 10);
        EXPECT_EQ(field(l[at - 1], "halted"), "0") << "flying before";
        EXPECT_EQ(field(l[at - 1], "introActive"), "0");
        for (uint64_t step = at + 1; step <= at + 2 * length; ++step)
            ASSERT_EQ(field(l[step - 1], "halted"), "1")
                << "paused at step " << step << ", also after the focus came back";
        EXPECT_EQ(field(l[at + 2 * length], "halted"), "0") << "F1 resumes";
        EXPECT_EQ(field(l[at + 2 * length - 1], "heading"), field(l[at - 1], "heading"))
            << "nothing moved meanwhile";
        // The recording holds the flight without the pause: the very one kept for the uninterrupted
        // flight.
        EXPECT_EQ(bytes(saved), bytes(kData + "keyboard_flight.dvk"));
    }
    for (const std::string& f : {script, log, saved}) fs::remove(f);
}

TEST(FocusPause, TheIntroAReplayAndTheSettingOffFlyOn) {
    std::string script = scratch("intro.txt"), log = scratch("intro.jsonl");
    // In the intro of the first game (steps 1 to 150), and in live flight with the option off.
    std::ofstream(script) << "0 key up\n20 focus-lost\n400 focus-lost\n";
    ASSERT_EQ(
        run("--no-gl --no-focus-pause --script " + script + " --steps 420 --state-log " + log), 0);
    std::vector<std::string> l = lines(log);
    ASSERT_EQ(l.size(), 420u);
    EXPECT_EQ(field(l[100], "introActive"), "1");
    EXPECT_EQ(field(l[200], "introActive"), "0") << "the intro ran to its end";
    EXPECT_EQ(field(l[410], "halted"), "0") << "--no-focus-pause flies on";

    ASSERT_EQ(run("--no-gl --script " + script + " --steps 420 --state-log " + log), 0);
    l = lines(log);
    ASSERT_EQ(l.size(), 420u);
    EXPECT_EQ(field(l[200], "introActive"), "0") << "the intro is not paused";
    EXPECT_EQ(field(l[200], "halted"), "0");
    EXPECT_EQ(field(l[410], "halted"), "1") << "by default live flight pauses";

    // A replay plays on to its end, step for step as without the focus change.
    std::string replayScript = scratch("replay.txt"), plain = scratch("plain.jsonl");
    std::ofstream(replayScript) << "300 focus-lost\n1200 focus-lost\n1300 focus-gained\n";
    ASSERT_EQ(run("--no-gl --replay " + kData + "keyboard_flight.dvk --script " + replayScript +
                  " --state-log " + log),
              0);
    ASSERT_EQ(run("--no-gl --replay " + kData + "keyboard_flight.dvk --state-log " + plain), 0);
    EXPECT_EQ(bytes(log), bytes(plain));
    for (const std::string& f : {script, log, replayScript, plain}) fs::remove(f);
}

TEST(FocusPause, TheScriptActionsTakeNoArguments) {
    std::string script = scratch("bad.txt");
    std::ofstream(script) << "0 key up\n5 focus-lost now\n";
    EXPECT_EQ(run("--no-gl --steps 10 --script " + script), 2);
    std::ofstream(script) << "0 key up\n5 focus-gained\n6 focus-lost\n";
    EXPECT_EQ(run("--no-gl --steps 10 --script " + script), 0);
    fs::remove(script);
}

}  // namespace
