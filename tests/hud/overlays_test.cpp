// The words on screen: what they say follows the keys that act now; they show only out of classic
// mode with the setting on; a pause shows its panel over the flight drawn again; none of them
// covers the time digits or the arrow; a note comes for a key that waits for a pause and goes.
#include "hud/overlays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/window_procedure.h"
#include "app/window_services.h"
#include "audio/sound_system.h"
#include "controls/flight_recorder.h"
#include "fakes/fake_text_renderer.h"
#include "fakes/game_harness.h"
#include "game/game_state.h"
#include "game/shell_options.h"

namespace {

struct Box {
    float left, top, right, bottom;
    bool meets(const Box& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
};

// Where the original puts the time digits (both sizes) and the arrow, on the 640 x 480 picture.
const Box kDigits{555, 0, 640, 50};
const Box kArrow{288, 410, 352, 474};

class OverlaysTest : public GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        saved = shellOptions;
        shellOptions = ShellOptions{};
        shellOptions.classic = false;
        overlayNote = OverlayNote{};
        game.textPlatform = &text;
    }
    void TearDown() override {
        shellOptions = saved;
        overlayNote = OverlayNote{};
        GameTest::TearDown();
    }
    void key(int vk) { windowProcedure({EventType::KeyDown, vk, 0}); }
    // Flying live after the intro, with the device's log cleared.
    void fly() {
        harness.startPlaying();
        harness.finishIntro();
        harness.step();
    }
    bool asked(const std::string& line) const {
        return std::find(text.asked.begin(), text.asked.end(), line) != text.asked.end();
    }
    // The boxes of the sprite draws since the log was cleared whose picture was made since then
    // or is the panels' white texel: the words and their panels.
    std::vector<Box> overlayBoxes() {
        std::set<const void*> made;
        std::map<const void*, std::pair<float, float>> sizes;
        for (const DeviceCall& c : harness.device().callsOf("CreateTexture")) made.insert(c.object);
        std::vector<Box> boxes;
        for (const DeviceCall& c : harness.device().callsOf("SpriteDraw")) {
            auto* t = static_cast<const Texture*>(c.object);
            if (!made.count(c.object) && !(t && t->width() == 2 && t->height() == 2))
                continue;
            float w = c.hasSource ? float(c.source.right - c.source.left) : float(t->width());
            float h = c.hasSource ? float(c.source.bottom - c.source.top) : float(t->height());
            boxes.push_back({c.translation.x, c.translation.y, c.translation.x + w * c.scaling.x,
                             c.translation.y + h * c.scaling.y});
        }
        return boxes;
    }
    FakeTextRenderer text;
    ShellOptions saved;
};

TEST_F(OverlaysTest, ThePausePanelListsTheKeysThatActNow) {
    fly();
    key(kVkF1);
    auto keys = [] {
        std::vector<std::string> out;
        for (const KeyRow& row : pausePanelRows(game)) out.push_back(row.key);
        return out;
    };
    using Keys = std::vector<std::string>;
    EXPECT_EQ(keys(), (Keys{"F1", "F2", "F3", "F5", "F6", "Ctrl", "M", "Esc"}));
    // Steering held at the last read: F2 does nothing (it would replay over a held key).
    game.steering = 1;
    EXPECT_EQ(keys(), (Keys{"F1", "F3", "F5", "F6", "Ctrl", "M", "Esc"}));
    game.steering = 0;
    // Paused in a replay: F2 waits for its end.
    game.replaying = 1;
    EXPECT_EQ(keys(), (Keys{"F1", "F3", "F5", "F6", "Ctrl", "M", "Esc"}));
    game.replaying = 0;
    // The view and the sound say what they switch to.
    EXPECT_EQ(pausePanelRows(game)[5].action, "cockpit view");
    key(kVkControl);
    key(kVkM);
    EXPECT_EQ(pausePanelRows(game)[5].action, "chase view");
    EXPECT_EQ(pausePanelRows(game)[6].action, "sound on");
    // No sound system: no load or save.
    game.soundSystem->release();
    EXPECT_EQ(keys(), (Keys{"F1", "F2", "F3", "Ctrl", "M", "Esc"}));
}

TEST_F(OverlaysTest, TheReplayMarkAndTheResultHintSayWhereAndWhatNext) {
    FlightRecorder recorder(20000);
    recorder.position = 0;
    recorder.recordedLength = 4629;
    EXPECT_EQ(replayMarkText(recorder), "REPLAY  0.0 / 143.5 s");
    recorder.position = 4629;
    EXPECT_EQ(replayMarkText(recorder), "REPLAY  143.5 / 143.5 s");
    recorder.recordedLength = recorder.position = 20000;
    EXPECT_EQ(replayMarkText(recorder), "REPLAY  620.0 / 620.0 s");

    harness.startPlaying();
    game.gameOver = 1;
    game.halted = 1;
    EXPECT_EQ(resultHintText(game), "F3 new game     F2 replay     F6 save");
    game.steering = 1;  // held at the last read before the end: F2 does nothing
    EXPECT_EQ(resultHintText(game), "F3 new game     F6 save");
}

