// Finding the game's data folder from where the program itself lies.
#include "platform/install_paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

// The data folder relative to the folder the program is installed in, set by the build.
#ifndef DRAVIK_DATA_FROM_PROGRAM
#define DRAVIK_DATA_FROM_PROGRAM "../share/dravik"
#endif

namespace fs = std::filesystem;

namespace {

bool holdsMedia(const fs::path& folder) {
    std::error_code ec;
    return fs::is_directory(folder / "media", ec);
}

}  // namespace

std::string programFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return {};
    return exe.parent_path().string();
}

std::string findDataFolder() {
    if (const char* fromEnvironment = std::getenv("DRAVIK_DATA_DIR");
        fromEnvironment && *fromEnvironment) {
        std::error_code ec;
        const fs::path absolute = fs::absolute(fromEnvironment, ec);
        return ec ? std::string(fromEnvironment) : absolute.lexically_normal().string();
    }
    const std::string here = programFolder();
    if (here.empty())
        return {};
    const fs::path installed = (fs::path(here) / DRAVIK_DATA_FROM_PROGRAM).lexically_normal();
    if (holdsMedia(installed))
        return installed.string();
    if (holdsMedia("."))
        return {};
    if (holdsMedia(here))
        return here;
    return {};
}
