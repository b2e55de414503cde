// Entry point: the one place that builds the real platform (SDL2 window and input, OpenGL device,
// FluidSynth music, zenity dialogs) and hands it to the game.
#include <SDL.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/display_settings.h"
#include "app/ghost_source.h"
#include "app/main_loop.h"
#include "app/record_keeper.h"
#include "app/settings.h"
#include "app/shell_settings.h"
#include "app/startup.h"
#include "app/window_procedure.h"
#include "game/game_state.h"
#include "game/ghost_path.h"
#include "game/shell_options.h"
#include "gfx/data_folder.h"
#include "platform/fluid_music_service.h"
#include "platform/gl_device.h"
#include "platform/install_paths.h"
#include "platform/sdl_input.h"
#include "platform/sdl_ticks.h"
#include "platform/sdl_window.h"
#include "platform/ttf_text_renderer.h"

namespace {

bool finishedCleanly = false;

// When the display goes away, Xlib ends the process with exit() from inside the event wait. The
// platform's destructors would then talk to a display that is gone and never return, so leave at
// once instead.
void leaveWithoutDestructors() {
    if (!finishedCleanly)
        std::_Exit(1);
}

// DRAVIK_STEP_LOG=FILE: the main loop, keeping the tick of every frame step in memory and
// appending them to FILE, one per line, when the loop ends (for measuring the step intervals).
int runMainLoopLoggingSteps(const char* path) {
    std::vector<uint32_t> stepTicks;
    stepTicks.reserve(size_t(1) << 17);  // over an hour of steps before it grows
    int code = 0;
    bool stepped = false;
    while (runPass(code, &stepped))
        if (stepped)
            stepTicks.push_back(game.lastStepTick);
    if (std::FILE* log = std::fopen(path, "a")) {
        for (uint32_t tick : stepTicks) std::fprintf(log, "%u\n", tick);
        std::fclose(log);
    } else {
        std::fprintf(stderr, "Dravik: cannot write the step log %s\n", path);
    }
    return code;
}

// DRAVIK_FRAME_LOG=FILE: the tick of every presented frame, kept in memory and appended to FILE
// when the game ends, as the step log does (for measuring the frame rate).
std::vector<uint32_t> frameTicks;
const char* frameLogPath = nullptr;

void writeFrameLog() {
    if (!frameLogPath)
        return;
    if (std::FILE* log = std::fopen(frameLogPath, "a")) {
        for (uint32_t tick : frameTicks) std::fprintf(log, "%u\n", tick);
        std::fclose(log);
    } else {
        std::fprintf(stderr, "Dravik: cannot write the frame log %s\n", frameLogPath);
    }
}

// The player's settings, read once; the command line's options win for this run.
SettingsFile settingsFile;
DisplaySettings display;

void readSettings(const CommandLine& options) {
    std::vector<std::string> warnings;
    std::string path = settingsFilePath();
    if (!path.empty())
        settingsFile.load(path, warnings);
    display = displaySettingsFrom(settingsFile, warnings);
    applyShellSettings(settingsFile, options, shellOptions, warnings);
    for (const std::string& warning : warnings)
        std::fprintf(stderr, "Dravik: %s\n", warning.c_str());
    applyCommandLine(options, display);
}

// A setting changed in the game is written back at once.
void saveSettings() {
    if (settingsFile.path().empty())
        return;
    std::string error;
    if (!settingsFile.save(error))
        std::fprintf(stderr, "Dravik: the settings were not saved: %s\n", error.c_str());
}

// Classic keeps the original's stretch in a window and black bars in full screen; smooth keeps
// 4:3 everywhere unless the player asked to fill the window.
void placePicture(bool fullscreen) {
    if (auto* device = dynamic_cast<GlDevice*>(game.device.get())) {
        device->setLetterbox(shellOptions.classic ? fullscreen : !display.fill);
        // Smooth frames are drawn at the window's own resolution.
        device->setNativeResolution(!shellOptions.classic);
    }
}

// Once the device exists: classic or smooth by the settings and the renderer, and vsync.
void choosePacing(const GlGraphicsSystem& graphics) {
    auto* device = dynamic_cast<GlDevice*>(game.device.get());
    std::string renderer = device ? device->rendererName() : "";
    shellOptions.classic = chooseClassic(display, renderer);
    FramePacing pacing;
    pacing.smooth = !shellOptions.classic;
    pacing.idleWhilePaused = true;
    pacing.framesPerSecond = frameRate(display, static_cast<int>(graphics.desktopRefreshRate()));
    setFramePacing(pacing);
    placePicture(display.fullscreen);
    // Multisampling smooths the edges of the sharp picture; the classic one stays the original's.
    if (device && display.msaa > 1) {
        if (shellOptions.classic)
            std::fprintf(stderr, "Dravik: multisampling (msaa = %d) is drawn in smooth mode only\n",
                         display.msaa);
        else if (int got = device->setMultisampling(display.msaa); got < display.msaa)
            std::fprintf(stderr, "Dravik: multisampling: %d samples a pixel asked, %d drawn\n",
                         display.msaa, got);
    }
    // Classic presents as the original did, without waiting; smooth waits where it may.
    if (device && pacing.smooth && display.vsync && !device->setVsync(true))
        std::fprintf(stderr,
                     "Dravik: the display driver offers no vsync; frames are paced by "
                     "the clock alone\n");
}

// The address space the game takes at most on top of what it has at start: the software GL
// renderer's threads and their memory arenas are most of it. Measured on two cores; more cores
// take more.
constexpr size_t kAddressSpaceNeeded = size_t(800) << 20;

// Under an address-space limit (ulimit -v) too low for the game, the GL renderer would crash part
// way through the start-up; the game says so before it begins instead.
bool enoughAddressSpace() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return true;
    void* room = ::mmap(nullptr, kAddressSpaceNeeded, PROT_NONE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (room != MAP_FAILED) {
        ::munmap(room, kAddressSpaceNeeded);
        return true;
    }
    std::fprintf(stderr,
                 "Dravik: not enough memory to start: the address-space limit (ulimit -v) of %llu "
                 "MB leaves less than the %zu MB the game needs.\n",
                 static_cast<unsigned long long>(limit.rlim_cur >> 20), kAddressSpaceNeeded >> 20);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine options;
    std::string error;
    if (!parseCommandLine(std::vector<std::string>(argv + (argc > 0), argv + argc), options,
                          error)) {
        std::fprintf(stderr, "dravik: %s\nTry 'dravik --help' for more information.\n",
                     error.c_str());
        return kExitUsage;
    }
    if (options.action == CommandLine::Action::Help) {
        std::fputs(usageText("dravik").c_str(), stdout);
        return 0;
    }
    if (options.action == CommandLine::Action::Version) {
        std::fputs(versionText().c_str(), stdout);
        return 0;
    }
    // The player's settings, said once on stderr when something in the file is wrong; the
    // command line wins for this run.
    readSettings(options);
    // Classic mode, asked for or chosen on a software renderer, draws on the game's own thread.
    if (display.classic.value_or(true))
        glPreferOneDrawingThread();
    std::string ghostSource = ghostChoice(settingsFile, options);
    // The game's data is found from where the program lies; the working folder stays the
    // player's, so a relative recording path and the file dialogs start from there.
    setDataFolder(findDataFolder());
    // The records of earlier runs, and the ghost worked out before any flight.
    recordKeeper.keeping = true;
    recordKeeper.load();
    if (!ghostSource.empty()) {
        std::string message;
        if (loadGhost(ghostSource, recordKeeper.bestPath, message))
            ghost.enabled = true;
        if (!message.empty())
            std::fprintf(stderr, "Dravik: ghost: %s\n", message.c_str());
    }

    static SdlWindow window;
    static SdlTickSource ticks;
    static SdlInputSource input;
    static FluidMusicService music;
    static TtfTextRenderer text;

    if (!enoughAddressSpace())
        return 1;
    createProgramObjects();
    if (!options.recording.empty())
        replayWhenRunning(options.recording);
    // Without any display the game cannot be seen at all: a failure, said on stderr.
    if (!window.create())
        return window.noDisplay() ? 1 : 0;
    window.setRawEventHook([](const SDL_Event& e) { input.handleEvent(e); });
    // While a dialog or message box is open the window still answers repaint requests.
    window.setModalPaintHook([] { windowProcedure(WindowEvent{EventType::Paint, 0, 0}); });
    static GlGraphicsSystem graphics(window.handle());
    // Registered after the platform objects, so it runs before their destructors.
    std::atexit(leaveWithoutDestructors);
    // Full screen keeps the 640 x 480 picture's proportions; the window stretches it.
    window.setFullscreenHook([](bool on) {
        placePicture(on);
        if (on != display.fullscreen) {
            display.fullscreen = on;
            settingsFile.setFlag(kKeyFullscreen, on);
            saveSettings();
        }
    });
    // Full screen once started: the projection takes its proportions from the window as the
    // start-up finds it.
    setStartedHook([] {
        choosePacing(graphics);
        if (display.fullscreen)
            window.setFullscreen(true);
    });
    frameLogPath = std::getenv("DRAVIK_FRAME_LOG");
    if (frameLogPath && *frameLogPath) {
        frameTicks.reserve(size_t(1) << 18);
        setFrameHook([](uint32_t tick) { frameTicks.push_back(tick); });
    } else {
        frameLogPath = nullptr;
    }

    game.mainWindow = &window;
    game.tickSource = &ticks;
    game.graphicsPlatform = &graphics;
    game.inputPlatform = &input;
    game.musicPlatform = &music;
    game.textPlatform = &text;

    const char* stepLog = std::getenv("DRAVIK_STEP_LOG");
    int code = 0;
    try {
        code = stepLog && *stepLog ? runMainLoopLoggingSteps(stepLog) : runMainLoop();
    } catch (const std::bad_alloc&) {
        // Memory that runs out later still ends the game with a message rather than an abort.
        std::fputs("Dravik: out of memory; the game ends.\n", stderr);
        std::_Exit(1);
    }
    // Esc ends the loop without the shut-down sequence; the device must still go before the
    // window it draws on.
    writeFrameLog();
    if (game.device || game.soundSystem)
        shutDown();
    music.closeDown();
    finishedCleanly = true;
    return code;
}
