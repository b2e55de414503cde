// The window procedure: every event the window delivers and every key command, each with the
// phase conditions under which it acts.
#include "app/window_procedure.h"

#include <ctime>
#include <string>

#include "aircraft/player_plane.h"
#include "app/ghost_source.h"
#include "app/messages.h"
#include "app/record_keeper.h"
#include "app/recordings_folder.h"
#include "app/replay_viewer.h"
#include "app/startup.h"
#include "audio/sound_system.h"
#include "controls/flight_recorder.h"
#include "game/command_keys.h"
#include "game/frame_step.h"
#include "game/game_state.h"
#include "game/new_game.h"
#include "game/shell_options.h"
#include "hud/hud.h"
#include "hud/overlays.h"
#include "hud/spark_effect.h"
#include "scene/background.h"
#include "scene/obstacles.h"
#include "scene/targets.h"

namespace {

// The game's tick: the real one, or the replay viewer's while it runs a replay.
uint32_t currentTick() {
    return game.tickSource ? replayViewer.now(game.tickSource->now()) : 0;
}

FileDialog recordingDialog(const char* title, bool save) {
    FileDialog dialog;
    dialog.title = title;
    dialog.filterName = ".dvk (.dvk)";
    dialog.filterPattern = "*.dvk";
    dialog.defaultExtension = save ? "dvk" : "";
    dialog.mustExist = !save;
    dialog.confirmOverwrite = save;
    dialog.folder = recordingsFolder();
    if (save)
        dialog.proposedName = proposedRecordingName(std::time(nullptr));
    return dialog;
}

void loadAndReplay() {
    std::string path;
    if (!game.mainWindow ||
        !game.mainWindow->openFileDialog(recordingDialog(kLoadTitle, false), path))
        return;
    replayRecordingFile(path);
}

void save() {
    std::string path;
    if (!game.mainWindow ||
        !game.mainWindow->saveFileDialog(recordingDialog(kSaveTitle, true), path))
        return;
    if (!game.flightRecorder || !game.flightRecorder->saveToFile(path))
        showMessage(kSaveFailedMessage);
}

// A key that waits for a pause says so on screen for a moment, instead of doing nothing silently.
void noteWhenPauseNeeded(const char* key) {
    if (!game.halted)
        showOverlayNote(std::string(key) + kNoteActsWhenPaused, currentTick());
}

void togglePause() {
    game.halted = game.halted ? 0 : 1;
    if (game.halted)
        game.pauseStartTick = currentTick();
    else
        game.pausedMs += currentTick() - game.pauseStartTick;
}

}  // namespace

void startReplay() {
    if (game.flightRecorder)
        game.flightRecorder->startPlayback();
    replayViewer.replayStarted();
    newGame();
    game.replaying = 1;
    game.halted = 0;
}

void replayRecordingFile(const std::string& path) {
    if (game.flightRecorder && game.flightRecorder->loadFromFile(path)) {
        if (game.mainWindow)
            game.mainWindow->invalidate();
    } else {
        showMessage(kLoadFailedMessage);
    }
    // Whether the load worked or not, the replay starts over what the recorder now holds.
    startReplay();
}

bool controllerChoiceMade() {
    return game.mouseChosen || game.keyboardChosen || game.controllerChosen;
}

void handleKeyDown(int key) {
    // During a replay the arrows, +, -, . and Home work the replay viewer.
    if (game.tickSource && replayViewer.handleKey(key, game.tickSource->now()))
        return;
    switch (key) {
        case kVkControl:
            toggleView();
            break;
        case kVkEscape:
            if (game.mainWindow)
                game.mainWindow->postQuit(0);
            break;
        case kVkUp:
            if (!controllerChoiceMade())
                game.keyboardChosen = 1;
            break;
        case kVkG:
            toggleGhost(recordKeeper.bestPath);
            break;
        case kVkM:
            if (!game.soundSystem)
                break;
            if (game.musicOn) {
                game.soundSystem->setVolume(-10000);
                game.musicOn = 0;
            } else {
                game.soundSystem->setVolume(game.musicVolume);
                game.musicOn = 1;
            }
            break;
        case kVkF1:
            if (commandActs(game, Command::Pause))
                togglePause();
            break;
        case kVkF2:
            if (commandActs(game, Command::Replay))
                startReplay();
            else
                noteWhenPauseNeeded("F2");
            break;
        case kVkF3:
            if (commandActs(game, Command::NewGame)) {
                if (game.flightRecorder)
                    game.flightRecorder->startRecording();
                newGame();
                game.replaying = 0;
                game.halted = 0;
            } else {
                noteWhenPauseNeeded("F3");
            }
            break;
        case kVkF5:
            if (commandActs(game, Command::Load))
                loadAndReplay();
            else
                noteWhenPauseNeeded("F5");
            break;
        case kVkF6:
            if (commandActs(game, Command::Save))
                save();
            else
                noteWhenPauseNeeded("F6");
            break;
        default:
            break;
    }
}

void redrawScene() {
    if (!game.device)
        return;
    // A repaint runs the contact and pass tests as any drawing of the field did on the original
    // platform, where the tests lived in the drawing: a repaint may start a bump or pass a target.
    touchForRepaint();
    // The classic picture draws over the last frame, as the original did. The sharp one may have
    // just been made anew at the window's new size, so it is cleared to the last frame's sky.
    if (!shellOptions.classic)
        game.device->clear(kClearTarget | kClearZBuffer, game.frameClearColour, 1.0f, 0);
    drawFlight(game, FrameKind::Repaint);
    drawOverlays(game, StepPicture::Flight);
    game.device->present();
}

void windowProcedure(const WindowEvent& event) {
    switch (event.type) {
        case EventType::KeyDown:
            handleKeyDown(event.key);
            break;
        case EventType::LeftButtonDown:
            if (!controllerChoiceMade())
                game.mouseChosen = 1;
            break;
        case EventType::ControllerButtonDown:
            if (!controllerChoiceMade())
                game.controllerChosen = 1;
            break;
        case EventType::Paint:
            if (game.startupStage <= 1)
                paintStatus(game.startupStage);
            else
                redrawScene();
            break;
        case EventType::Close:
            if (game.mainWindow)
                game.mainWindow->destroyWindow();
            shutDown();
            break;
        case EventType::Destroy:
            shutDown();
            break;
        case EventType::FocusLost:
            // A flight the player cannot steer would fly on into the cones: it pauses as F1
            // does. A replay and an intro play on; the player resumes with F1.
            if (shellOptions.pauseOnFocusLoss && game.startupStage >= 2 && !game.halted &&
                !game.replaying && commandActs(game, Command::Pause))
                togglePause();
            break;
        case EventType::FocusGained:
        case EventType::Quit:
            break;
    }
}
