// Damaged media at start-up, through the headless runner: every file missing, empty, cut in half
// or overwritten with garbage gets its own message, a clean exit and no flight; a damaged plane
// skin only leaves the plane untextured; files whose damage still parses load and play.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "fault_harness.h"

namespace fs = std::filesystem;

namespace {

// Fifo: a named pipe with no writer in the file's place, which a plain open would wait on for ever.
enum class Damage { Missing, Empty, Half, Garbage, Fifo };

const char* damageName(Damage d) {
    switch (d) {
        case Damage::Missing:
            return "Missing";
        case Damage::Empty:
            return "Empty";
        case Damage::Half:
            return "Half";
        case Damage::Garbage:
            return "Garbage";
        case Damage::Fifo:
            return "Fifo";
    }
    return "";
}

void damage(const std::string& path, Damage d) {
    std::string bytes = readBytes(path);
    ASSERT_FALSE(bytes.empty()) << path;
    switch (d) {
        case Damage::Missing:
            fs::remove(path);
            break;
        case Damage::Empty:
            ASSERT_TRUE(writeBytes(path, ""));
            break;
        case Damage::Half:
            ASSERT_TRUE(writeBytes(path, bytes.substr(0, bytes.size() / 2)));
            break;
        case Damage::Garbage:
            ASSERT_TRUE(writeBytes(path, garbage(bytes.size(), 0x5eed)));
            break;
        case Damage::Fifo:
            fs::remove(path);
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
            break;
    }
}

struct MediaFile {
    const char* name;
    const char* message;  // empty: the game starts anyway
};

void PrintTo(Damage d, std::ostream* os) {
    *os << damageName(d);
}
void PrintTo(const MediaFile& f, std::ostream* os) {
    *os << f.name;
}

// In the order start-up loads them.
const MediaFile kMedia[] = {
    {"evening.mid", "ＢＧＭファイル１の読み込みに失敗しました"},
    {"velmo.mid", "ＢＧＭファイル２の読み込みに失敗しました"},
    {"crush.wav", "サウンドファイル１の読み込みに失敗しました"},
    {"sound136.wav", "サウンドファイル２の読み込みに失敗しました"},
    {"alert.wav", "サウンドファイル３の読み込みに失敗しました"},
    {"myplane.x", "Ｘファイルの読み込みに失敗しました"},
    {"planeskin.dds", ""},
    {"BG.dds", "背景画の読み込みに失敗しました"},
    {"arrow.dds", "矢印画の読み込みに失敗しました"},
    // The spark effect loads the star image before the sparkle effect does.
    {"star.dds", "スパーク画の読み込みに失敗しました"},
    {"digit.dds", "数字画像の読み込みに失敗しました"},
};

// Chooses the keyboard and flies, so a start-up that wrongly went on would fly and save.
const char* kFlyScript = "0 key up\n5 key-down left\n15 key-up left\n";

std::vector<std::string> flyArgs(const Scratch& s, bool gl) {
    writeBytes(s.root() + "/fly.txt", kFlyScript);
    std::vector<std::string> args = {"--script", s.root() + "/fly.txt", "--steps",
                                     "20",       "--state-log",         s.root() + "/state.jsonl",
                                     "--save",   "flight.dvk"};
    if (!gl)
        args.insert(args.begin(), "--no-gl");
    return args;
}

// A failed start-up: its one message, exit 0, no signal, not one step, nothing written.
void expectFailedStartUp(const Scratch& s, const RunResult& r, const std::string& message) {
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    EXPECT_EQ(r.signal, 0) << describe(r);
    EXPECT_FALSE(sanitizerReported(r.err)) << r.err;
    EXPECT_EQ(playerMessages(r.err), std::vector<std::string>{message}) << r.err;
    EXPECT_NE(r.err.find("dravik-headless: 0 steps"), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(s.root() + "/state.jsonl"), "");
    std::set<std::string> files = filesUnder(s.game());
    EXPECT_EQ(files.count("flight.dvk"), 0u);
    for (const std::string& f : files) EXPECT_TRUE(f.rfind("media", 0) == 0) << "written: " << f;
}

// A start-up that went through: no message, the 20 steps flown and the recording saved.
void expectFlight(const Scratch& s, const RunResult& r) {
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    EXPECT_EQ(r.signal, 0) << describe(r);
    EXPECT_FALSE(sanitizerReported(r.err)) << r.err;
    EXPECT_TRUE(playerMessages(r.err).empty()) << r.err;
    EXPECT_EQ(lines(readBytes(s.root() + "/state.jsonl")).size(), 20u) << r.err;
    EXPECT_EQ(fs::exists(s.game() + "/flight.dvk") ? fs::file_size(s.game() + "/flight.dvk") : 0,
              120004u);
}

class DamagedMedia : public ::testing::TestWithParam<std::tuple<MediaFile, Damage>> {};

TEST_P(DamagedMedia, StartUpStopsWithTheFilesMessageOrGoesOnWithoutTheSkin) {
    auto [file, how] = GetParam();
    Scratch s(std::string("media-") + file.name + "-" + damageName(how));
    damage(s.media(file.name), how);
    RunOptions quick;
    quick.timeoutSeconds = 30;
    RunResult r = s.runner(flyArgs(s, false), quick);
    if (*file.message)
        expectFailedStartUp(s, r, file.message);
    else
        expectFlight(s, r);
    // The message's second line says in English what failed, the file and why.
    if (*file.message && how == Damage::Missing) {
        EXPECT_NE(r.err.find(std::string(file.message) + "\ncannot read "), std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find(std::string("media/") + file.name + ": No such file or directory"),
                  std::string::npos)
            << r.err;
    }
    if (*file.message && how == Damage::Fifo) {
        EXPECT_NE(r.err.find(std::string("media/") + file.name + ": not a regular file (a FIFO)"),
                  std::string::npos)
            << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFile, DamagedMedia,
                         ::testing::Combine(::testing::ValuesIn(kMedia),
                                            ::testing::Values(Damage::Missing, Damage::Empty,
                                                              Damage::Half, Damage::Garbage,
                                                              Damage::Fifo)),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param).name;
                             for (char& c : name)
                                 if (c == '.')
                                     c = '_';
                             return name + "_" + damageName(std::get<1>(info.param));
                         });

