// The shell's options from the settings file and the command line: what the entry point hands the
// game before it starts.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/settings.h"
#include "game/shell_options.h"

// Keys of the settings file.
constexpr const char* kSettingPauseOnFocusLoss = "pause_on_focus_loss";
constexpr const char* kSettingOverlays = "overlays";

// Sets `options` from the file (a bad value keeps the default and adds a warning) and then from
// the command line, which wins.
void applyShellSettings(const SettingsFile& file, const CommandLine& commandLine,
                        ShellOptions& options, std::vector<std::string>& warnings);
