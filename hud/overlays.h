// The words on screen of the modern shell, out of classic mode: the panel of keys while paused,
// the replay mark, the result screen's hint and a short note when a key waits for a pause. They
// are drawn over the picture and change nothing.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "game/frame_step.h"
#include "gfx/graphics_device.h"

struct GameState;
class FlightRecorder;
class TextRenderer;

// The note's text after the key's name.
constexpr const char* kNoteActsWhenPaused = " acts when paused (F1) or on the result screen";
constexpr const char* kNoteGhostWaits = "G acts when paused (F1) or in the intro";
// How long a note stays.
constexpr uint32_t kNoteMilliseconds = 2000;

// The note the window procedure leaves for a key that could not act; empty when none.
struct OverlayNote {
    std::string text;
    uint32_t shownAt = 0;
};
extern OverlayNote overlayNote;
void showOverlayNote(const std::string& text, uint32_t nowTick);

// One key and what it does, a row of the pause panel.
struct KeyRow {
    std::string key;
    std::string action;
};
// The keys that act in the state as it stands, in the order the panel lists them.
std::vector<KeyRow> pausePanelRows(const GameState& state);
// The replay mark: "REPLAY" with the replay's position and length in seconds of flight.
std::string replayMarkText(const FlightRecorder& recorder);
// The result screen's hint: the keys that start something from there.
std::string resultHintText(const GameState& state);

// What the overlays are made of on the device: one sprite, a white texel for the panels, and the
// pictures of the lines of text, each made once (by the text renderer) and kept.
class OverlayPainter {
  public:
    bool create(GraphicsDevice& device, TextRenderer* text);
    void release();

    // Places and sizes are in the 640 x 480 layout, which the device scales to the picture;
    // `scale` is the picture's pixels per layout pixel, so that lines are drawn at the picture's
    // own resolution and stay sharp.
    void setPictureScale(float scale) { scale_ = scale > 0 ? scale : 1.0f; }
    // The picture of a line at a pixel size of the layout; null when no font can draw it.
    Texture* line(const std::string& text, int pixels);
    void panel(float left, float top, float width, float height, uint32_t colour);
    void text(Texture* picture, float left, float top, uint32_t colour);
    // A line's size in the layout.
    float widthOf(Texture* picture) const;
    float heightOf(Texture* picture) const;

  private:
    GraphicsDevice* device_ = nullptr;
    TextRenderer* renderer_ = nullptr;
    std::unique_ptr<Sprite> sprite_;
    std::unique_ptr<Texture> white_;
    std::map<std::pair<std::string, int>, std::unique_ptr<Texture>> lines_;
    float scale_ = 1;
};

// Made at start-up when the game has a text renderer (no renderer or no font: no words, the game
// goes on); released with the device.
void createOverlays();
void releaseOverlays();
// Draws the words that belong to the state and the picture just drawn, when they are shown (not
// in classic mode, not with overlays=off). No present.
void drawOverlays(const GameState& state, StepPicture picture);
