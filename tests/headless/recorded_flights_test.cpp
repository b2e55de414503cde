// Recorded flights end to end through the headless runner: scripted live flights with the keyboard
// and the mouse save the recordings kept as test data, and each recording replays to the state of
// the live flight at every step, with and without GL.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/texture_file.h"
#include "headless/runner_helpers.h"

namespace fs = std::filesystem;

namespace {

using namespace headless_test;

std::string scratch(const std::string& name) {
    return scratchPath("flight", name);
}

// A line without the fields that differ between a live game and its replay by design: the
// replaying flag, and halted during the intro (the first game's intro runs halted, a replay's
// does not).
std::string comparable(std::string line) {
    for (const char* key : {"\"replaying\":", "\"halted\":"}) {
        size_t at = line.find(key);
        if (at == std::string::npos)
            continue;
        size_t end = line.find(',', at);
        line.erase(at, end - at + 1);
    }
    return line;
}

class RecordedFlight : public ::testing::TestWithParam<const char*> {};

TEST_P(RecordedFlight, LiveFlightSavesTheKeptRecordingAndItsReplayMatchesEveryStep) {
    std::string name = GetParam();
    std::string live = scratch(name + "-live.jsonl"), replay = scratch(name + "-replay.jsonl");
    std::string saved = scratch(name + ".dvk");
    ASSERT_EQ(
        run("--no-gl --script " + kData + name + ".txt --state-log " + live + " --save " + saved),
        0);
    // The live flight is deterministic: it saves the very recording kept in the repository.
    ASSERT_EQ(bytes(saved), bytes(kData + name + ".dvk"));

    ASSERT_EQ(run("--no-gl --replay " + kData + name + ".dvk --state-log " + replay), 0);
    std::vector<std::string> a = lines(live), b = lines(replay);
    ASSERT_GT(b.size(), 4000u);
    ASSERT_GE(a.size(), b.size());
    int bumps = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        ASSERT_EQ(comparable(a[i]), comparable(b[i])) << "step " << i + 1;
        if (i > 0 && field(b[i], "bumping") == "1" && field(b[i - 1], "bumping") == "0")
            ++bumps;
    }
    // The flight bumps cones, passes all four targets and reaches the result screen.
    EXPECT_GT(bumps, 5);
    EXPECT_EQ(field(a.back(), "gameOver"), "1");
    EXPECT_EQ(field(a.back(), "halted"), "1");
    EXPECT_NE(a.back().find("\"targetPassed\":[1,1,1,1]"), std::string::npos);
    for (const std::string& f : {live, replay, saved}) fs::remove(f);
}

TEST_P(RecordedFlight, ReplaysIdenticallyWithAndWithoutGl) {
    std::string name = GetParam();
    std::string gl = scratch(name + "-gl.jsonl"), nogl = scratch(name + "-nogl.jsonl");
    std::string shot = scratch(name + "-shot.png");
    ASSERT_EQ(run("--no-gl --replay " + kData + name + ".dvk --state-log " + nogl), 0);
    ASSERT_EQ(run("--replay " + kData + name + ".dvk --state-log " + gl + " --shot 1000:" + shot),
              0);
    EXPECT_EQ(bytes(gl), bytes(nogl));
    EXPECT_GT(fs::file_size(shot), 10000u);
    for (const std::string& f : {gl, nogl, shot}) fs::remove(f);
}

INSTANTIATE_TEST_SUITE_P(Flights, RecordedFlight,
                         ::testing::Values("keyboard_flight", "mouse_flight"));

TEST(HeadlessRunner, BadArgumentsGetAMessageAndANonZeroExit) {
    EXPECT_EQ(run("--steps"), 2);
    EXPECT_EQ(run("--steps -4"), 2);
    EXPECT_EQ(run("--step-ms 0"), 2);
    EXPECT_EQ(run("--start-tick 4294967296"), 2);
    EXPECT_EQ(run("--shot 12"), 2);
    EXPECT_EQ(run("--no-gl --shot 1:x.png"), 2);
    EXPECT_EQ(run("--frobnicate"), 2);
    EXPECT_EQ(run("--script /nonexistent/script.txt"), 2);
    EXPECT_EQ(run("--help"), 0);
}

TEST(HeadlessRunner, CrossesTheTickCounterWrapWithTheRightGameTime) {
    std::string log = scratch("wrap.jsonl");
    std::string script = scratch("wrap.txt");
    std::ofstream(script) << "0 key up\n";
    ASSERT_EQ(run("--no-gl --script " + script +
                  " --steps 400 --start-tick 4294960000 --state-log " + log),
              0);
    std::vector<std::string> l = lines(log);
    ASSERT_EQ(l.size(), 400u);
    // The first step comes at once (the last step tick starts at 0), then one every 31 ms,
    // wrapping past 2^32 on the way.
    EXPECT_EQ(field(l[0], "nowTick"), "4294960000");
    EXPECT_EQ(field(l.back(), "nowTick"),
              std::to_string((4294960000ull + 399 * 31) % 4294967296ull));
    EXPECT_EQ(field(l.back(), "gameStartTick"), "4294960000");
    EXPECT_EQ(field(l.back(), "elapsedTenths"), std::to_string(399 * 31 / 100));
    for (size_t i = 1; i < l.size(); ++i)
        EXPECT_EQ((std::stoull(field(l[i], "nowTick")) - std::stoull(field(l[i - 1], "nowTick"))) &
                      0xFFFFFFFFull,
                  31u)
            << "step " << i + 1;
    fs::remove(log);
    fs::remove(script);
}

}  // namespace

