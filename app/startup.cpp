// Start-up in its fixed order, the loading and controller-choice status lines, and the shut-down
// sequence.
#include "app/startup.h"

#include "aircraft/plane_model.h"
#include "app/window_services.h"
#include "audio/sound_system.h"
#include "controls/flight_recorder.h"
#include "controls/input_reader.h"
#include "game/game_state.h"
#include "game/new_game.h"
#include "hud/digit_display.h"
#include "hud/hud.h"
#include "hud/overlays.h"
#include "hud/spark_effect.h"
#include "hud/sparkle_effect.h"
#include "scene/background.h"
#include "scene/device_setup.h"
#include "scene/obstacles.h"

namespace {

constexpr const char* kLoadingLine =
    "                Initialize Now...                               ";
constexpr const char* kChoiceLine = "Choice your controller: Hit LButton or UpArrowKey";
// Under the choice line, for the game controllers this port adds.
constexpr const char* kControllerChoiceLine = "or press A on a game controller";
constexpr int kControllerChoiceLineY = 400;

// Releases one of the long-lived objects and deletes it; a null handle is skipped.
template <typename T>
void releaseAndDelete(T*& object) {
    if (!object)
        return;
    object->release();
    delete object;
    object = nullptr;
}

}  // namespace

void createProgramObjects() {
    game.flightRecorder = new FlightRecorder(kRecorderCapacity);
    game.burstEffect = new SparkEffect;
    game.planeModel = new PlaneModel("media/myplane.x");
    game.digitDisplay = new DigitDisplay;
    game.soundSystem = new SoundSystem;
    game.sparkleEffect = new SparkleEffect;
}

bool startUp() {
    if (!game.soundSystem->init())
        return false;
    if (!createDevice())
        return false;
    if (!setUpView())
        return false;
    if (!game.planeModel->load(*game.device))
        return false;
    if (!createSceneMeshes())
        return false;
    if (!createBackground())
        return false;
    if (!createArrow())
        return false;
    if (!game.burstEffect->create(*game.device))
        return false;
    if (!game.digitDisplay->create(*game.device))
        return false;
    if (!game.sparkleEffect->init(*game.device))
        return false;
    // The words on screen are an extra: without them the game goes on.
    createOverlays();

    if (game.startupStage == 0) {
        paintStatus(0);
        game.startupStage = 1;
    }
    game.cockpitView = 0;
    newGame();
    for (uint32_t& best : game.bestPassTimes) best = 0xFFFFFFFF;
    return true;
}

int paintStatus(int stage) {
    if (stage < 0 || stage > 1 || !game.mainWindow)
        return 1;
    if (stage == 0) {
        game.mainWindow->paintStatus(kLoadingLine, 60, 240, 380);
    } else {
        game.mainWindow->paintStatus(kChoiceLine, 49, 240, 380);
        game.mainWindow->paintStatusLine(kControllerChoiceLine, 31, 240, kControllerChoiceLineY);
    }
    return 1;
}

void releaseDevices() {
    releaseInputDevice();
    releaseOverlays();
    releaseArrow();
    releaseBackground();
    releaseSceneMeshes();
    releaseDevice();
}

void shutDown() {
    releaseAndDelete(game.planeModel);
    delete game.flightRecorder;
    game.flightRecorder = nullptr;
    releaseAndDelete(game.burstEffect);
    releaseAndDelete(game.digitDisplay);
    releaseAndDelete(game.soundSystem);
    releaseAndDelete(game.sparkleEffect);
    releaseDevices();
    if (game.mainWindow)
        game.mainWindow->postQuit(0);
}
