// The program's command line: --help and --version answer without the game, unknown options are
// refused by name, and one recording may be named; a named recording is replayed as F5 replays
// the file its dialog gives, with the keyboard chosen.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/messages.h"
#include "app/window_procedure.h"
#include "controls/flight_recorder.h"
#include "fakes/game_harness.h"
#include "game/game_state.h"

namespace {

struct Parsed {
    bool ok = false;
    CommandLine options;
    std::string error;
};

Parsed parse(const std::vector<std::string>& args) {
    Parsed p;
    p.ok = parseCommandLine(args, p.options, p.error);
    return p;
}

TEST(CommandLineTest, HelpAndVersionAnswerInEitherSpelling) {
    EXPECT_EQ(parse({}).options.action, CommandLine::Action::Play);
    for (const char* help : {"--help", "-h"}) {
        Parsed p = parse({help});
        ASSERT_TRUE(p.ok) << help;
        EXPECT_EQ(p.options.action, CommandLine::Action::Help) << help;
    }
    for (const char* version : {"--version", "-V"}) {
        Parsed p = parse({version});
        ASSERT_TRUE(p.ok) << version;
        EXPECT_EQ(p.options.action, CommandLine::Action::Version) << version;
    }
    // Help wins whatever the order, and a recording beside it is not replayed.
    EXPECT_EQ(parse({"--version", "--help"}).options.action, CommandLine::Action::Help);
    EXPECT_EQ(parse({"--help", "--version"}).options.action, CommandLine::Action::Help);
    EXPECT_EQ(parse({"flight.dvk", "-V"}).options.action, CommandLine::Action::Version);

    const std::string usage = usageText("dravik");
    EXPECT_EQ(usage.rfind("Usage: dravik [OPTION]... [RECORDING.dvk]\n", 0), 0u) << usage;
    for (const char* word : {"--help", "--version", "F5", "Esc", "Exit status"})
        EXPECT_NE(usage.find(word), std::string::npos) << word;
    // "dravik 1.2.3": the project's version, given by the build.
    const std::string version = versionText();
    EXPECT_EQ(version.rfind("dravik ", 0), 0u) << version;
    EXPECT_EQ(version.find_first_not_of("0123456789.", 7), version.size() - 1) << version;
    EXPECT_EQ(version.back(), '\n');
}

TEST(CommandLineTest, UnknownOptionsAreRefusedByName) {
    for (const char* bad : {"--bogus", "-x", "--help=yes", "---", "-hV", "--Version"}) {
        Parsed p = parse({"flight.dvk", bad});
        EXPECT_FALSE(p.ok) << bad;
        EXPECT_EQ(p.error, std::string("unknown option '") + bad + "'");
    }
    // The first fault is the one reported.
    EXPECT_EQ(parse({"--one", "--two"}).error, "unknown option '--one'");
}

TEST(CommandLineTest, NoFocusPauseIsASwitchBesideARecordingAndNotAnAction) {
    EXPECT_FALSE(parse({}).options.noFocusPause);
    Parsed p = parse({"--no-focus-pause", "flight.dvk"});
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.options.noFocusPause);
    EXPECT_EQ(p.options.action, CommandLine::Action::Play);
    EXPECT_EQ(p.options.recording, "flight.dvk");
    // It does not hide --help, and after -- it is a file name.
    EXPECT_EQ(parse({"--help", "--no-focus-pause"}).options.action, CommandLine::Action::Help);
    Parsed named = parse({"--", "--no-focus-pause"});
    ASSERT_TRUE(named.ok);
    EXPECT_FALSE(named.options.noFocusPause);
    EXPECT_EQ(named.options.recording, "--no-focus-pause");
    EXPECT_NE(usageText("dravik").find("--no-focus-pause"), std::string::npos);
}

TEST(CommandLineTest, OneRecordingAtMostAnyNameAfterDoubleDash) {
    Parsed p = parse({"/home/pilot/best flight.dvk"});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.options.action, CommandLine::Action::Play);
    EXPECT_EQ(p.options.recording, "/home/pilot/best flight.dvk");

    p = parse({"--", "-odd.dvk"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.recording, "-odd.dvk");
    p = parse({"--", "--"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.recording, "--");
    // A lone dash is a file name, as for most programs.
    EXPECT_EQ(parse({"-"}).options.recording, "-");

    p = parse({"a.dvk", "b.dvk"});
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, "only one recording can be replayed (got 'a.dvk' and 'b.dvk')");
    p = parse({""});
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, "an empty file name was given");
    // A failed parse leaves nothing of an earlier one behind.
    CommandLine options;
    std::string error;
    ASSERT_TRUE(parseCommandLine({"x.dvk"}, options, error));
    EXPECT_FALSE(parseCommandLine({"--nope"}, options, error));
    EXPECT_TRUE(options.recording.empty());
}

