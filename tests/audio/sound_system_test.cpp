// The sound system over a fake music service: the order of its start-up, the results of its
// operations with and without a performance, and the order of its release.
#include "audio/sound_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "app/window_services.h"
#include "fakes/fake_music_service.h"
#include "game/game_state.h"

namespace {

// Window services that only keep the message boxes shown.
class MessageWindow : public WindowServices {
  public:
    struct Box {
        std::string text, caption;
    };
    std::vector<Box> boxes;

    bool nextEvent(WindowEvent&, int32_t) override { return false; }
    void postQuit(int) override {}
    void destroyWindow() override {}
    void invalidate() override {}
    ClientRect clientRect() override { return {}; }
    void paintStatus(const char*, int, int, int) override {}
    void messageBox(const std::string& text, const std::string& caption) override {
        boxes.push_back({text, caption});
    }
    bool openFileDialog(const FileDialog&, std::string&) override { return false; }
    bool saveFileDialog(const FileDialog&, std::string&) override { return false; }
};

std::string currentDirectory() {
    std::vector<char> buffer(4096);
    return getcwd(buffer.data(), buffer.size()) ? buffer.data() : "";
}

struct MediaFile {
    const char* name;
    const char* message;
};

const MediaFile kMedia[] = {
    {"evening.mid", "ＢＧＭファイル１の読み込みに失敗しました"},
    {"velmo.mid", "ＢＧＭファイル２の読み込みに失敗しました"},
    {"crush.wav", "サウンドファイル１の読み込みに失敗しました"},
    {"sound136.wav", "サウンドファイル２の読み込みに失敗しました"},
    {"alert.wav", "サウンドファイル３の読み込みに失敗しました"},
};

class SoundSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetGameState();
        game.musicPlatform = &service;
        game.mainWindow = &window;
    }
    void TearDown() override {
        sound.release();
        resetGameState();
    }

    // Every playing operation once; true when any of them reported success.
    bool anyOperationSucceeds() {
        bool any = false;
        any |= sound.playMusic(0);
        any |= sound.playSound(0);
        any |= sound.setTempo(1.0f);
        any |= sound.setTempo(-1.0f);
        any |= sound.setVolume(-10000);
        any |= sound.stopAll();
        return any;
    }

    FakeMusicService service;
    MessageWindow window;
    SoundSystem sound;
};

TEST_F(SoundSystemTest, InitStartsTheServiceThenLoadsMarksAndDownloadsInOrder) {
    ASSERT_TRUE(sound.init());
    std::string dir = currentDirectory();
    std::vector<std::string> expected = {"start"};
    for (const MediaFile& file : kMedia) expected.push_back("load " + dir + "/media/" + file.name);
    expected.push_back("setStandardMidiFile evening.mid");
    for (const MediaFile& file : kMedia) expected.push_back(std::string("download ") + file.name);
    EXPECT_EQ(service.calls(), expected);
    EXPECT_EQ(sound.performance, &service);
    EXPECT_EQ(sound.workingDirectory, dir);
    EXPECT_FALSE(sound.sounds[3]) << "the fourth sound slot stays empty";
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(SoundSystemTest, EachMissingFileShowsItsOwnMessageAndEndsInit) {
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(kMedia[i].name);
        FakeMusicService broken;
        broken.missingFiles = {std::string("media/") + kMedia[i].name};
        game.musicPlatform = &broken;
        window.boxes.clear();
        {
            SoundSystem system;
            EXPECT_FALSE(system.init());
            ASSERT_EQ(window.boxes.size(), 1u);
            EXPECT_EQ(window.boxes[0].text, kMedia[i].message);
            EXPECT_EQ(window.boxes[0].caption, "Dravik");
            // Loading stopped at the missing file; nothing was marked or downloaded.
            EXPECT_EQ(broken.callsStartingWith("load ").size(), size_t(i + 1));
            EXPECT_TRUE(broken.callsStartingWith("setStandardMidiFile").empty());
            EXPECT_TRUE(broken.callsStartingWith("download").empty());
            // The service had started, so the performance is there to be released.
            EXPECT_EQ(system.performance, &broken);
            broken.clearLog();
            system.release();
            std::vector<std::string> expected = {"stop", "closeDown"};
            for (int k = 0; k < i; ++k)
                expected.push_back(std::string("release ") + kMedia[k].name);
            EXPECT_EQ(broken.calls(), expected);
        }
    }
    game.musicPlatform = &service;
}

