// The words on screen: what each says (from the state, through the same conditions the keys
// obey) and where it goes on the 640 x 480 picture, clear of the time digits (top right) and the
// arrow (bottom centre), on a dark panel that reads over the bright and the dark sky.
#include "hud/overlays.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "controls/flight_recorder.h"
#include "game/command_keys.h"
#include "game/game_state.h"
#include "game/ghost_path.h"
#include "game/shell_options.h"
#include "gfx/text_renderer.h"
#include "hud/splits.h"

OverlayNote overlayNote;

namespace {

// Seconds of flight per recorded frame: one frame per 31 ms step.
constexpr float kSecondsPerFrame = 0.031f;
// Lines kept before the pictures are made afresh (the replay mark makes a new one every step).
constexpr size_t kMostLines = 64;

constexpr uint32_t kPanelColour = 0xC0101820;  // dark blue-grey, three quarters opaque
constexpr uint32_t kTextColour = 0xFFFFFFFF;
constexpr uint32_t kKeyColour = 0xFFFFD040;  // amber key names
constexpr uint32_t kReplayColour = 0xFFFF6A5A;
constexpr uint32_t kAheadColour = 0xFF50F070;   // a split ahead of the ghost or the record
constexpr uint32_t kBehindColour = 0xFFFF5050;  // one behind

constexpr int kTitlePixels = 22;
constexpr int kRowPixels = 16;
constexpr int kSmallPixels = 15;

}  // namespace

void showOverlayNote(const std::string& text, uint32_t nowTick) {
    overlayNote.text = text;
    overlayNote.shownAt = nowTick;
}

std::vector<KeyRow> pausePanelRows(const GameState& state) {
    std::vector<KeyRow> rows;
    if (commandActs(state, Command::Pause))
        rows.push_back({"F1", "resume"});
    if (commandActs(state, Command::Replay))
        rows.push_back({"F2", "replay"});
    if (commandActs(state, Command::NewGame))
        rows.push_back({"F3", "new game"});
    if (commandActs(state, Command::Load))
        rows.push_back({"F5", "load a recording"});
    if (commandActs(state, Command::Save))
        rows.push_back({"F6", "save the recording"});
    rows.push_back({"Ctrl", state.cockpitView ? "chase view" : "cockpit view"});
    rows.push_back({"G", ghost.enabled ? "ghost off" : "ghost on"});
    rows.push_back({"M", state.musicOn ? "sound off" : "sound on"});
    rows.push_back({"Esc", "quit"});
    return rows;
}

std::string replayMarkText(const FlightRecorder& recorder) {
    char speed[24] = "";
    unsigned n = shellOptions.replaySpeedNumerator, d = shellOptions.replaySpeedDenominator;
    if (d > 1)
        std::snprintf(speed, sizeof speed, "  %u/%ux", n, d);
    else if (n != 1)
        std::snprintf(speed, sizeof speed, "  %ux", n);
    char text[96];
    std::snprintf(text, sizeof text, "REPLAY%s  %.1f / %.1f s", speed,
                  double(float(recorder.position) * kSecondsPerFrame),
                  double(float(recorder.recordedLength) * kSecondsPerFrame));
    return text;
}

std::string resultHintText(const GameState& state) {
    std::string hint;
    auto add = [&](Command command, const char* words) {
        if (!commandActs(state, command))
            return;
        if (!hint.empty())
            hint += "     ";
        hint += words;
    };
    add(Command::NewGame, "F3 new game");
    add(Command::Replay, "F2 replay");
    add(Command::Save, "F6 save");
    return hint;
}

bool OverlayPainter::create(GraphicsDevice& device, TextRenderer* text) {
    device_ = &device;
    renderer_ = text;
    sprite_ = device.createSprite();
    Image white;
    white.width = white.height = 2;
    white.data.assign(2 * 2 * 4, 0xFF);
    white_ = device.createTexture(white);
    return sprite_ && white_ && renderer_;
}

void OverlayPainter::release() {
    lines_.clear();
    white_.reset();
    sprite_.reset();
    device_ = nullptr;
}

