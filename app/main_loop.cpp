// The main loop. It keeps the original order of a pass, but instead of spinning while it waits it
// sleeps on the event queue until the next step is due, so the processor idles between steps.
#include "app/main_loop.h"

#include "app/record_keeper.h"
#include "app/replay_viewer.h"
#include "app/startup.h"
#include "app/window_procedure.h"
#include "app/window_services.h"
#include "controls/input_reader.h"
#include "game/frame_step.h"
#include "game/game_state.h"

namespace {
constexpr uint32_t kStepThresholdMs = 30;
std::string pendingReplay;
}  // namespace

void replayWhenRunning(const std::string& path) {
    pendingReplay = path;
    if (!path.empty() && !controllerChoiceMade())
        game.keyboardChosen = 1;
}

int32_t eventWaitMs() {
    if (game.startupStage < 0)
        return 0;
    if (game.startupStage == 1 && controllerChoiceMade())
        return 0;
    if (!game.running)
        return -1;
    int32_t viewerWait = replayViewer.msUntilDue(game.tickSource->now());
    if (viewerWait != -2)
        return viewerWait;
    uint32_t since = replayViewer.now(game.tickSource->now()) - game.lastStepTick;
    if (since > kStepThresholdMs)
        return 0;
    return static_cast<int32_t>(kStepThresholdMs + 1 - since);
}

bool runPass(int& exitCode, bool* stepped) {
    if (stepped)
        *stepped = false;
    WindowEvent event;
    if (game.mainWindow->nextEvent(event, eventWaitMs())) {
        if (event.type == EventType::Quit) {
            exitCode = event.quitCode;
            return false;
        }
        windowProcedure(event);
    }

    if (game.startupStage < 0) {
        game.startupStage = 0;
        paintStatus(0);
        if (!startUp()) {
            exitCode = 0;
            return false;
        }
        paintStatus(game.startupStage);
    } else if (game.startupStage == 1 && controllerChoiceMade()) {
        game.running = 1;
        if (!createInputDevice()) {
            exitCode = 0;
            return false;
        }
        game.startupStage = 2;
        if (!pendingReplay.empty()) {
            replayRecordingFile(pendingReplay);
            pendingReplay.clear();
        }
    }

    if (game.running) {
        uint32_t real = game.tickSource->now();
        replayViewer.tick(real);
        uint32_t t = replayViewer.now(real);
        if (game.restartClock) {
            game.gameStartTick = t;
            game.restartClock = 0;
        }
        game.nowTick = t;
        if (t - game.lastStepTick > kStepThresholdMs) {
            stepFrame();
            game.lastStepTick = t;
            replayViewer.afterStep(t);
            recordKeeper.afterStep();
            if (stepped)
                *stepped = true;
        }
    }
    return true;
}

int runMainLoop() {
    int exitCode = 0;
    while (runPass(exitCode)) {
    }
    return exitCode;
}
