// Where the game's own data lies. Media are named relative to it ("media/BG.dds"); the program
// sets the folder once at start, from where it is installed, and the places that open media
// resolve their names through dataFilePath.
#pragma once

#include <string>

// Empty (the default): media names are taken relative to the current folder.
void setDataFolder(const std::string& folder);
const std::string& dataFolder();

// A relative name under the data folder; absolute names, and every name while no data folder is
// set, are returned as they are.
std::string dataFilePath(const std::string& name);
