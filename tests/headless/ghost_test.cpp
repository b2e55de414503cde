// The ghost: its path is the replayed flight's own pose at every step it is looked up at; working
// it out leaves the running game exactly as it was; and a flight with a ghost beside it goes
// through byte for byte the states of the flight without one, whichever recording the ghost flies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "aircraft/ghost_plane.h"
#include "app/ghost_source.h"
#include "app/main_loop.h"
#include "app/record_keeper.h"
#include "app/replay_viewer.h"
#include "app/window_procedure.h"
#include "app/window_services.h"
#include "controls/flight_recorder.h"
#include "fakes/game_harness.h"
#include "game/flight_pose.h"
#include "game/frame_step.h"
#include "game/game_state.h"
#include "game/ghost_path.h"
#include "game/random.h"
#include "gfx/math.h"
#include "headless/runner_helpers.h"
#include "hud/overlays.h"
#include "state_log.h"

namespace fs = std::filesystem;

namespace {

using headless_test::kData;
using headless_test::kRunner;
// The keyboard flight: a bump starts at step 1099 and the result screen follows step 4778.
const std::string kKeyboardFlight = kData + "keyboard_flight.dvk";
const std::string kMouseFlight = kData + "mouse_flight.dvk";

std::string scratch(const std::string& name) {
    return headless_test::scratchPath("ghost", name);
}

// A copy of a recording whose count says it ends after `count` frames.
std::string truncatedCopy(const std::string& from, uint32_t count, const std::string& name) {
    std::string bytes = headless_test::bytes(from);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    std::string path = scratch(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// A copy of a recording that waits `steps` frames without input before it flies as recorded.
std::string delayedCopy(const std::string& from, uint32_t steps, const std::string& name) {
    std::string bytes = headless_test::bytes(from);
    uint32_t count = 0;
    for (int i = 0; i < 4; ++i) count |= uint32_t(uint8_t(bytes[i])) << (8 * i);
    std::string idle;
    for (uint32_t k = 0; k < 3 * steps; ++k) {
        idle += static_cast<char>(kNoInput & 0xFF);
        idle += static_cast<char>(kNoInput >> 8);
    }
    std::string out = bytes.substr(0, 4) + idle + bytes.substr(4, bytes.size() - 4 - idle.size());
    count += steps;
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    std::string path = scratch(name);
    std::ofstream(path, std::ios::binary) << out;
    return path;
}

GhostPath pathOf(const std::string& file) {
    FlightRecorder recorder(kRecorderCapacity);
    EXPECT_TRUE(recorder.loadFromFile(file));
    return computeGhostPath(recorder.entries, recorder.recordedLength);
}

class GhostTest : public GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        harness.startPlaying();
        replayViewer = ReplayViewer{};
        ghost = Ghost{};
    }
    void TearDown() override {
        ghost = Ghost{};
        replayViewer = ReplayViewer{};
        GameTest::TearDown();
    }
    // Main-loop passes until one more frame step has run.
    // The device's log holds that step's frame.
    bool stepOnce() {
        int code = 0;
        harness.device().reset();
        for (int passes = 0; passes < 100; ++passes) {
            bool stepped = false;
            if (!runPass(code, &stepped))
                return false;
            if (stepped)
                return true;
        }
        return false;
    }
};

TEST_F(GhostTest, PathHoldsTheReplayedFlightsOwnPoseAtEveryStepLookedUp) {
    GhostPath path = pathOf(kKeyboardFlight);
    // The new game, the intro and one pose for each of the 4628 recorded frames.
    ASSERT_EQ(path.poses.size(), 1 + kIntroSteps + 4628u);
    ASSERT_TRUE(game.flightRecorder->loadFromFile(kKeyboardFlight));
    startReplay();

    // Through the intro, the first input, a bump and its tumble, the passes and the finish.
    const std::vector<uint64_t> checked = {1, 149, 150, 151, 1099, 1100, 1110, 1164, 3000, 4700};
    bool bumpSeen = false, turnSeen = false;
    for (uint64_t step = 1; step <= 4700; ++step) {
        ASSERT_TRUE(stepOnce()) << step;
        bumpSeen = bumpSeen || game.bumping;
        turnSeen = turnSeen || game.heading != 0;
        if (std::find(checked.begin(), checked.end(), step) == checked.end())
            continue;
        std::optional<GhostPose> pose = ghostPoseAt(path, game);
        ASSERT_TRUE(pose) << step;
        GhostPose own = viewerPose(game, path);
        EXPECT_EQ(pose->x, own.x) << step;
        EXPECT_EQ(pose->z, own.z) << step;
        EXPECT_EQ(pose->heading, own.heading) << step;
        EXPECT_EQ(pose->bank, own.bank) << step;
        EXPECT_EQ(pose->tumble, own.tumble) << step;
        EXPECT_EQ(pose->groundLevel, own.groundLevel) << step;
        // The same pose seen from itself is the player's own plane, at the origin.
        Matrix m = ghostWorldMatrix(*pose, own, false, 1.0f);
        Vec3 at = transformCoord({0, 0, 0}, m);
        EXPECT_NEAR(at.x, 0, 1e-3) << step;
        EXPECT_NEAR(at.y, 0, 1e-3) << step;
        EXPECT_NEAR(at.z, 0, 1e-3) << step;
    }
    EXPECT_TRUE(bumpSeen);
    EXPECT_TRUE(turnSeen);
}

TEST_F(GhostTest, PathPassTimesAndEndFollowTheRecording) {
    GhostPath full = pathOf(kKeyboardFlight);
    // The times a replay of the flight on the 31 ms clock passes the targets at.
    const uint32_t kPassTimes[TargetCount] = {279, 1167, 1381, 426};
    for (int i = 0; i < TargetCount; ++i) EXPECT_EQ(full.passTimes[i], kPassTimes[i]) << i;
    ASSERT_EQ(full.finalTenths, 1381u);
    for (const auto& t : full.passTimes) {
        ASSERT_TRUE(t);
        EXPECT_LE(*t, *full.finalTenths);
    }
    // A flight that ends mid-way: its poses stop where it stops, the targets it never reached have
    // no time, and it has no final time.
    std::string cut = truncatedCopy(kKeyboardFlight, 1200, "cut.dvk");
    GhostPath part = pathOf(cut);
    EXPECT_EQ(part.poses.size(), kIntroSteps + 1200 + 1);
    EXPECT_FALSE(part.finalTenths);
    int passed = 0;
    for (const auto& t : part.passTimes) passed += t.has_value();
    EXPECT_LT(passed, TargetCount);
    for (size_t i = 0; i < part.poses.size(); ++i) {
        EXPECT_EQ(part.poses[i].x, full.poses[i].x) << i;
        EXPECT_EQ(part.poses[i].z, full.poses[i].z) << i;
    }
    // An empty recording still flies the intro.
    GhostPath none = computeGhostPath(nullptr, 0);
    EXPECT_GE(none.poses.size(), kIntroSteps);
    fs::remove(cut);
}

TEST_F(GhostTest, WorkingOutAPathMidFlightChangesNothingOfTheRunningGame) {
    // A live flight with some input, a little way in, and a sound system that has played.
    harness.finishIntro();
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(stepOnce());
    uint32_t randomBefore = randomState();
    (void)drawRandom();  // a state other than the seed's
    randomBefore = randomState();
    std::string before = stateLogLine(1, true);
    size_t musicCalls = harness.music.log->size();
    uint32_t recorded = game.flightRecorder->position;

    GhostPath path = pathOf(kMouseFlight);
    EXPECT_GT(path.poses.size(), kIntroSteps);
    EXPECT_EQ(stateLogLine(1, true), before);
    EXPECT_EQ(randomState(), randomBefore);
    EXPECT_EQ(harness.music.log->size(), musicCalls);
    EXPECT_EQ(game.flightRecorder->position, recorded);
    ASSERT_TRUE(game.device);
    ASSERT_TRUE(game.soundSystem);
    // The flight goes on.
    EXPECT_TRUE(stepOnce());
    EXPECT_EQ(game.flightRecorder->position, recorded + 1);
}

TEST_F(GhostTest, GTurnsTheGhostOnAndOffOnlyWhilePausedOrInTheIntro) {
    ghost.path = pathOf(kMouseFlight);
    ghost.source = kMouseFlight;
    ghost.enabled = true;
    auto key = [](int vk) { windowProcedure({EventType::KeyDown, vk, 0}); };
    // In the intro.
    harness.step();
    ASSERT_TRUE(game.introActive);
    key(kVkG);
    EXPECT_FALSE(ghost.enabled);
    key(kVkG);
    EXPECT_TRUE(ghost.enabled);
    // In flight it only says when it acts; paused it acts.
    harness.finishIntro();
    key(kVkG);
    EXPECT_TRUE(ghost.enabled);
    EXPECT_EQ(overlayNote.text, kNoteGhostWaits);
    key(kVkF1);
    key(kVkG);
    EXPECT_FALSE(ghost.enabled);
    EXPECT_EQ(overlayNote.text, "Ghost off");
    // Turned on with none chosen it is the best flight's, which may not exist yet: on, no path.
    ghost = Ghost{};
    key(kVkG);
    EXPECT_TRUE(ghost.enabled);
    EXPECT_EQ(ghost.source, kBestGhost);
    ASSERT_TRUE(recordKeeper.bestPath.empty());
    EXPECT_FALSE(ghost.path);
    // A paused flight records nothing, with or without a ghost.
    uint32_t recorded = game.flightRecorder->position;
    ASSERT_TRUE(stepOnce());
    EXPECT_EQ(game.flightRecorder->position, recorded);
}

// The ghost's draws in the device's log of one frame: the materials at the ghost's alpha, the
// ambient level and fog they are drawn under, and the first ones set after them.
struct GhostDraws {
    int materials = 0;
    bool paledAndTranslucent = true;
    uint32_t ambient = 0;
    uint32_t fog = 1;
    uint32_t ambientAfter = 0, fogAfter = 0;
};

GhostDraws ghostDrawsIn(const RecordingDevice& device) {
    GhostDraws d;
    uint32_t ambient = 0, fog = 1;
    bool afterGhost = false, ambientSeen = false, fogSeen = false;
    for (const DeviceCall& c : device.calls) {
        bool ambientCall = c.op == "SetRenderState" && c.state == RenderState::Ambient;
        bool fogCall = c.op == "SetRenderState" && c.state == RenderState::FogEnable;
        if (ambientCall)
            ambient = c.value;
        if (fogCall)
            fog = c.value;
        if (afterGhost && ambientCall && !ambientSeen) {
            ambientSeen = true;
            d.ambientAfter = c.value;
        }
        if (afterGhost && fogCall && !fogSeen) {
            fogSeen = true;
            d.fogAfter = c.value;
        }
        if (c.op == "SetMaterial" && c.material.diffuse.a == 0.45f) {
            ++d.materials;
            afterGhost = true;
            d.ambient = ambient;
            d.fog = fog;
            const Colour4& k = c.material.diffuse;
            d.paledAndTranslucent = d.paledAndTranslucent && k.r >= 0.5f && k.g >= 0.5f &&
                                    k.b >= 0.5f && c.material.ambient.a == 0.45f;
        }
    }
    return d;
}

TEST_F(GhostTest, GhostIsDrawnPaleTranslucentUnfoggedAndNeverRedOnlyWhereItCanBeSeen) {
    // The player flies the keyboard flight two steps late: the ghost, the flight on time, stays
    // some tens of units ahead until the two part at a cone around step 760.
    std::string late = delayedCopy(kKeyboardFlight, 2, "late.dvk");
    ghost.path = pathOf(kKeyboardFlight);
    ghost.enabled = true;
    ASSERT_TRUE(game.flightRecorder->loadFromFile(late));
    startReplay();
    // In the intro both fly together: no ghost over the player's plane.
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(stepOnce());
    EXPECT_EQ(ghostDrawsIn(harness.device()).materials, 0);

    // Ahead in the chase view, then in the cockpit view through bumps, whose cockpit frames
    // light the field pink and tumble the world, the ghost with it (out of sight at times).
    for (int i = 100; i < 600; ++i) ASSERT_TRUE(stepOnce());
    EXPECT_GT(ghostDrawsIn(harness.device()).materials, 0);
    toggleView();
    int bumpFramesWithGhost = 0;
    for (int i = 600; i < 740; ++i) {
        ASSERT_TRUE(stepOnce());
        GhostDraws d = ghostDrawsIn(harness.device());
        if (!game.bumping) {
            EXPECT_GT(d.materials, 0) << i;
            continue;
        }
        if (d.materials == 0)
            continue;
        ++bumpFramesWithGhost;
        EXPECT_TRUE(d.paledAndTranslucent) << i;
        EXPECT_EQ(d.ambient, 0xA0A0A0u) << i;
        EXPECT_EQ(d.fog, 0u) << i;
        EXPECT_EQ(d.ambientAfter, 0x404040u) << i;
        EXPECT_EQ(d.fogAfter, 1u) << i;
    }
    EXPECT_GT(bumpFramesWithGhost, 5);
    toggleView();

    // Turned off, or past the end of its recording, it is not drawn.
    ghost.enabled = false;
    ASSERT_TRUE(stepOnce());
    EXPECT_EQ(ghostDrawsIn(harness.device()).materials, 0);
    ghost.enabled = true;
    std::vector<GhostPose> all = ghost.path->poses;
    ghost.path->poses.resize(kIntroSteps + 10);
    ASSERT_TRUE(stepOnce());
    EXPECT_EQ(ghostDrawsIn(harness.device()).materials, 0);

    // Behind the eye or thousands of units away, it is not drawn either; just ahead, it is.
    const GhostPose viewer = viewerPose(game, *ghost.path);
    const float h = game.heading * kDegToRad;
    for (float along : {-30.0f, -4000.0f, 4000.0f, 40.0f}) {
        GhostPose p = viewer;
        p.x -= std::sin(h) * along;
        p.z += std::cos(h) * along;
        ghost.path->poses.assign(all.size(), p);
        RecordingDevice& device = harness.device();
        device.reset();
        drawGhost(game, poseOf(game));
        EXPECT_EQ(ghostDrawsIn(device).materials > 0, along == 40.0f) << along;
    }

    // A frame between two steps puts the ghost that far between its places at the two steps,
    // seen from the player's blended pose: halfway at one half.
    auto drawnAt = [&](float fraction) {
        FlightPose pose = poseOf(game);
        pose.fraction = fraction;
        RecordingDevice& device = harness.device();
        device.reset();
        drawGhost(game, pose);
        Vec3 at{};
        for (const DeviceCall& c : device.calls)
            if (c.op == "SetTransform" && c.transform == TransformState::World)
                at = {c.matrix.m[3][0], c.matrix.m[3][1], c.matrix.m[3][2]};
        return at;
    };
    uint64_t index = ghostStepIndex(game);
    GhostPose ahead = viewer;
    ahead.x -= std::sin(h) * 40.0f;
    ahead.z += std::cos(h) * 40.0f;
    ghost.path->poses.assign(all.size(), ahead);
    ghost.path->poses[index - 1].x -= std::sin(h) * 20.0f;
    ghost.path->poses[index - 1].z += std::cos(h) * 20.0f;
    Vec3 before = drawnAt(0.0f), after = drawnAt(1.0f), half = drawnAt(0.5f);
    EXPECT_GT(std::fabs(after.z - before.z), 10.0f);
    EXPECT_NEAR(half.x, (before.x + after.x) / 2, 0.01f);
    EXPECT_NEAR(half.z, (before.z + after.z) / 2, 0.01f);
    fs::remove(late);
}

// The headless runner's state log of a replay, with and without a ghost.
std::string stateLogOf(const std::string& flight, const std::string& ghostFile,
                       const std::string& name) {
    std::string log = scratch(name);
    std::string command = kRunner + " --no-gl --log-obstacles --replay " + flight +
                          " --state-log " + log +
                          (ghostFile.empty() ? "" : " --ghost " + ghostFile) + " 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::string text = headless_test::bytes(log);
    fs::remove(log);
    return text;
}

TEST(GhostStateLogs, FlightsWithAnyGhostAreByteIdenticalToFlightsWithout) {
    std::string shortGhost = truncatedCopy(kMouseFlight, 40, "short.dvk");
    std::string midGhost = truncatedCopy(kKeyboardFlight, 2000, "mid.dvk");
    for (const std::string& flight : {kKeyboardFlight, kMouseFlight}) {
        std::string plain = stateLogOf(flight, "", "plain.log");
        ASSERT_GT(plain.size(), 1000000u);
        for (const std::string& g : {kKeyboardFlight, kMouseFlight, shortGhost, midGhost})
            EXPECT_TRUE(stateLogOf(flight, g, "ghost.log") == plain) << flight << " with " << g;
    }
    fs::remove(shortGhost);
    fs::remove(midGhost);
}

}  // namespace