TEST_F(SoundSystemTest, FailuresOtherThanLoadingEndInitWithoutAMessage) {
    const char* steps[] = {"setStandardMidiFile evening.mid",
                           "download evening.mid",
                           "download velmo.mid",
                           "download crush.wav",
                           "download sound136.wav",
                           "download alert.wav"};
    for (const char* step : steps) {
        SCOPED_TRACE(step);
        FakeMusicService broken;
        broken.failing = {step};
        game.musicPlatform = &broken;
        SoundSystem system;
        EXPECT_FALSE(system.init());
        EXPECT_TRUE(window.boxes.empty());
        EXPECT_EQ(broken.calls().back(), step) << "nothing runs after the failing step";
        system.release();
    }
    game.musicPlatform = &service;
}

TEST_F(SoundSystemTest, ServiceThatDoesNotStartLeavesNoPerformance) {
    service.failing = {"start"};
    EXPECT_FALSE(sound.init());
    EXPECT_EQ(service.calls(), std::vector<std::string>{"start"});
    EXPECT_EQ(sound.performance, nullptr);
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_FALSE(anyOperationSucceeds());
    sound.release();
    EXPECT_EQ(service.calls(), std::vector<std::string>{"start"}) << "nothing to stop or close";

    game.musicPlatform = nullptr;
    EXPECT_FALSE(sound.init());
}

// Makes nested directories under `base` whose full path has exactly `length` characters.
std::string directoryOfLength(const std::string& base, size_t length) {
    std::string path = base;
    while (length - path.size() > 101) path += "/" + std::string(50, 'd');
    path += "/" + std::string(length - path.size() - 1, 'e');
    std::filesystem::create_directories(path);
    return path;
}

TEST_F(SoundSystemTest, CurrentDirectoryMustFitTwoHundredSixtyCharacters) {
    std::string home = currentDirectory();
    std::string base = std::filesystem::canonical(std::filesystem::temp_directory_path()).string() +
                       "/dravik-cwd-" + std::to_string(getpid());
    for (size_t length : {size_t(259), size_t(260)}) {
        SCOPED_TRACE(length);
        std::string dir = directoryOfLength(base, length);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        ASSERT_EQ(currentDirectory().size(), length);
        FakeMusicService local;
        game.musicPlatform = &local;
        SoundSystem system;
        bool ok = system.init();
        ASSERT_EQ(chdir(home.c_str()), 0);
        if (length == 259) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(system.workingDirectory, dir);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(local.calls(), std::vector<std::string>{"start"}) << "no file is loaded";
            EXPECT_TRUE(window.boxes.empty());
        }
        system.release();
    }
    std::filesystem::remove_all(base);
    game.musicPlatform = &service;
}

TEST_F(SoundSystemTest, TempoOfZeroOrLessOnlyAnswersWhetherTheSystemIsUp) {
    EXPECT_FALSE(sound.setTempo(-1.0f)) << "not initialised yet";
    ASSERT_TRUE(sound.init());
    ASSERT_TRUE(sound.setTempo(0.8f));
    service.clearLog();
    EXPECT_TRUE(sound.setTempo(0.0f));
    EXPECT_TRUE(sound.setTempo(-1.0f));
    EXPECT_TRUE(sound.setTempo(-0.0f));
    EXPECT_TRUE(sound.setTempo(std::nanf("")));
    EXPECT_TRUE(service.calls().empty());
    EXPECT_FLOAT_EQ(service.tempo, 0.8f);

    // The frame step's factors reach the service as they are: speed 30 and speed 110.
    EXPECT_TRUE(sound.setTempo(1.0f));
    EXPECT_TRUE(sound.setTempo(0.8f + (110 - 10) * 0.01f));
    EXPECT_EQ(service.calls(),
              (std::vector<std::string>{"setMasterTempo 1", "setMasterTempo 1.8"}));
}