const std::string kFlightFile = std::string(DRAVIK_SOURCE_DIR) + "/tests/data/keyboard_flight.dvk";

uint32_t recordedCount(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    uint8_t b[4] = {};
    in.read(reinterpret_cast<char*>(b), 4);
    return b[0] | b[1] << 8 | b[2] << 16 | uint32_t(b[3]) << 24;
}

class RecordingArgumentTest : public GameTest {
  protected:
    void TearDown() override {
        replayWhenRunning("");
        GameTest::TearDown();
    }
    // Runs main-loop passes until the game runs (at most a few dozen).
    void runUntilRunning() {
        int code = 0;
        for (int pass = 0; pass < 50 && game.startupStage < 2; ++pass) ASSERT_TRUE(runPass(code));
        ASSERT_EQ(game.startupStage, 2);
    }
    // The flight values of a frame, and the first cone and target.
    static std::vector<float> snapshot() {
        return {game.heading,
                game.speed,
                game.bank,
                game.turnRate,
                static_cast<float>(game.bumping),
                static_cast<float>(game.currentTarget),
                game.obstaclePositions[0].x,
                game.obstaclePositions[0].z,
                game.targetPositions[0].x,
                game.targetPositions[0].z};
    }
};

TEST_F(RecordingArgumentTest, ChoosesTheKeyboardAndReplaysAsF5Does) {
    const uint32_t count = recordedCount(kFlightFile);
    ASSERT_GT(count, 300u);
    replayWhenRunning(kFlightFile);
    EXPECT_EQ(game.keyboardChosen, 1);  // no click or key needed to start
    runUntilRunning();
    EXPECT_EQ(harness.input.kind, InputKind::Keyboard);
    EXPECT_EQ(game.replaying, 1);
    EXPECT_EQ(game.halted, 0);
    EXPECT_EQ(game.flightRecorder->recordedLength, count);
    EXPECT_EQ(game.flightRecorder->isRecording, 0);
    EXPECT_TRUE(harness.window.messages.empty());
    std::vector<std::vector<float>> fromCommandLine;
    for (int frame = 0; frame < 300; ++frame) {
        harness.step();
        fromCommandLine.push_back(snapshot());
    }
    EXPECT_EQ(game.replaying, 1);

    // The same file through F5 and its dialog, in the first intro: the same flight.
    harness.shutDownIfRunning();
    harness.install();
    harness.startPlaying();
    harness.window.dialogAnswers.push_back(kFlightFile);
    handleKeyDown(kVkF5);
    ASSERT_EQ(game.replaying, 1);
    for (int frame = 0; frame < 300; ++frame) {
        harness.step();
        ASSERT_EQ(snapshot(), fromCommandLine[frame]) << "frame " << frame;
    }
}

TEST_F(RecordingArgumentTest, AFileThatCannotBeLoadedGetsTheLoadFailureMessage) {
    replayWhenRunning("/nonexistent/flight.dvk");
    runUntilRunning();
    ASSERT_EQ(harness.window.messages.size(), 1u);
    // The load failure's text, then which file and why.
    EXPECT_EQ(harness.window.messages[0], std::string(kLoadFailedMessage) +
                                              "\ncannot read /nonexistent/flight.dvk: No such "
                                              "file or directory");
    // As after F5: the replay starts over what the recorder holds (nothing), and ends at once.
    EXPECT_EQ(game.replaying, 1);
    EXPECT_EQ(game.flightRecorder->recordedLength, 0u);
    // The message comes once; the recording is not tried again.
    int code = 0;
    for (int pass = 0; pass < 5; ++pass) ASSERT_TRUE(runPass(code));
    EXPECT_EQ(harness.window.messages.size(), 1u);
}

TEST_F(RecordingArgumentTest, AControllerChosenWhileLoadingIsKept) {
    windowProcedure({EventType::LeftButtonDown, 0, 0});
    replayWhenRunning(kFlightFile);
    EXPECT_EQ(game.mouseChosen, 1);
    EXPECT_EQ(game.keyboardChosen, 0);
    runUntilRunning();
    EXPECT_EQ(harness.input.kind, InputKind::Mouse);
    EXPECT_EQ(game.replaying, 1);
}

}  // namespace
