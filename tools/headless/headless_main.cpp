// The headless runner: the real game on a virtual clock with scripted input, for tests, checks of
// recorded flights, screenshots and benchmarks.
#include <SDL.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/main_loop.h"
#include "app/startup.h"
#include "app/window_services.h"
#include "game/game_state.h"
#include "gfx/null_device.h"
#include "headless_audio.h"
#include "headless_options.h"
#include "headless_platform.h"
#include "headless_script.h"
#include "platform/gl_device.h"
#include "platform/sdl_window.h"
#include "screenshot.h"
#include "state_log.h"

namespace {

constexpr uint64_t kDefaultStepLimit = 100000;

struct Runner {
    HeadlessOptions options;
    VirtualTicks ticks;
    std::unique_ptr<HeadlessWindow> window;
    HeadlessInput input;
    std::vector<ScriptEvent> script;
    size_t nextScript = 0;
    uint64_t steps = 0;
    bool closing = false;
    bool replayStarted = false;
    std::FILE* stateLog = nullptr;

    void deliverScriptUpTo(uint64_t step);
    void deliver(const ScriptEvent& e);
    void afterStep();
    void close();
};

void Runner::deliver(const ScriptEvent& e) {
    switch (e.action) {
        case ScriptAction::KeyDown:
            input.setKey(e.scanCode, true);
            window->push({EventType::KeyDown, e.virtualKey, 0});
            break;
        case ScriptAction::KeyUp:
            input.setKey(e.scanCode, false);
            break;
        case ScriptAction::Key:
            window->push({EventType::KeyDown, e.virtualKey, 0});
            break;
        case ScriptAction::MouseDown:
            input.setButton(e.button, true);
            if (e.button == 0) window->push({EventType::LeftButtonDown, 0, 0});
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
            window->push({EventType::Paint, 0, 0});
            break;
        case ScriptAction::Close:
            close();
            break;
        case ScriptAction::Answer:
            window->pushAnswer(e.path);
            break;
        case ScriptAction::Cancel:
            window->pushAnswer(std::nullopt);
            break;
    }
}

void Runner::deliverScriptUpTo(uint64_t step) {
    while (nextScript < script.size() && script[nextScript].step <= step) deliver(script[nextScript++]);
}

void Runner::close() {
    if (closing) return;
    closing = true;
    if (!options.saveFile.empty()) {
        // Save through F6, which acts only while halted: pause first where F1 can do it.
        if (!game.halted && !game.introActive && !game.gameOver && !game.allTargetsPassed)
            window->push({EventType::KeyDown, 0x70, 0});
        window->pushAnswer(options.saveFile);
        window->push({EventType::KeyDown, 0x75, 0});
    }
    window->push({EventType::Close, 0, 0});
}

void Runner::afterStep() {
    ++steps;
    if (stateLog) std::fprintf(stateLog, "%s\n", stateLogLine(steps, options.logObstacles).c_str());
    for (const auto& [step, file] : options.shots)
        if (step == steps && !saveScreenshot(file))
            std::fprintf(stderr, "dravik-headless: could not write the screenshot %s\n", file.c_str());
    if (game.replaying) replayStarted = true;
    deliverScriptUpTo(steps);

    bool replayOver = !options.replayFile.empty() && replayStarted && !game.replaying;
    uint64_t limit = options.steps.value_or(kDefaultStepLimit);
    if (steps >= limit || (!options.steps && replayOver)) close();
}

std::string readText(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

int main(int argc, char** argv) {
    Runner r;
    std::string error;
    if (!parseHeadlessOptions(argc, argv, r.options, error)) {
        std::fprintf(stderr, "dravik-headless: %s\n", error.c_str());
        return 2;
    }
    if (r.options.help) {
        std::fputs(kHeadlessUsage, stdout);
        return 0;
    }
    if (!r.options.scriptFile.empty()) {
        bool ok = false;
        std::string text = readText(r.options.scriptFile, ok);
        if (!ok) {
            std::fprintf(stderr, "dravik-headless: cannot read the script %s\n",
                         r.options.scriptFile.c_str());
            return 2;
        }
        if (!parseScript(text, r.script, error)) {
            std::fprintf(stderr, "dravik-headless: %s: %s\n", r.options.scriptFile.c_str(),
                         error.c_str());
            return 2;
        }
    }
    if (!r.options.stateLog.empty()) {
        r.stateLog = std::fopen(r.options.stateLog.c_str(), "w");
        if (!r.stateLog) {
            std::fprintf(stderr, "dravik-headless: cannot write the state log %s\n",
                         r.options.stateLog.c_str());
            return 2;
        }
    }

    // Never show a dialog or a message box: answers come from the script.
    setenv("DRAVIK_NO_DIALOGS", "1", 1);
    if (!getenv("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");

    r.ticks.value = r.options.startTick;
    r.window = std::make_unique<HeadlessWindow>(r.ticks, r.options.stepMs);

    HeadlessAudio audio;
    if (!audio.open(r.options.audioOut)) return 2;
    r.window->onAdvance = [&audio](uint32_t ms) { audio.advance(ms); };

    std::unique_ptr<SdlWindow> sdlWindow;
    std::unique_ptr<GraphicsSystem> graphics;
    if (r.options.noGl) {
        graphics = std::make_unique<NullGraphicsSystem>();
    } else {
        sdlWindow = std::make_unique<SdlWindow>();
        if (!sdlWindow->create()) {
            std::fprintf(stderr, "dravik-headless: no window for the GL device (try --no-gl)\n");
            return 0;
        }
        graphics = std::make_unique<GlGraphicsSystem>(sdlWindow->handle());
    }

    game.mainWindow = r.window.get();
    game.tickSource = &r.ticks;
    game.graphicsPlatform = graphics.get();
    game.inputPlatform = &r.input;
    game.musicPlatform = audio.service();
    createProgramObjects();

    if (!r.options.replayFile.empty()) {
        r.window->push({EventType::KeyDown, 0x26, 0});  // Up arrow: the keyboard
        r.window->pushAnswer(r.options.replayFile);
        r.window->push({EventType::KeyDown, 0x74, 0});  // F5: load and replay
    }
    r.deliverScriptUpTo(0);

    int code = 0;
    bool stepped = false;
    while (runPass(code, &stepped)) {
        if (stepped) r.afterStep();
    }
    if (r.window->idleWithoutEnd() && r.steps == 0)
        std::fprintf(stderr, "dravik-headless: no controller was chosen; nothing was flown\n");

    audio.finish();
    if (r.stateLog) std::fclose(r.stateLog);
    std::fprintf(stderr, "dravik-headless: %llu steps\n", static_cast<unsigned long long>(r.steps));
    return code;
}
