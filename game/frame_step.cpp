// One frame step: the phase tests in their fixed order, the intro fade, the finish and game-over
// sequence, the flight's movement with its contact and pass tests, then the drawing of the state
// it left, the present and the music tempo.
#include "game/frame_step.h"

#include <cmath>
#include <cstdint>

#include "aircraft/ghost_plane.h"
#include "aircraft/player_plane.h"
#include "aircraft/result_screen.h"
#include "audio/sound_system.h"
#include "controls/flight_recorder.h"
#include "controls/input_reader.h"
#include "game/flight_pose.h"
#include "game/game_state.h"
#include "game/shell_options.h"
#include "gfx/portable_trig.h"
#include "hud/hud.h"
#include "hud/overlays.h"
#include "hud/spark_effect.h"
#include "scene/background.h"
#include "scene/device_setup.h"
#include "scene/obstacles.h"
#include "scene/targets.h"

namespace {

constexpr uint32_t kFlightAmbient = 0x404040;
// The background and the cones in the cockpit view while the plane bounces off a cone.
constexpr uint32_t kBumpSkyAmbient = 0xFF8888;
constexpr uint32_t kPlaneAmbient = 0x550000;

bool setVolume(int32_t volume) {
    return game.soundSystem ? game.soundSystem->setVolume(volume) : false;
}

// The sky colour from the game time: whole seconds modulo 180 on a sine swing. Computed in double
// precision with the factor 0.017453292, a little below pi/180: so w stays just below 60 at 30 s
// and just above it at 150 s, and just below 120 at 90 s.
uint32_t skyColour(uint32_t elapsedTenths) {
    uint32_t s = (elapsedTenths / 10) % 180;
    double w = portableSin(s * 0.017453292) * 120.0;
    int32_t red = static_cast<int32_t>(w) + 127;
    int32_t green = 239 - static_cast<int32_t>(w);
    int32_t blue = 250;
    return 0xFF000000u | (static_cast<uint32_t>(red & 0xFF) << 16) |
           (static_cast<uint32_t>(green & 0xFF) << 8) | static_cast<uint32_t>(blue & 0xFF);
}

// The bounce's fall in 32-bit integers, defined for every speed: one outside the int32 range (only
// a hostile recording gets there) truncates to INT32_MIN as the x86 conversion does, and the
// product wraps instead of overflowing.
int32_t bounceFall(float speed, int32_t countdown) {
    int32_t whole =
        speed > -2147483648.0f && speed < 2147483648.0f ? static_cast<int32_t>(speed) : INT32_MIN;
    uint32_t product = static_cast<uint32_t>(whole) * static_cast<uint32_t>(32 - countdown);
    return static_cast<int32_t>(product) / 100;
}

}  // namespace

int stepIntro() {
    int32_t red = 127, green = 239, blue = 250;
    int32_t d = 2 * static_cast<int32_t>(game.introFrame);
    if (d < red)
        red = d;
    if (d < green)
        green = d;
    if (255 - d > blue)
        blue = 255 - d;
    game.clearColour = (static_cast<uint32_t>(red) << 16) | (static_cast<uint32_t>(green) << 8) |
                       static_cast<uint32_t>(blue);
    game.sceneFade = static_cast<float>(game.introFrame) / 150.0f;
    if (game.introFrame > 100)
        game.speed = static_cast<float>(game.introFrame - 100) / 50.0f * 10.0f;
    game.introFrame += 1;
    if (game.introFrame >= 150) {
        game.halted = 0;
        game.introFrame = 0;
        game.introActive = 0;
    }
    return 1;
}

int stepFinish() {
    if (game.allTargetsPassed) {
        if (game.finishFrame == 70) {
            game.musicVolume -= 500;
            if (!setVolume(game.musicVolume))
                return 0;
        }
        uint32_t old = game.finishFrame;
        game.finishFrame += 1;
        if (old > 120) {
            game.gameOver = 1;
            game.allTargetsPassed = 0;
        }
    }
    if (game.gameOver) {
        game.sceneFade -= 0.005f;
        int32_t drop = 0;
        if (game.gameOverFrame == 50)
            drop = 1000;
        if (game.gameOverFrame == 100)
            drop = 1000;
        if (game.gameOverFrame == 150)
            drop = 2000;
        if (drop) {
            game.musicVolume -= drop;
            if (!setVolume(game.musicVolume))
                return 0;
        }
        if (game.gameOverFrame >= 200) {
            if (game.cockpitView)
                toggleView();
            game.sceneFade = 0;
            game.halted = 1;
            game.replaying = 0;
            game.gameOverFrame = 0;
            if (!game.soundSystem || !game.soundSystem->stopAll())
                return 0;
            game.musicVolume = 1;
            if (!setVolume(game.musicVolume))
                return 0;
            if (!game.soundSystem->playMusic(1))
                return 0;
            return 1;
        }
        game.gameOverFrame += 1;
    }
    return 1;
}

void toggleView() {
    game.cockpitView = game.cockpitView ? 0 : 1;
    setViewForCurrentEye();
}

