// Where the player's recordings go: $XDG_DATA_HOME/dravik/recordings (by default
// ~/.local/share/dravik/recordings), and the name the save dialog proposes.
#pragma once

#include <ctime>
#include <string>

// The folder, from the environment: XDG_DATA_HOME when it is an absolute path, else HOME's
// .local/share, else the home folder of the user's account. Empty when none of them is known.
std::string recordingsFolder();

// "flight-2026-12-08-1432.dvk": the local date and time `when`, to the minute.
std::string proposedRecordingName(std::time_t when);

// Makes `folder` and any parent that is missing, new ones readable by the player alone (0700, as
// the XDG base directory rules ask). False with `error` ("cannot make FOLDER: REASON") when it
// cannot be made or a part of it is not a folder.
bool makeFolders(const std::string& folder, std::string& error);
