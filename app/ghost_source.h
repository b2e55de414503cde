// Where the ghost comes from: a recording file, or "best", the best flight kept with the records.
#pragma once

#include <string>

#include "app/command_line.h"
#include "app/settings.h"

constexpr const char* kBestGhost = "best";

// Reads `source` ("best" reads `bestPath`) and works out the ghost's path, which the flights
// from now on are accompanied by. True when the ghost is ready, or when "best" has no flight yet
// (one appears after the first finished flight); false with `message` for a file that cannot be
// read as a recording (the ghost is then gone).
bool loadGhost(const std::string& source, const std::string& bestPath, std::string& message);

// The ghost this run starts with: the command line's --ghost, else the setting `ghost` (off,
// best, or a recording file); empty for none.
std::string ghostChoice(const SettingsFile& settings, const CommandLine& commandLine);
constexpr const char* kSettingGhost = "ghost";

// The G key: the ghost on or off, while paused or in the intro. Turned on with none chosen, it is
// the best flight's.
void toggleGhost(const std::string& bestPath);
