// How the game shows its picture: classic or smooth, the frame cap, vsync, filling the window,
// multisampling, full screen. Read from the settings file, overridden by the command line, and
// the classic choice made once the GL renderer is known.
#pragma once

#include <optional>
#include <string>
#include <vector>

class SettingsFile;
struct CommandLine;

struct DisplaySettings {
    // Unset: classic exactly when the renderer is a software one.
    std::optional<bool> classic;
    int fps = 0;  // frames a second at most; 0 the display's refresh rate
    bool vsync = true;
    bool fill = false;  // stretch over the window instead of keeping 4:3
    int msaa = 0;       // samples a pixel; 0 none
    bool fullscreen = false;
};

// The keys of the settings file.
constexpr const char* kKeyMode = "mode";  // classic, smooth or auto
constexpr const char* kKeyFps = "fps";
constexpr const char* kKeyVsync = "vsync";
constexpr const char* kKeyFill = "fill";
constexpr const char* kKeyMsaa = "msaa";
constexpr const char* kKeyFullscreen = "fullscreen";

// The file's settings; a value it cannot use keeps the default and adds a warning.
DisplaySettings displaySettingsFrom(const SettingsFile& file, std::vector<std::string>& warnings);
// The options given on the command line replace the file's.
void applyCommandLine(const CommandLine& options, DisplaySettings& settings);
// Whether the renderer GL names is one drawn by the processor (llvmpipe, softpipe, swrast).
bool isSoftwareRenderer(const std::string& renderer);
// Classic mode when the player asked for it, else when the renderer is a software one.
bool chooseClassic(const DisplaySettings& settings, const std::string& renderer);
// The frames a second the smooth loop aims at: the cap, else the display's rate, else 60.
int frameRate(const DisplaySettings& settings, int displayRefresh);