TEST_F(SoundSystemTest, PlayingReachesTheSlotsSegmentsAndRefusesEmptyOrUnknownSlots) {
    ASSERT_TRUE(sound.init());
    service.clearLog();
    EXPECT_TRUE(sound.playMusic(0));
    EXPECT_TRUE(sound.playSound(0));
    EXPECT_TRUE(sound.playSound(0));  // two in quick succession both play
    EXPECT_TRUE(sound.playMusic(1));
    EXPECT_TRUE(sound.playSound(1));
    EXPECT_TRUE(sound.playSound(2));
    EXPECT_EQ(service.calls(),
              (std::vector<std::string>{"playPrimary evening.mid", "playSecondary crush.wav",
                                        "playSecondary crush.wav", "playPrimary velmo.mid",
                                        "playSecondary sound136.wav", "playSecondary alert.wav"}));
    EXPECT_EQ(service.primary, "velmo.mid");
    EXPECT_EQ(service.secondaries.size(), 4u);

    service.clearLog();
    EXPECT_FALSE(sound.playSound(3)) << "the empty fourth slot";
    EXPECT_FALSE(sound.playSound(4));
    EXPECT_FALSE(sound.playSound(-1));
    EXPECT_FALSE(sound.playMusic(2));
    EXPECT_FALSE(sound.playMusic(-1));
    EXPECT_TRUE(service.calls().empty());

    EXPECT_TRUE(sound.stopAll());
    EXPECT_EQ(service.primary, "");
    EXPECT_TRUE(service.secondaries.empty());
}

TEST_F(SoundSystemTest, ServiceFailuresAreReportedToTheCaller) {
    ASSERT_TRUE(sound.init());
    service.failing = {"playPrimary", "playSecondary", "setMasterTempo", "setMasterVolume", "stop"};
    EXPECT_FALSE(sound.playMusic(0));
    EXPECT_FALSE(sound.playSound(1));
    EXPECT_FALSE(sound.setTempo(1.2f));
    EXPECT_TRUE(sound.setTempo(-1.0f)) << "the initialisation test never reaches the service";
    EXPECT_FALSE(sound.setVolume(-500));
    EXPECT_FALSE(sound.stopAll());
}

TEST_F(SoundSystemTest, VolumeIsOnlyChangedBySetVolume) {
    ASSERT_TRUE(sound.init());
    // Muted, then a new game: the tempo and the new tune leave the muted level in effect.
    ASSERT_TRUE(sound.setVolume(-10000));
    service.clearLog();
    EXPECT_TRUE(sound.setTempo(0.8f));
    EXPECT_TRUE(sound.playMusic(0));
    EXPECT_TRUE(sound.stopAll());
    EXPECT_TRUE(sound.playMusic(1));
    EXPECT_TRUE(service.callsStartingWith("setMasterVolume").empty());
    EXPECT_EQ(service.volume, -10000);
    // The levels of a game's end pass through unchanged.
    for (int32_t level : {1, -499, -1499, -2499, -4499, 1}) {
        EXPECT_TRUE(sound.setVolume(level));
        EXPECT_EQ(service.volume, level);
    }
}

TEST_F(SoundSystemTest, ReleaseStopsClosesDownThenFreesTheSegmentsInOrder) {
    ASSERT_TRUE(sound.init());
    ASSERT_TRUE(sound.playMusic(0));
    service.clearLog();
    sound.release();
    EXPECT_EQ(service.calls(),
              (std::vector<std::string>{"stop", "closeDown", "release evening.mid",
                                        "release velmo.mid", "release crush.wav",
                                        "release sound136.wav", "release alert.wav"}));
    EXPECT_EQ(sound.performance, nullptr);
    for (const auto& slot : sound.music) EXPECT_FALSE(slot);
    for (const auto& slot : sound.sounds) EXPECT_FALSE(slot);

    service.clearLog();
    EXPECT_FALSE(anyOperationSucceeds());
    sound.release();
    EXPECT_TRUE(service.calls().empty()) << "after release nothing reaches the service";
}

}  // namespace