TEST_F(OverlaysTest, APauseShowsItsPanelOverTheFlightOnlyOutOfClassicModeWithTheSettingOn) {
    fly();
    key(kVkF1);
    // Classic: the last frame stays, nothing is drawn or presented while paused.
    shellOptions.classic = true;
    harness.device().reset();
    harness.step();
    EXPECT_EQ(harness.device().count("Present"), 0u);
    EXPECT_FALSE(asked("PAUSED"));
    // overlays=off: the same.
    shellOptions.classic = false;
    shellOptions.overlays = false;
    harness.step();
    EXPECT_EQ(harness.device().count("Present"), 0u);
    EXPECT_FALSE(asked("PAUSED"));
    // On: each paused step draws the flight as it stands (the cones included) and the panel.
    shellOptions.overlays = true;
    harness.step();
    EXPECT_EQ(harness.device().count("Present"), 1u);
    EXPECT_EQ(harness.device().count("Clear"), 1u);
    EXPECT_GE(harness.device().count("DrawSubset"), 250u);
    EXPECT_TRUE(asked("PAUSED"));
    EXPECT_TRUE(asked("resume"));
    EXPECT_FALSE(overlayBoxes().empty());
    // A picture is made once per line and kept.
    size_t linesMade = text.asked.size();
    harness.step();
    EXPECT_EQ(text.asked.size(), linesMade);
    // No font: no words, and the game goes on.
    text.noFont = true;
    text.asked.clear();
    key(kVkF1);
    key(kVkF1);
    harness.step();
    EXPECT_EQ(game.halted, 1);
}

TEST_F(OverlaysTest, NoWordsCoverTheTimeDigitsOrTheArrow) {
    fly();
    // The note, in flight.
    harness.device().reset();
    key(kVkF3);
    harness.step();
    std::vector<Box> boxes = overlayBoxes();
    ASSERT_FALSE(boxes.empty()) << "the note is drawn";
    // The panel, at its longest.
    key(kVkF1);
    harness.device().reset();
    harness.step();
    for (const Box& b : overlayBoxes()) boxes.push_back(b);
    // The replay mark.
    key(kVkF2);
    harness.finishIntro();
    harness.device().reset();
    harness.step();
    std::vector<Box> mark = overlayBoxes();
    ASSERT_FALSE(mark.empty()) << "the replay mark is drawn";
    EXPECT_TRUE(asked(replayMarkText(*game.flightRecorder)));
    boxes.insert(boxes.end(), mark.begin(), mark.end());
    // The result screen's hint.
    game.gameOver = 1;
    game.halted = 1;
    game.replaying = 0;
    harness.device().reset();
    harness.step();
    std::vector<Box> hint = overlayBoxes();
    ASSERT_FALSE(hint.empty()) << "the hint is drawn";
    boxes.insert(boxes.end(), hint.begin(), hint.end());

    for (const Box& b : boxes) {
        EXPECT_FALSE(b.meets(kDigits))
            << b.left << "," << b.top << " - " << b.right << "," << b.bottom;
        EXPECT_FALSE(b.meets(kArrow))
            << b.left << "," << b.top << " - " << b.right << "," << b.bottom;
        EXPECT_GE(b.left, 0);
        EXPECT_GE(b.top, 0);
        EXPECT_LE(b.right, 640);
        EXPECT_LE(b.bottom, 480);
    }
}

TEST_F(OverlaysTest, AKeyThatWaitsForAPauseSaysSoForTwoSeconds) {
    fly();
    for (int vk : {kVkF2, kVkF3, kVkF5, kVkF6}) {
        text.asked.clear();
        key(vk);
        harness.step();
        std::string name = vk == kVkF2 ? "F2" : vk == kVkF3 ? "F3" : vk == kVkF5 ? "F5" : "F6";
        EXPECT_TRUE(asked(name + kNoteActsWhenPaused)) << name;
    }
    EXPECT_EQ(game.halted, 0) << "the keys themselves still do nothing";
    // Gone after two seconds.
    for (int i = 0; i < 70; ++i) harness.step();
    text.asked.clear();
    harness.device().reset();
    harness.step();
    EXPECT_TRUE(overlayBoxes().empty());
    // A key that acts leaves no note.
    key(kVkF1);
    overlayNote = OverlayNote{};
    key(kVkF6);
    EXPECT_TRUE(overlayNote.text.empty());
}

}  // namespace