void moveFlight() {
    // The frame clears with the sky as it stands before the cones are passed.
    game.frameClearColour = game.clearColour;

    game.heading -= game.turnRate;
    float bankTarget = game.turnRate * -10.0f;
    game.bank += (bankTarget - game.bank) / 8.0f;

    if (game.bumping) {
        game.groundLevel += static_cast<float>(bounceFall(game.speed, game.bumpCountdown));
        game.bumpCountdown -= 1;
        game.sceneAmbient = game.cockpitView ? kBumpSkyAmbient : kFlightAmbient;
        if (game.bumpCountdown < 0) {
            game.bumping = 0;
            game.bumpCountdown = 64;
            game.bumpTumble = 0;
            if (game.burstEffect)
                game.burstEffect->reset();
        }
    } else {
        game.sceneAmbient = kFlightAmbient;
    }

    game.drawnTumble = game.bumpTumble;
    moveObstacles();
    if (!game.cockpitView)
        tumblePlayerPlane();
    // After the cones: a bump found among them blocks a pass in the same step.
    moveTargets();
    if (game.bumping && game.burstEffect)
        game.burstEffect->advance();

    game.turnRate -= game.turnDelta;
    game.speed -= game.speedDelta;
    if (!game.steering) {
        game.speedDelta = 0;
        game.turnDelta = 0;
        if (game.turnRate != 0)
            game.turnRate = game.turnRate / 1.05f;
    }

    updateGameClock();
}

void touchForRepaint() {
    game.drawnTumble = game.bumpTumble;
    touchObstacles();
    touchTargets();
    updateGameClock();
}

void drawFlight(const GameState& state, FrameKind kind) {
    drawFlight(state, kind, poseOf(state));
}

void drawFlight(const GameState& state, FrameKind kind, const FlightPose& pose) {
    GraphicsDevice& device = *state.device;
    bool step = kind == FrameKind::Step;
    float viewRoll = pose.cockpitView ? -pose.bank : 0.0f;

    if (step) {
        device.clear(kClearTarget | kClearZBuffer, state.frameClearColour, 1.0f, 0);
        updateLight(state, pose.heading, viewRoll);
        device.setRenderState(RenderState::Ambient, state.sceneAmbient);
    }

    device.beginScene();
    if (!(state.bumping && state.cockpitView))
        drawBackground(state, viewRoll * kDegToRad);
    drawObstacles(state, pose);
    if (step)
        device.setRenderState(RenderState::Ambient, kPlaneAmbient);
    if (!pose.cockpitView)
        drawPlayerPlane(state, pose);
    if (step)
        device.setRenderState(RenderState::Ambient, kFlightAmbient);
    drawGhost(state, pose);
    drawTargets(state, pose);
    // The sparks show in the frames of the steps that move them, not in a repaint.
    if (step && state.bumping && state.burstEffect)
        state.burstEffect->draw(device, pose.sparkX, pose.sparkY, pose.sparkZ);
    drawHud(state, pose);
    device.endScene();
}

StepPicture moveFrame(bool& cutShort) {
    cutShort = false;
    if (game.introActive) {
        stepIntro();
    } else {
        if (game.halted) {
            if (!game.gameOver)
                return StepPicture::Nothing;
            moveResultScreen();
            return StepPicture::ResultScreen;
        }

        if (!game.replaying) {
            if (!readInput()) {
                cutShort = true;
                return StepPicture::Nothing;
            }
        } else if (!replayInput()) {
            game.halted = 1;
            game.replaying = 0;
        }

        if (game.allTargetsPassed || game.gameOver)
            stepFinish();

        if (!game.bumping && !game.allTargetsPassed && !game.gameOver)
            game.clearColour = skyColour(game.elapsedTenths);
    }
    moveFlight();
    return StepPicture::Flight;
}

void drawFrame(const GameState& state, StepPicture picture) {
    if (picture == StepPicture::Flight)
        drawFlight(state, FrameKind::Step);
    else if (picture == StepPicture::ResultScreen)
        drawResultScreen(state, resultScreen);
    drawOverlays(state, picture);
}

bool pauseShowsPanel(const GameState& state) {
    return overlaysShown() && state.halted && !state.gameOver && !state.introActive;
}

void drawPausedPicture(const GameState& state) {
    state.device->clear(kClearTarget | kClearZBuffer, state.frameClearColour, 1.0f, 0);
    drawFlight(state, FrameKind::Repaint);
    drawOverlays(state, StepPicture::Flight);
}

int advanceStep(StepPicture& picture) {
    bool cutShort = false;
    picture = moveFrame(cutShort);
    if (cutShort)
        return 0;
    if (picture != StepPicture::Flight)
        return 1;
    if (game.tempoDirty) {
        bool ok =
            game.soundSystem && game.soundSystem->setTempo(0.8f + (game.speed - 10.0f) * 0.01f);
        if (!ok)
            return 0;
        game.tempoDirty = 0;
    }
    return 1;
}

int stepFrame() {
    if (!game.device)
        return 0;

    StepPicture picture = StepPicture::Nothing;
    int result = advanceStep(picture);
    if (picture != StepPicture::Nothing) {
        drawFrame(game, picture);
        game.device->present();
    } else if (result && pauseShowsPanel(game)) {
        drawPausedPicture(game);
        game.device->present();
    }
    return result;
}