// Frames between steps only look: a recorded flight steps to the same state at every step
// whatever the frame rate, and the classic pace draws the same step frames.
TEST(FramesBetweenSteps, StateLogsAreTheSameAtEveryFrameRate) {
    std::string flight = kData + "keyboard_flight.dvk";
    std::string classic = scratch("classic.jsonl");
    ASSERT_EQ(
        run("--no-gl --log-obstacles --classic --replay " + flight + " --state-log " + classic), 0);
    ASSERT_GT(lines(classic).size(), 4000u);
    for (const char* pace : {"--fps 0", "--fps 60", "--fps 144", "--smooth"}) {
        std::string smooth = scratch("smooth.jsonl");
        ASSERT_EQ(run(std::string("--no-gl --log-obstacles ") + pace + " --replay " + flight +
                      " --state-log " + smooth),
                  0);
        EXPECT_EQ(bytes(smooth), bytes(classic)) << pace;
        fs::remove(smooth);
    }
    fs::remove(classic);
}

TEST(FramesBetweenSteps, AStepsFrameIsTheClassicOneAndAHalfStepFrameIsNeitherNeighbour) {
    std::string flight = kData + "keyboard_flight.dvk";
    std::string classic = scratch("c300.png"), step300 = scratch("s300.png"),
                step301 = scratch("s301.png"), half = scratch("s300h.png");
    ASSERT_EQ(run("--classic --replay " + flight + " --steps 302 --shot 300:" + classic), 0);
    ASSERT_EQ(run("--fps 60 --replay " + flight + " --steps 302 --shot 300:" + step300 +
                  " --shot 301:" + step301 + " --shot 300.5:" + half),
              0);
    EXPECT_EQ(bytes(step300), bytes(classic));
    ASSERT_GT(fs::file_size(half), 10000u);
    EXPECT_NE(bytes(half), bytes(step300));
    EXPECT_NE(bytes(half), bytes(step301));
    // A fraction is written after the step's number; anything else is refused.
    EXPECT_EQ(run("--no-gl --shot 300.5:x.png"), 2);
    EXPECT_EQ(run("--shot 300.:x.png"), 2);
    EXPECT_EQ(run("--shot .5:x.png"), 2);
    EXPECT_EQ(run("--fps -1"), 2);
    for (const std::string& f : {classic, step300, step301, half}) fs::remove(f);
}

namespace {

Image decoded(const std::string& path) {
    std::string data = bytes(path);
    Image image;
    std::string error;
    EXPECT_TRUE(
        decodeImage(reinterpret_cast<const uint8_t*>(data.data()), data.size(), image, error))
        << path << ": " << error;
    return image;
}

}  // namespace

// Multisampling smooths the edges of the smooth picture and nothing else; the classic picture
// never takes it.
TEST(FramesBetweenSteps, MultisamplingChangesOnlyEdgesAndNeverTheClassicPicture) {
    std::string flight = kData + "keyboard_flight.dvk";
    std::string plain = scratch("ms0.png"), smoothed = scratch("ms4.png"),
                classic = scratch("mc0.png"), classicAsked = scratch("mc4.png");
    const std::string common = "--replay " + flight + " --steps 302 ";
    ASSERT_EQ(run("--fps 60 " + common + "--shot 300.5:" + plain), 0);
    ASSERT_EQ(run("--fps 60 --msaa 4 " + common + "--shot 300.5:" + smoothed), 0);
    Image a = decoded(plain), b = decoded(smoothed);
    ASSERT_EQ(a.width, 640u);
    ASSERT_EQ(b.width, a.width);
    ASSERT_EQ(b.data.size(), a.data.size());
    size_t differing = 0;
    for (size_t i = 0; i < a.data.size(); i += 4)
        differing += !std::equal(a.data.begin() + i, a.data.begin() + i + 4, b.data.begin() + i);
    size_t pixels = a.data.size() / 4;
    EXPECT_GT(differing, pixels / 200) << "no edge was smoothed";
    EXPECT_LT(differing, pixels / 8) << "more than the edges changed";

    ASSERT_EQ(run("--classic " + common + "--shot 300:" + classic), 0);
    ASSERT_EQ(run("--classic --msaa 4 " + common + "--shot 300:" + classicAsked), 0);
    EXPECT_EQ(bytes(classicAsked), bytes(classic));
    EXPECT_EQ(run("--msaa 17"), 2);
    for (const std::string& f : {plain, smoothed, classic, classicAsked}) fs::remove(f);
}