// The images and the model go through the GL device's own texture and mesh uploads, and a failure
// after the GL context exists must still end cleanly.
TEST(DamagedMediaWithGl, FailingStartUpAfterTheDeviceExistsEndsCleanly) {
    const std::pair<MediaFile, Damage> cases[] = {
        {kMedia[5], Damage::Half},      // myplane.x
        {kMedia[7], Damage::Garbage},   // BG.dds
        {kMedia[9], Damage::Empty},     // star.dds
        {kMedia[10], Damage::Missing},  // digit.dds, the last step
        {kMedia[0], Damage::Garbage},   // evening.mid, before the device
    };
    for (const auto& [file, how] : cases) {
        SCOPED_TRACE(std::string(file.name) + " " + damageName(how));
        Scratch s(std::string("gl-") + file.name);
        damage(s.media(file.name), how);
        expectFailedStartUp(s, s.runner(flyArgs(s, true)), file.message);
    }
}

TEST(DamagedMediaWithGl, AGarbagePlaneSkinLeavesThePlaneUntexturedAndTheGameFlies) {
    Scratch s("gl-planeskin");
    damage(s.media("planeskin.dds"), Damage::Garbage);
    std::vector<std::string> args = flyArgs(s, true);
    args.push_back("--shot");
    args.push_back("20:" + s.root() + "/shot.png");
    RunResult r = s.runner(args);
    expectFlight(s, r);
    EXPECT_GT(fs::exists(s.root() + "/shot.png") ? fs::file_size(s.root() + "/shot.png") : 0,
              10000u);
}

// Damage that leaves a file well-formed is not detectable and need not be: an image or a sound
// whose header is intact and whose pixels or samples are noise loads and shows or plays the noise.
// A MIDI or X file with its header intact and noise after it fails, because their bodies are
// structured all through.
TEST(DamageThatStillParses, IntactHeadersWithNoiseBehindThem) {
    struct Case {
        const char* file;
        size_t header;
        const char* message;
    };
    const Case cases[] = {
        {"BG.dds", 128, ""},
        {"digit.dds", 128, ""},
        {"star.dds", 128, ""},
        {"crush.wav", 44, ""},
        {"alert.wav", 44, ""},
        {"evening.mid", 22, "ＢＧＭファイル１の読み込みに失敗しました"},
        {"myplane.x", 16, "Ｘファイルの読み込みに失敗しました"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Scratch s(std::string("header-") + c.file);
        std::string bytes = readBytes(s.media(c.file));
        ASSERT_GT(bytes.size(), c.header);
        writeBytes(s.media(c.file),
                   bytes.substr(0, c.header) + garbage(bytes.size() - c.header, 77));
        RunResult r = s.runner(flyArgs(s, false));
        if (*c.message)
            expectFailedStartUp(s, r, c.message);
        else
            expectFlight(s, r);
    }
}

// A DDS header that claims a huge picture must be refused before anything that size is made.
TEST(DamageThatStillParses, ADdsHeaderClaimingAHugePictureIsRefused) {
    Scratch s("huge-dds");
    std::string bytes = readBytes(s.media("BG.dds"));
    ASSERT_GT(bytes.size(), 20u);
    for (int i = 12; i < 20; ++i) bytes[i] = i % 4 == 3 ? '\x7f' : '\xff';  // 0x7fffffff each
    writeBytes(s.media("BG.dds"), bytes);
    expectFailedStartUp(s, s.runner(flyArgs(s, false)), "背景画の読み込みに失敗しました");
}

// A media file of the other kind in a slot: a tune in a sound's place loads (the mixer cannot
// play it, and a failed sound is ignored during play); a wave in the first tune's place fails
// the step that marks the tune as a standard MIDI file, which has no message of its own.
TEST(DamageThatStillParses, FilesOfTheOtherKindInASlot) {
    {
        Scratch s("swap-sound");
        fs::copy_file(s.media("evening.mid"), s.media("crush.wav"),
                      fs::copy_options::overwrite_existing);
        expectFlight(s, s.runner(flyArgs(s, false)));
    }
    {
        Scratch s("swap-tune");
        fs::copy_file(s.media("crush.wav"), s.media("evening.mid"),
                      fs::copy_options::overwrite_existing);
        RunResult r = s.runner(flyArgs(s, false));
        EXPECT_EQ(r.exitCode, 0) << describe(r);
        EXPECT_EQ(r.signal, 0) << describe(r);
        EXPECT_FALSE(sanitizerReported(r.err)) << r.err;
        EXPECT_NE(r.err.find("dravik-headless: 0 steps"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(s.game() + "/flight.dvk"));
    }
    {
        Scratch s("swap-texture");
        fs::copy_file(s.media("BG.dds"), s.media("digit.dds"),
                      fs::copy_options::overwrite_existing);
        expectFlight(s, s.runner(flyArgs(s, false)));
    }
}

}  // namespace
