// The picture's settings from the settings file and the command line, and the classic choice.
#include "app/display_settings.h"

#include <algorithm>
#include <cctype>

#include "app/command_line.h"
#include "app/settings.h"

DisplaySettings displaySettingsFrom(const SettingsFile& file, std::vector<std::string>& warnings) {
    DisplaySettings s;
    std::string mode = file.text(kKeyMode, "auto");
    if (mode == "classic")
        s.classic = true;
    else if (mode == "smooth")
        s.classic = false;
    else if (mode != "auto")
        warnings.push_back(file.path() + ": mode = " + mode +
                           " is not classic, smooth or auto; it stays auto");
    s.fps = file.number(kKeyFps, s.fps, 0, kMaxFps, warnings);
    s.vsync = file.flag(kKeyVsync, s.vsync, warnings);
    s.fill = file.flag(kKeyFill, s.fill, warnings);
    s.msaa = file.number(kKeyMsaa, s.msaa, 0, kMaxMsaa, warnings);
    s.fullscreen = file.flag(kKeyFullscreen, s.fullscreen, warnings);
    return s;
}

void applyCommandLine(const CommandLine& options, DisplaySettings& settings) {
    if (options.classic)
        settings.classic = options.classic;
    if (options.fps)
        settings.fps = *options.fps;
    if (options.vsync)
        settings.vsync = *options.vsync;
    if (options.fill)
        settings.fill = *options.fill;
    if (options.msaa)
        settings.msaa = *options.msaa;
    if (options.fullscreen)
        settings.fullscreen = *options.fullscreen;
}

bool isSoftwareRenderer(const std::string& renderer) {
    std::string lower = renderer;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "software rasterizer"})
        if (lower.find(name) != std::string::npos)
            return true;
    return false;
}

bool chooseClassic(const DisplaySettings& settings, const std::string& renderer) {
    return settings.classic.value_or(isSoftwareRenderer(renderer));
}

int frameRate(const DisplaySettings& settings, int displayRefresh) {
    if (settings.fps > 0)
        return settings.fps;
    return displayRefresh > 0 ? displayRefresh : 60;
}
