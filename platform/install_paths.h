// Finding the game's data folder from where the program itself lies, so that the game starts in
// any working folder: the build folder, a `cmake --install` prefix or the Debian games layout.
#pragma once

#include <string>

// The folder that holds media/, in this order:
//  1. $DRAVIK_DATA_DIR, when it is set and not empty (made absolute);
//  2. the install's data folder, at its place relative to the installed program
//     (bin/ -> share/dravik, games/ -> share/games/dravik, as the build was configured);
//  3. for a program that is not installed (the build folder): the current folder when it holds
//     media/, as the game always looked there (an empty result), else the program's own folder
//     when media/ lies beside it.
// Empty otherwise: names are then taken relative to the current folder. A folder found is
// absolute, so the player's later moves of the working folder do not matter.
std::string findDataFolder();

// The folder of the running program (from /proc/self/exe); empty when it cannot be read.
std::string programFolder();
