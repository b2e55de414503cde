// The kept records: the file's JSON read back as written, hostile or broken files refused and set
// aside without losing them, records that only ever improve, the splits' words, and the ghost's
// place on the command line and in the settings.
#include "app/records.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/command_line.h"
#include "app/ghost_source.h"
#include "app/settings.h"
#include "hud/splits.h"

namespace fs = std::filesystem;

namespace {

class RecordsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("dravik-records-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        path = (folder / "records.json").string();
    }
    void TearDown() override { fs::remove_all(folder); }
    void write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path folder;
    std::string path;
};

TEST(RecordsJson, ReadsBackWhatItWritesWithAndWithoutTimes) {
    Records none;
    Records some;
    some.bestFlightTenths = 1381;
    some.bestPassTimes[0] = 279;
    some.bestPassTimes[3] = 0;  // a time of 0 is a time, not "none"
    for (const Records& r : {none, some}) {
        Records back;
        back.bestFlightTenths = 5;
        std::string error;
        ASSERT_TRUE(parseRecordsJson(recordsJson(r), back, error)) << error;
        EXPECT_TRUE(back == r);
    }
}

TEST(RecordsJson, RefusesWhatIsNotARecordAndKeepsTheOldValue) {
    const char* bad[] = {
        "",
        "[]",
        "{",
        "{\"bestFlightTenths\": 10}",  // no version
        "{\"version\": 2, \"bestFlightTenths\": 10}",
        "{\"version\": 1, \"bestFlightTenths\": -1}",
        "{\"version\": 1, \"bestFlightTenths\": 12.5}",
        "{\"version\": 1, \"bestFlightTenths\": \"138.1\"}",
        "{\"version\": 1, \"bestFlightTenths\": 99999999999}",
        "{\"version\": 1, \"bestPassTimes\": [1, 2, 3]}",
        "{\"version\": 1, \"bestPassTimes\": [1, 2, 3, 4, 5]}",
        "{\"version\": 1, \"bestPassTimes\": {\"0\": 1}}",
        "{\"version\": 1, \"bestPassTimes\": [1, 2, true, 4]}",
    };
    for (const char* text : bad) {
        Records r;
        r.bestFlightTenths = 77;
        std::string error;
        EXPECT_FALSE(parseRecordsJson(text, r, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(r.bestFlightTenths, 77u) << text;
    }
    // Fields it does not know are left alone.
    Records r;
    std::string error;
    EXPECT_TRUE(
        parseRecordsJson("{\"version\": 1, \"player\": \"x\", \"bestFlightTenths\": 9}", r, error));
    EXPECT_EQ(r.bestFlightTenths, 9u);
}

TEST(RecordsMerge, OnlyAFasterTimeIsARecord) {
    Records r;
    EXPECT_TRUE(mergeFlight(r, 1700));
    EXPECT_FALSE(mergeFlight(r, 1700));  // equal is not better
    EXPECT_FALSE(mergeFlight(r, 1800));
    EXPECT_TRUE(mergeFlight(r, 1381));
    EXPECT_EQ(r.bestFlightTenths, 1381u);
    EXPECT_TRUE(mergePass(r, 2, 500));
    EXPECT_FALSE(mergePass(r, 2, 501));
    EXPECT_TRUE(mergePass(r, 2, 0));
    EXPECT_FALSE(mergePass(r, -1, 1));
    EXPECT_FALSE(mergePass(r, TargetCount, 1));
    EXPECT_FALSE(r.bestPassTimes[0]);
}

TEST_F(RecordsFileTest, AMissingFileIsNoRecordsAndASavedOneReadsBack) {
    Records r;
    std::string message;
    EXPECT_TRUE(loadRecords(path, r, message));
    EXPECT_TRUE(message.empty());
    EXPECT_FALSE(r.bestFlightTenths);
    // Saved into a folder that does not exist yet.
    std::string deeper = (folder / "a" / "b" / "records.json").string();
    r.bestFlightTenths = 1381;
    r.bestPassTimes[1] = 1167;
    std::string error;
    ASSERT_TRUE(saveRecords(deeper, r, error)) << error;
    Records back;
    EXPECT_TRUE(loadRecords(deeper, back, message));
    EXPECT_TRUE(back == r);
    EXPECT_TRUE(message.empty());
    // No temporary file is left beside it.
    int files = 0;
    for (const auto& e : fs::directory_iterator(folder / "a" / "b")) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST_F(RecordsFileTest, ABrokenFileIsSetAsideWithAMessageAndNotLost) {
    const std::string broken = "{\"version\": 1, \"bestFlightTenths\": ";
    write(broken);
    Records r;
    std::string message;
    EXPECT_TRUE(loadRecords(path, r, message));
    EXPECT_FALSE(r.bestFlightTenths);
    EXPECT_NE(message.find(path + ".broken"), std::string::npos) << message;
    EXPECT_EQ(read(path + ".broken"), broken);
    EXPECT_FALSE(fs::exists(path));
    // A huge file is not read as records either.
    write(std::string(200000, ' ') + "{}");
    EXPECT_TRUE(loadRecords(path, r, message));
    EXPECT_NE(message.find("large"), std::string::npos) << message;
    EXPECT_TRUE(fs::exists(path + ".broken"));
}

TEST_F(RecordsFileTest, AFileThatCannotBeReadOrWrittenIsSaidAndLeftAsItIs) {
    // A folder where the file should be: neither read nor replaced.
    fs::create_directories(path);
    Records r;
    r.bestFlightTenths = 3;
    std::string error;
    EXPECT_FALSE(saveRecords(path, r, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_FALSE(saveRecords("", r, error));
    EXPECT_FALSE(error.empty());
}

TEST(Splits, SayAheadBehindAndLevelInTenths) {
    EXPECT_EQ(splitText(279, 382), "-10.3");
    EXPECT_EQ(splitText(382, 279), "+10.3");
    EXPECT_EQ(splitText(100, 100), "0.0");
    EXPECT_EQ(splitText(0, 9), "-0.9");
    EXPECT_EQ(splitText(4294967295u, 0), "+429496729.5");
    showSplit(100, 100, 5000);
    EXPECT_TRUE(splitBoard.ahead);
    EXPECT_TRUE(splitFresh(splitBoard, 5000 + kSplitMilliseconds - 1));
    EXPECT_FALSE(splitFresh(splitBoard, 5000 + kSplitMilliseconds));
    // Across the tick counter's wrap.
    showSplit(101, 100, 0xFFFFFF00u);
    EXPECT_FALSE(splitBoard.ahead);
    EXPECT_TRUE(splitFresh(splitBoard, 0x100u));
    splitBoard = SplitBoard{};
}

TEST(Splits, TheResultScreenShowsTheTimeTheRecordAndThePasses) {
    GameState state;
    uint32_t times[TargetCount] = {279, 1167, 1381, 426};
    for (int i = 0; i < TargetCount; ++i) {
        state.targetPassed[i] = 1;
        state.passTimes[i] = times[i];
    }
    SplitBoard board;
    auto lines = resultRecordLines(state, board);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "TIME 138.1");
    EXPECT_EQ(lines[1], "PASSES   27.9   116.7   138.1   42.6");
    board.recordTenths = 1381;
    EXPECT_EQ(resultRecordLines(state, board)[0], "TIME 138.1   RECORD 138.1");
    board.recordTenths = 1700;
    board.newRecord = true;
    EXPECT_EQ(resultRecordLines(state, board)[0], "TIME 138.1   NEW RECORD (was 170.0)");
    state.targetPassed[1] = 0;
    EXPECT_EQ(resultRecordLines(state, board)[1], "PASSES   27.9   -   138.1   42.6");
}

TEST(GhostChoice, TheCommandLineWinsOverTheSettingAndNeedsAValue) {
    CommandLine options;
    std::string error;
    ASSERT_TRUE(parseCommandLine({"--ghost", "best", "flight.dvk"}, options, error)) << error;
    EXPECT_EQ(options.ghost, "best");
    EXPECT_EQ(options.recording, "flight.dvk");
    ASSERT_TRUE(parseCommandLine({"--ghost=my flight.dvk"}, options, error)) << error;
    EXPECT_EQ(options.ghost, "my flight.dvk");
    EXPECT_TRUE(options.recording.empty());
    // A file named like an option is still the ghost's.
    ASSERT_TRUE(parseCommandLine({"--ghost", "--help"}, options, error));
    EXPECT_EQ(options.ghost, "--help");
    EXPECT_EQ(options.action, CommandLine::Action::Play);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--ghost"}, {"--ghost="}, {"--ghost", ""}}) {
        EXPECT_FALSE(parseCommandLine(args, options, error));
        EXPECT_NE(error.find("--ghost"), std::string::npos);
    }

    SettingsFile settings;
    CommandLine none;
    EXPECT_EQ(ghostChoice(settings, none), "");
    settings.set(kSettingGhost, "off");
    EXPECT_EQ(ghostChoice(settings, none), "");
    settings.set(kSettingGhost, "best");
    EXPECT_EQ(ghostChoice(settings, none), "best");
    CommandLine given;
    given.ghost = "other.dvk";
    EXPECT_EQ(ghostChoice(settings, given), "other.dvk");
}

}  // namespace
