// The recordings folder under the player's XDG data folder, and the proposed recording name.
#include "app/recordings_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "gfx/file_access.h"

namespace {

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return home;
    if (const passwd* account = ::getpwuid(::getuid());
        account && account->pw_dir && account->pw_dir[0] == '/')
        return account->pw_dir;
    return {};
}

}  // namespace

std::string recordingsFolder() {
    // A relative XDG_DATA_HOME is invalid and ignored, as the XDG rules say.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (dataHome && dataHome[0] == '/') {
        base = dataHome;
    } else {
        const std::string home = homeFolder();
        if (home.empty())
            return {};
        base = home + (home.back() == '/' ? "" : "/") + ".local/share";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/dravik/recordings";
}

std::string proposedRecordingName(std::time_t when) {
    std::tm local{};
    if (!::localtime_r(&when, &local))
        return "flight.dvk";
    char name[64];
    std::strftime(name, sizeof name, "flight-%Y-%m-%d-%H%M.dvk", &local);
    return name;
}

bool makeFolders(const std::string& folder, std::string& error) {
    if (folder.empty()) {
        error = fileFailure("make", folder, ENOENT);
        return false;
    }
    // Each component in turn, from the root down.
    size_t end = 0;
    while (end != std::string::npos) {
        end = folder.find('/', end + 1);
        const std::string part = folder.substr(0, end);
        if (part.empty() || part == "/")
            continue;
        if (::mkdir(part.c_str(), 0700) == 0 || errno == EEXIST) {
            struct stat info {};
            if (::stat(part.c_str(), &info) != 0) {
                error = fileFailure("make", folder, errno);
                return false;
            }
            if (!S_ISDIR(info.st_mode)) {
                error = fileFailure("make", folder, part + " is not a folder");
                return false;
            }
            continue;
        }
        error = fileFailure("make", folder, errno);
        return false;
    }
    return true;
}
