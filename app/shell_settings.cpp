// The shell's options: the settings file first, the command line over it.
#include "app/shell_settings.h"

void applyShellSettings(const SettingsFile& file, const CommandLine& commandLine,
                        ShellOptions& options, std::vector<std::string>& warnings) {
    options.pauseOnFocusLoss =
        file.flag(kSettingPauseOnFocusLoss, options.pauseOnFocusLoss, warnings);
    options.overlays = file.flag(kSettingOverlays, options.overlays, warnings);
    if (commandLine.noFocusPause)
        options.pauseOnFocusLoss = false;
}