Texture* OverlayPainter::line(const std::string& text, int layoutPixels) {
    int pixels = int(std::lround(float(layoutPixels) * scale_));
    auto key = std::make_pair(text, pixels);
    auto found = lines_.find(key);
    if (found != lines_.end())
        return found->second.get();
    if (!renderer_ || !device_)
        return nullptr;
    if (lines_.size() >= kMostLines)
        lines_.clear();
    Image picture;
    std::unique_ptr<Texture> texture;
    if (renderer_->render(text, pixels, picture) && picture.width > 0 && picture.height > 0)
        texture = device_->createTexture(picture);
    Texture* made = texture.get();
    lines_[key] = std::move(texture);  // a line that cannot be drawn is not asked for again
    return made;
}

void OverlayPainter::panel(float left, float top, float width, float height, uint32_t colour) {
    if (!sprite_ || !white_)
        return;
    // The middle of the 2 x 2 white picture, stretched: no filtering at its edges.
    const Rect source{1, 1, 2, 2};
    const Vec2 scaling{width, height};
    const Vec2 at{std::round(left), std::round(top)};
    sprite_->draw(white_.get(), &source, &scaling, nullptr, 0.0f, &at, colour);
}

void OverlayPainter::text(Texture* picture, float left, float top, uint32_t colour) {
    if (!sprite_ || !picture)
        return;
    // Whole pixels of the picture, each glyph's pixel on one of them, so the glyphs stay sharp.
    const Vec2 at{std::round(left * scale_) / scale_, std::round(top * scale_) / scale_};
    const Vec2 scaling{1.0f / scale_, 1.0f / scale_};
    sprite_->draw(picture, nullptr, scale_ == 1.0f ? nullptr : &scaling, nullptr, 0.0f, &at,
                  colour);
}

float OverlayPainter::widthOf(Texture* picture) const {
    return picture ? float(picture->width()) / scale_ : 0.0f;
}

float OverlayPainter::heightOf(Texture* picture) const {
    return picture ? float(picture->height()) / scale_ : 0.0f;
}

void createOverlays() {
    releaseOverlays();
    if (!game.device || !game.textPlatform)
        return;
    auto painter = std::make_unique<OverlayPainter>();
    if (painter->create(*game.device, game.textPlatform))
        game.overlayPainter = painter.release();
}

void releaseOverlays() {
    if (game.overlayPainter) {
        game.overlayPainter->release();
        delete game.overlayPainter;
        game.overlayPainter = nullptr;
    }
}