namespace {

// The headless runner with its records under a folder of the test's own.
int runWithRecords(const std::string& dataHome, const std::string& arguments) {
    std::string command = "XDG_DATA_HOME=" + dataHome + " " + kRunner + " --no-gl --keep-records " +
                          arguments + " 2>/dev/null";
    return std::system(command.c_str());
}

TEST(KeptRecords, AFinishedLiveFlightWritesThemAndAReplayNever) {
    std::string home = scratch("data");
    fs::remove_all(home);
    fs::create_directories(home);
    const std::string records = home + "/dravik/records.json";
    const std::string best = home + "/dravik/best.dvk";

    // Replays of either flight, to their result screens: nothing is written.
    ASSERT_EQ(runWithRecords(home, "--replay " + kKeyboardFlight), 0);
    ASSERT_EQ(runWithRecords(home, "--replay " + kMouseFlight + " --ghost best"), 0);
    EXPECT_FALSE(fs::exists(records));
    EXPECT_FALSE(fs::exists(best));

    // The mouse flight flown live: its times, and its recording kept as the best flight.
    ASSERT_EQ(runWithRecords(home, "--script " + kData + "mouse_flight.txt"), 0);
    ASSERT_TRUE(fs::exists(records));
    EXPECT_EQ(headless_test::bytes(best), headless_test::bytes(kMouseFlight));
    std::string slow = headless_test::bytes(records);
    EXPECT_NE(slow.find("\"bestFlightTenths\": 1700"), std::string::npos) << slow;

    // The faster keyboard flight replaces it; a replay of the slow one after that changes
    // nothing, and neither does the slow one flown live again.
    ASSERT_EQ(runWithRecords(home, "--script " + kData + "keyboard_flight.txt"), 0);
    std::string fast = headless_test::bytes(records);
    EXPECT_NE(fast.find("\"bestFlightTenths\": 1381"), std::string::npos) << fast;
    EXPECT_EQ(headless_test::bytes(best), headless_test::bytes(kKeyboardFlight));
    ASSERT_EQ(runWithRecords(home, "--replay " + kMouseFlight), 0);
    ASSERT_EQ(runWithRecords(home, "--script " + kData + "mouse_flight.txt"), 0);
    EXPECT_EQ(headless_test::bytes(records), fast);
    EXPECT_EQ(headless_test::bytes(best), headless_test::bytes(kKeyboardFlight));

    // A live flight with the kept best as its ghost flies exactly as one without.
    std::string plain = scratch("plain.log"), withGhost = scratch("ghost.log");
    ASSERT_EQ(runWithRecords(home, "--log-obstacles --script " + kData +
                                       "mouse_flight.txt --state-log " + plain),
              0);
    ASSERT_EQ(runWithRecords(home, "--log-obstacles --ghost best --script " + kData +
                                       "mouse_flight.txt --state-log " + withGhost),
              0);
    EXPECT_TRUE(headless_test::bytes(plain) == headless_test::bytes(withGhost));
    fs::remove_all(home);
    fs::remove(plain);
    fs::remove(withGhost);
}

}  // namespace
