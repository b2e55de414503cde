// The one process-wide record of the running game: flags, counters, flight values, the world, the
// cameras, the start-up choice and the handles of the long-lived objects.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/graphics_device.h"
#include "gfx/math.h"

class WindowServices;
class TickSource;
class InputSource;
class MusicService;
class SoundSystem;
class FlightRecorder;
class PlaneModel;
class DigitDisplay;
class SparkEffect;
class SparkleEffect;
class TextRenderer;
class OverlayPainter;

constexpr int ObstacleCount = 250;
constexpr int TargetCount = 4;

struct Rgb {
    float r = 0, g = 0, b = 0;
};

struct GameState {
    // Phase and control flags (0 or 1).
    int32_t halted = 1;
    int32_t introActive = 0;
    int32_t bumping = 0;
    int32_t allTargetsPassed = 0;
    int32_t gameOver = 0;
    int32_t replaying = 0;
    int32_t steering = 0;
    int32_t cockpitView = 0;
    int32_t musicOn = 1;
    int32_t tempoDirty = 0;
    int32_t lastPassRecord = 0;

    // Counters.
    uint32_t introFrame = 0;
    int32_t bumpCountdown = 64;
    uint32_t finishFrame = 0;
    uint32_t gameOverFrame = 0;

    // Flight.
    float speed = 0;
    float speedDelta = 0;
    float turnRate = 0;
    float turnDelta = 0;
    float heading = 0;
    float bank = 0;
    float bumpTumble = 0;
    float groundLevel = -60;
    // The tumble the step began with: the cones and the plane are drawn with it, the targets with
    // bumpTumble as the step left it.
    float drawnTumble = 0;

    // Time and presentation.
    int32_t restartClock = 1;
    uint32_t gameStartTick = 0;
    uint32_t nowTick = 0;
    uint32_t pausedMs = 0;
    uint32_t pauseStartTick = 0;
    uint32_t elapsedTenths = 0;
    uint32_t clearColour = 0;
    // What the last step's flight frame clears to (a bump in the cockpit view turns clearColour
    // pink for the next one), and the ambient light of its background and cones.
    uint32_t frameClearColour = 0;
    uint32_t sceneAmbient = 0x404040;
    float sceneFade = 0;
    int32_t musicVolume = 0;

    // World: obstacles.
    Vec3 obstaclePositions[ObstacleCount] = {};
    float obstacleRadii[ObstacleCount] = {};
    float obstacleHeights[ObstacleCount] = {};
    Rgb obstacleColours[ObstacleCount] = {};

    // World: targets.
    Vec3 targetPositions[TargetCount] = {};
    float targetRadii[TargetCount] = {};
    Colour4 targetColours[TargetCount] = {};
    uint32_t targetColourArgb[TargetCount] = {};
    int32_t targetPassed[TargetCount] = {};
    uint32_t passTimes[TargetCount] = {};
    uint32_t bestPassTimes[TargetCount] = {};
    int32_t currentTarget = 0;

    // Cameras.
    Vec3 lookAtPoint{0, 0, 100};
    Vec3 chaseEye{0, 0, -20};
    Vec3 cockpitEye{0, 0, 0};
    Matrix viewMatrix;

    // Start-up and input choice.
    int32_t startupStage = -1;
    int32_t running = 0;
    int32_t mouseChosen = 0;
    int32_t keyboardChosen = 0;
    int32_t controllerChosen = 0;  // a game controller: A or the d-pad up at the choice
    uint32_t lastStepTick = 0;

    // Platform services, handed in by the entry point (the real platform) or by tests.
    WindowServices* mainWindow = nullptr;
    TickSource* tickSource = nullptr;
    GraphicsSystem* graphicsPlatform = nullptr;
    InputSource* inputPlatform = nullptr;
    MusicService* musicPlatform = nullptr;
    TextRenderer* textPlatform = nullptr;  // the words on screen; none: no words

    // Graphics.
    GraphicsSystem* direct3d = nullptr;
    std::unique_ptr<GraphicsDevice> device;
    PresentParameters presentParameters;
    Matrix projectionMatrix;

    // Input: the input system (the platform's source once created) and whether the device exists.
    InputSource* inputSystem = nullptr;
    int32_t inputDevice = 0;
    int32_t recorderFull = 0;

    // Scene meshes.
    std::unique_ptr<Mesh> obstacleMeshes[ObstacleCount];
    std::unique_ptr<Mesh> targetMeshes[TargetCount];

    // The six long-lived objects, made before the loop starts and deleted by the shut-down.
    FlightRecorder* flightRecorder = nullptr;
    SparkEffect* burstEffect = nullptr;
    PlaneModel* planeModel = nullptr;
    DigitDisplay* digitDisplay = nullptr;
    SoundSystem* soundSystem = nullptr;
    SparkleEffect* sparkleEffect = nullptr;

    // HUD arrow and background picture.
    std::unique_ptr<Sprite> arrowSprite;
    std::unique_ptr<Texture> arrowTexture;
    std::unique_ptr<Sprite> backgroundSprite;
    std::unique_ptr<Texture> backgroundTexture;

    // The words on screen (not part of the original): made at start-up, released with the device.
    OverlayPainter* overlayPainter = nullptr;
};

extern GameState game;

// Puts every field back to its program-load value (tests and the headless runner); the six objects
// must have been deleted first.
void resetGameState();