namespace {

// Places on the 640 x 480 layout.
struct Layout {
    float at(float layoutPixels) const { return layoutPixels; }
    int pixels(int layoutPixels) const { return layoutPixels; }
};

// One line on its own dark panel: `pad` around it (half of it above and below), from `left`, `top`.
void drawBoxedLine(OverlayPainter& painter, Texture* line, float left, float top, float pad,
                   uint32_t colour) {
    painter.panel(left, top, painter.widthOf(line) + 2 * pad, painter.heightOf(line) + pad,
                  kPanelColour);
    painter.text(line, left + pad, top + pad / 2, colour);
}

// Centred on the picture between y = 104 and 376: under the time digits' rows, above the arrow.
void drawPausePanel(const GameState& state, OverlayPainter& painter, const Layout& l) {
    std::vector<KeyRow> rows = pausePanelRows(state);
    const float rowHeight = l.at(23);
    const float width = l.at(250), keyColumn = l.at(58);
    const float height = l.at(52) + rowHeight * float(rows.size()) + l.at(10);
    const float left = l.at(320) - width / 2, top = l.at(240) - height / 2;
    painter.panel(left, top, width, height, kPanelColour);
    Texture* title = painter.line("PAUSED", l.pixels(kTitlePixels));
    painter.text(title, l.at(320) - painter.widthOf(title) / 2, top + l.at(10), kTextColour);
    float y = top + l.at(48);
    for (const KeyRow& row : rows) {
        painter.text(painter.line(row.key, l.pixels(kRowPixels)), left + l.at(24), y, kKeyColour);
        painter.text(painter.line(row.action, l.pixels(kRowPixels)), left + l.at(24) + keyColumn, y,
                     kTextColour);
        y += rowHeight;
    }
}

// A small panel, left of centre at the top: the digits hold the top right corner.
void drawReplayMark(const GameState& state, OverlayPainter& painter, const Layout& l) {
    Texture* mark = painter.line(replayMarkText(*state.flightRecorder), l.pixels(kSmallPixels));
    if (!mark)
        return;
    drawBoxedLine(painter, mark, l.at(10), l.at(10), l.at(7), kReplayColour);
}

// Near the bottom, above where the arrow stands in flight.
void drawResultHint(const GameState& state, OverlayPainter& painter, const Layout& l) {
    std::string hint = resultHintText(state);
    if (hint.empty())
        return;
    Texture* line = painter.line(hint, l.pixels(kRowPixels));
    if (!line)
        return;
    const float pad = l.at(8);
    const float width = painter.widthOf(line) + 2 * pad, height = painter.heightOf(line) + pad;
    drawBoxedLine(painter, line, l.at(320) - width / 2, l.at(404) - height, pad, kTextColour);
}

// Centred under the replay mark's row, left of the digits.
void drawNote(OverlayPainter& painter, const Layout& l) {
    Texture* line = painter.line(overlayNote.text, l.pixels(kSmallPixels));
    if (!line)
        return;
    const float pad = l.at(8);
    const float width = painter.widthOf(line) + 2 * pad;
    drawBoxedLine(painter, line, l.at(300) - width / 2, l.at(52), pad, kKeyColour);
}

// Under the time digits at the top right, clear of the large time of a record pass.
void drawSplit(OverlayPainter& painter, const Layout& l) {
    Texture* line = painter.line(splitBoard.text, l.pixels(kTitlePixels));
    if (!line)
        return;
    const float pad = l.at(7);
    const float width = painter.widthOf(line) + 2 * pad;
    drawBoxedLine(painter, line, l.at(630) - width, l.at(64), pad,
                  splitBoard.ahead ? kAheadColour : kBehindColour);
}

// Above the hint: the flight's time beside the record, then the four pass times.
void drawResultRecords(const GameState& state, OverlayPainter& painter, const Layout& l) {
    std::vector<std::string> lines = resultRecordLines(state, splitBoard);
    std::vector<Texture*> pictures;
    float width = 0;
    for (const std::string& text : lines) {
        Texture* t = painter.line(text, l.pixels(kRowPixels));
        if (!t)
            return;
        pictures.push_back(t);
        width = std::max(width, painter.widthOf(t));
    }
    const float pad = l.at(8), rowHeight = l.at(22);
    const float height = rowHeight * float(pictures.size()) + pad;
    const float top = l.at(362) - height;
    width += 2 * pad;
    painter.panel(l.at(320) - width / 2, top, width, height, kPanelColour);
    float y = top + pad / 2;
    for (size_t i = 0; i < pictures.size(); ++i) {
        uint32_t colour = i == 0 && splitBoard.newRecord ? kAheadColour : kTextColour;
        painter.text(pictures[i], l.at(320) - painter.widthOf(pictures[i]) / 2, y, colour);
        y += rowHeight;
    }
}

}  // namespace

void drawOverlays(const GameState& state, StepPicture picture) {
    if (!overlaysShown() || !state.overlayPainter || !state.device ||
        picture == StepPicture::Nothing)
        return;
    OverlayPainter& painter = *state.overlayPainter;
    Layout layout;
    painter.setPictureScale(float(state.device->backBufferHeight()) / 480.0f);

    state.device->beginScene();
    if (picture == StepPicture::ResultScreen) {
        drawResultHint(state, painter, layout);
        drawResultRecords(state, painter, layout);
    } else if (state.halted && !state.introActive && !state.gameOver)
        drawPausePanel(state, painter, layout);
    if (state.replaying && state.flightRecorder && picture == StepPicture::Flight)
        drawReplayMark(state, painter, layout);
    bool noteFresh = !overlayNote.text.empty() &&
                     uint32_t(state.nowTick - overlayNote.shownAt) < kNoteMilliseconds;
    // The intro runs while halted; a note from it (the G key's) shows there too.
    if (noteFresh && (!state.halted || state.introActive))
        drawNote(painter, layout);
    if (picture == StepPicture::Flight && splitFresh(splitBoard, state.nowTick))
        drawSplit(painter, layout);
    state.device->endScene();
}
