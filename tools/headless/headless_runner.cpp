// The headless run: the main loop on the virtual clock, the script, the state log, screenshots and
// the final mix.
#include "headless_runner.h"

#include <SDL.h>

#include <fstream>
#include <sstream>

#include "app/display_settings.h"
#include "app/ghost_source.h"
#include "app/main_loop.h"
#include "app/record_keeper.h"
#include "app/startup.h"
#include "app/window_services.h"
#include "game/game_state.h"
#include "game/ghost_path.h"
#include "game/shell_options.h"
#include "gfx/null_device.h"
#include "headless_audio.h"
#include "platform/gl_device.h"
#include "platform/sdl_window.h"
#include "platform/ttf_text_renderer.h"
#include "screenshot.h"
#include "state_log.h"

namespace {

constexpr uint64_t kDefaultStepLimit = 100000;

std::string readText(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

HeadlessRunner::HeadlessRunner(HeadlessOptions options) : options_(std::move(options)) {}

HeadlessRunner::~HeadlessRunner() {
    if (stateLog_)
        std::fclose(stateLog_);
}

void HeadlessRunner::deliver(const ScriptEvent& e) {
    switch (e.action) {
        case ScriptAction::KeyDown:
            input.setKey(e.scanCode, true);
            window_->push({EventType::KeyDown, e.virtualKey, 0});
            break;
        case ScriptAction::KeyUp:
            input.setKey(e.scanCode, false);
            break;
        case ScriptAction::Key:
            window_->push({EventType::KeyDown, e.virtualKey, 0});
            break;
        case ScriptAction::MouseDown:
            input.setButton(e.button, true);
            if (e.button == 0)
                window_->push({EventType::LeftButtonDown, 0, 0});
            break;
        case ScriptAction::MouseUp:
            input.setButton(e.button, false);
            break;
        case ScriptAction::Move:
            input.move(e.dx, e.dy);
            break;
        case ScriptAction::Wheel:
            input.wheel(e.dx);
            break;
        case ScriptAction::Expose:
            window_->push({EventType::Paint, 0, 0});
            break;
        case ScriptAction::Close:
            close();
            break;
        case ScriptAction::FocusLost:
            window_->push({EventType::FocusLost, 0, 0});
            break;
        case ScriptAction::FocusGained:
            window_->push({EventType::FocusGained, 0, 0});
            break;
        case ScriptAction::Answer:
            window_->pushAnswer(e.path);
            break;
        case ScriptAction::Cancel:
            window_->pushAnswer(std::nullopt);
            break;
    }
}

void HeadlessRunner::deliverScriptUpTo(uint64_t step) {
    while (nextScript_ < script_.size() && script_[nextScript_].step <= step)
        deliver(script_[nextScript_++]);
}

void HeadlessRunner::close() {
    if (closing_)
        return;
    closing_ = true;
    if (!options_.saveFile.empty()) {
        // Save through F6, which acts only while halted: pause first where F1 can do it.
        if (!game.halted && !game.introActive && !game.gameOver && !game.allTargetsPassed)
            window_->push({EventType::KeyDown, kVkF1, 0});
        window_->pushAnswer(options_.saveFile);
        window_->push({EventType::KeyDown, kVkF6, 0});
    }
    window_->push({EventType::Close, 0, 0});
}

void HeadlessRunner::afterStep() {
    ++steps;
    if (stateLog_)
        std::fprintf(stateLog_, "%s\n", stateLogLine(steps, options_.logObstacles).c_str());
    for (const auto& [step, file] : options_.shots) {
        if (step != steps)
            continue;
        // Smooth steps draw nothing themselves: the step's frame is the state as it stands.
        if (smooth)
            drawFrameBetweenSteps(1.0f);
        if (!saveScreenshot(file))
            std::fprintf(stderr, "dravik-headless: could not write the screenshot %s\n",
                         file.c_str());
    }
    // STEP.FRACTION: the frames after the next step blend from STEP's pose towards it.
    for (const BetweenShot& shot : options_.betweenShots) {
        if (shot.step + 1 != steps)
            continue;
        if (!drawFrameBetweenSteps(shot.fraction) || !saveScreenshot(shot.file))
            std::fprintf(stderr, "dravik-headless: could not write the screenshot %s\n",
                         shot.file.c_str());
    }
    if (game.replaying)
        replayStarted_ = true;
    deliverScriptUpTo(steps);
    if (afterStepHook)
        afterStepHook(steps);

    bool replayOver = !options_.replayFile.empty() && replayStarted_ && !game.replaying;
    uint64_t limit = options_.steps.value_or(kDefaultStepLimit);
    if (steps >= limit || (!options_.steps && replayOver))
        close();
}

bool HeadlessRunner::prepareRecordsAndGhost() {
    recordKeeper = RecordKeeper{};
    // The player's records are read (and a broken file set aside) only when asked to keep them.
    recordKeeper.keeping = options_.keepRecords;
    recordKeeper.bestPath = bestRecordingPath();
    if (recordKeeper.keeping)
        recordKeeper.load();
    ghost = Ghost{};
    if (options_.ghost.empty())
        return true;
    std::string message;
    if (!loadGhost(options_.ghost, recordKeeper.bestPath, message)) {
        std::fprintf(stderr, "dravik-headless: --ghost: %s\n", message.c_str());
        return false;
    }
    if (!message.empty())
        std::fprintf(stderr, "dravik-headless: --ghost: %s\n", message.c_str());
    ghost.enabled = true;
    return true;
}

void HeadlessRunner::choosePacing() {
    std::string renderer;
    if (auto* device = dynamic_cast<GlDevice*>(game.device.get()))
        renderer = device->rendererName();
    // Frames between steps are what --fps and a STEP.FRACTION shot ask for; the words on screen
    // are never drawn in classic mode, so --overlays leaves it too.
    bool wantsFrames =
        options_.fps.has_value() || !options_.betweenShots.empty() || options_.overlays;
    bool classic = options_.classic.value_or(
        wantsFrames ? false : options_.noGl || isSoftwareRenderer(renderer));
    smooth = !classic;
    shellOptions.classic = classic;
    if (auto* device = dynamic_cast<GlDevice*>(game.device.get())) {
        // As the game places its picture in a window.
        device->setLetterbox(smooth);
        device->setNativeResolution(smooth);
        if (smooth && options_.msaa > 1 && device->setMultisampling(options_.msaa) < options_.msaa)
            std::fprintf(stderr, "dravik-headless: %d samples a pixel asked, %d drawn\n",
                         options_.msaa, device->multisampling());
    }
    window_->framesBetweenSteps = smooth;
    FramePacing pacing;
    pacing.smooth = smooth;
    pacing.framesPerSecond = options_.fps.value_or(0) > 0 ? *options_.fps : 60;
    setFramePacing(pacing);
}

int HeadlessRunner::run() {
    std::string error;
    if (!options_.scriptFile.empty()) {
        bool ok = false;
        std::string text = readText(options_.scriptFile, ok);
        if (!ok) {
            std::fprintf(stderr, "dravik-headless: cannot read the script %s\n",
                         options_.scriptFile.c_str());
            return 2;
        }
        if (!parseScript(text, script_, error)) {
            std::fprintf(stderr, "dravik-headless: %s: %s\n", options_.scriptFile.c_str(),
                         error.c_str());
            return 2;
        }
    }
    if (!options_.stateLog.empty()) {
        stateLog_ = std::fopen(options_.stateLog.c_str(), "w");
        if (!stateLog_) {
            std::fprintf(stderr, "dravik-headless: cannot write the state log %s\n",
                         options_.stateLog.c_str());
            return 2;
        }
    }

    // Never show a dialog or a message box: answers come from the script.
    setenv("DRAVIK_NO_DIALOGS", "1", 1);
    // An empty SDL_VIDEODRIVER asks for nothing; SDL would still let it stand over a plain hint.
    const char* driver = getenv("SDL_VIDEODRIVER");
    if (!driver || !*driver)
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);

    shellOptions.pauseOnFocusLoss = !options_.noFocusPause;
    // The words on screen only when asked, so that pictures of either pace stay the game's own.
    shellOptions.overlays = options_.overlays;

    ticks_.value = options_.startTick;
    window_ = std::make_unique<HeadlessWindow>(ticks_, options_.stepMs);

    HeadlessAudio audio;
    if (!audio.open(options_.audioOut))
        return 2;
    window_->onAdvance = [&audio](uint32_t ms) { audio.advance(ms); };

    std::unique_ptr<SdlWindow> sdlWindow;
    std::unique_ptr<GraphicsSystem> graphics;
    if (options_.noGl) {
        graphics = std::make_unique<NullGraphicsSystem>();
    } else {
        sdlWindow = std::make_unique<SdlWindow>();
        if (!sdlWindow->create()) {
            std::fprintf(stderr, "dravik-headless: no window for the GL device (try --no-gl)\n");
            return 0;
        }
        if (options_.width != 640 || options_.height != 480)
            SDL_SetWindowSize(sdlWindow->handle(), options_.width, options_.height);
        graphics = std::make_unique<GlGraphicsSystem>(sdlWindow->handle());
    }

    game.mainWindow = window_.get();
    game.tickSource = &ticks_;
    game.graphicsPlatform = graphics.get();
    game.inputPlatform = &input;
    game.musicPlatform = audio.service();
    TtfTextRenderer text;
    game.textPlatform = &text;
    if (!prepareRecordsAndGhost())
        return 2;
    createProgramObjects();
    setFramePacing(FramePacing{});
    setStartedHook([this] { choosePacing(); });
    setFrameHook([this](uint32_t) { ++frames; });

    if (!options_.replayFile.empty()) {
        window_->push({EventType::KeyDown, kVkUp, 0});  // the keyboard
        window_->pushAnswer(options_.replayFile);
        window_->push({EventType::KeyDown, kVkF5, 0});  // load and replay
    }
    deliverScriptUpTo(0);
    if (afterStepHook)
        afterStepHook(0);

    int code = 0;
    bool stepped = false;
    while (runPass(code, &stepped)) {
        if (stepped)
            afterStep();
    }
    if (window_->idleWithoutEnd() && steps == 0)
        std::fprintf(stderr, "dravik-headless: no controller was chosen; nothing was flown\n");

    // Esc ends the loop without the shut-down sequence; the device must still go before the
    // window it draws on, and the sound before the service.
    if (game.device || game.soundSystem)
        shutDown();
    audio.finish();
    game.mainWindow = nullptr;
    game.graphicsPlatform = nullptr;
    game.musicPlatform = nullptr;
    game.inputPlatform = nullptr;
    setStartedHook(nullptr);
    setFrameHook(nullptr);
    std::fprintf(stderr, "dravik-headless: %llu steps, %llu frames\n",
                 static_cast<unsigned long long>(steps), static_cast<unsigned long long>(frames));
    game.textPlatform = nullptr;
    return code;
}
