// The start-up order, its failure exits with their messages, the status lines, and a message that
// waits in the queue during loading.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/main_loop.h"
#include "fakes/game_harness.h"
#include "game/game_state.h"

namespace fs = std::filesystem;

namespace {

class StartUpTest : public GameTest {};

// Runs with the current folder moved to a copy of the media without one file.
class WithoutMediaFile {
  public:
    explicit WithoutMediaFile(const std::string& missing) : previous_(fs::current_path()) {
        dir_ = fs::temp_directory_path() / ("dravik-startup-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "media");
        for (const auto& entry : fs::directory_iterator(fs::path(DRAVIK_MEDIA_DIR)))
            if (entry.path().filename() != missing)
                fs::copy_file(entry.path(), dir_ / "media" / entry.path().filename());
        fs::current_path(dir_);
    }
    ~WithoutMediaFile() {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }

  private:
    fs::path previous_, dir_;
};

TEST_F(StartUpTest, StartsInOrderAndLeavesTheFirstGameReady) {
    ASSERT_TRUE(harness.start());
    auto calls = harness.music.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], "start");
    EXPECT_EQ(game.startupStage, 1);
    EXPECT_EQ(game.halted, 1);
    EXPECT_EQ(game.introActive, 1);
    EXPECT_EQ(game.cockpitView, 0);
    for (uint32_t b : game.bestPassTimes) EXPECT_EQ(b, 0xFFFFFFFFu);
    ASSERT_EQ(harness.window.statusPaints.size(), 1u);
    EXPECT_EQ(harness.window.statusPaints[0].count, 60);
    EXPECT_EQ(harness.window.statusPaints[0].x, 240);
    EXPECT_EQ(harness.window.statusPaints[0].y, 380);
    EXPECT_EQ(harness.window.statusPaints[0].text,
              "                Initialize Now...                           ");
    EXPECT_EQ(harness.music.primary, "evening.mid");
    EXPECT_TRUE(harness.window.messages.empty());
}

TEST_F(StartUpTest, DeviceFailureEndsStartUpWithoutAMessage) {
    harness.graphics.failCreate = true;
    EXPECT_FALSE(harness.start());
    EXPECT_TRUE(harness.window.messages.empty());
}

TEST_F(StartUpTest, EachMissingMediaFileShowsItsMessage) {
    const std::pair<const char*, const char*> cases[] = {
        {"BG.dds", "背景画の読み込みに失敗しました"},
        {"myplane.x", "Ｘファイルの読み込みに失敗しました"},
        {"digit.dds", "数字画像の読み込みに失敗しました"},
        {"arrow.dds", "矢印画の読み込みに失敗しました"},
        {"star.dds", "スパーク画の読み込みに失敗しました"},
    };
    for (const auto& [file, message] : cases) {
        harness.install();
        WithoutMediaFile without(file);
        EXPECT_FALSE(harness.start()) << file;
        ASSERT_EQ(harness.window.messages.size(), 1u) << file;
        // The message as it stands, then in English what failed, the file and why.
        EXPECT_EQ(harness.window.messages[0], std::string(message) + "\ncannot read media/" + file +
                                                  ": No such file or directory")
            << file;
        EXPECT_EQ(harness.window.captions[0], "Dravik");
        harness.window.messages.clear();
        harness.window.captions.clear();
    }
}

TEST_F(StartUpTest, MissingTuneEndsStartUpBeforeAnyGraphics) {
    harness.music.missingFiles.insert("media/velmo.mid");
    EXPECT_FALSE(harness.start());
    EXPECT_EQ(harness.graphics.lastDevice, nullptr);
    ASSERT_EQ(harness.window.messages.size(), 1u);
    EXPECT_EQ(harness.window.messages[0], "ＢＧＭファイル２の読み込みに失敗しました");
}

TEST_F(StartUpTest, KeyPressedDuringLoadingChoosesTheKeyboardAfterwards) {
    // The Up arrow waits in the queue while the first pass runs the start-up.
    harness.window.pushKey(0, 0x26);
    int code = 0;
    // The first pass takes the waiting key, then runs the start-up.
    ASSERT_TRUE(runPass(code));
    EXPECT_EQ(game.keyboardChosen, 1);
    EXPECT_EQ(game.startupStage, 1);
    ASSERT_EQ(harness.window.statusPaints.size(), 3u);  // loading twice, then the choice
    EXPECT_EQ(harness.window.statusPaints[2].text,
              "Choice your controller: Hit LButton or UpArrowKey");
    ASSERT_TRUE(runPass(code));
    EXPECT_EQ(game.startupStage, 2);
    EXPECT_EQ(game.running, 1);
    EXPECT_TRUE(harness.input.deviceMade);
    EXPECT_EQ(harness.input.kind, InputKind::Keyboard);
}

TEST_F(StartUpTest, PaintBeforeTheChoiceRepaintsTheStatusLine) {
    ASSERT_TRUE(harness.start());
    game.startupStage = 1;
    harness.window.statusPaints.clear();
    harness.window.pushNow({EventType::Paint, 0, 0});
    int code = 0;
    ASSERT_TRUE(runPass(code));
    ASSERT_EQ(harness.window.statusPaints.size(), 1u);
    EXPECT_EQ(harness.window.statusPaints[0].count, 49);
}

}  // namespace
