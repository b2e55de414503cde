// Where the game's own data lies: one folder, set by the program at start.
#include "gfx/data_folder.h"

namespace {
std::string folder;
}

void setDataFolder(const std::string& newFolder) {
    folder = newFolder;
}

const std::string& dataFolder() {
    return folder;
}

std::string dataFilePath(const std::string& name) {
    if (folder.empty() || name.empty() || name[0] == '/')
        return name;
    return folder + (folder.back() == '/' ? "" : "/") + name;
}
