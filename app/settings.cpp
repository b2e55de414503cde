// The player's settings file: where it lives, reading it line by line, and writing it back whole.
#include "app/settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/recordings_folder.h"
#include "gfx/file_access.h"

namespace {

constexpr size_t kLargestFile = 64 * 1024;

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return {};
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    return home && home[0] == '/' ? home : "";
}

}  // namespace

std::string settingsFilePath() {
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG rules say.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (configHome && configHome[0] == '/') {
        base = configHome;
    } else {
        std::string home = homeFolder();
        if (home.empty())
            return {};
        base = home + (home.back() == '/' ? "" : "/") + ".config";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/dravik/settings.ini";
}

bool parseFlag(const std::string& text, bool& out) {
    if (text == "on" || text == "true" || text == "yes" || text == "1") {
        out = true;
        return true;
    }
    if (text == "off" || text == "false" || text == "no" || text == "0") {
        out = false;
        return true;
    }
    return false;
}

void SettingsFile::load(const std::string& path, std::vector<std::string>& warnings) {
    path_ = path;
    values_.clear();
    if (path.empty())
        return;
    std::string error;
    int fd = openRegularFile(path, error);
    if (fd < 0) {
        if (errno != ENOENT)
            warnings.push_back(error + "; the default settings are used");
        return;
    }
    std::string content;
    char chunk[4096];
    for (;;) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            warnings.push_back(fileFailure("read", path, errno) +
                               "; the default settings are used");
            ::close(fd);
            return;
        }
        if (got == 0)
            break;
        content.append(chunk, size_t(got));
        if (content.size() > kLargestFile) {
            warnings.push_back(fileFailure("read", path, "larger than 64 KiB") +
                               "; the default settings are used");
            ::close(fd);
            return;
        }
    }
    ::close(fd);

    size_t lineNumber = 0;
    size_t at = 0;
    while (at < content.size()) {
        size_t end = content.find('\n', at);
        if (end == std::string::npos)
            end = content.size();
        std::string line = trim(content.substr(at, end - at));
        at = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[')
            continue;
        size_t equals = line.find('=');
        std::string key = equals == std::string::npos ? "" : trim(line.substr(0, equals));
        if (key.empty()) {
            warnings.push_back(path + ":" + std::to_string(lineNumber) +
                               ": not a 'key = value' line; it is ignored");
            continue;
        }
        values_[key] = trim(line.substr(equals + 1));
    }
}

bool SettingsFile::save(std::string& error) const {
    if (path_.empty()) {
        error = "cannot write the settings: no home folder is known";
        return false;
    }
    if (!makeFolders(folderOf(path_), error))
        return false;
    std::string text = "# Dravik's settings, written by the game; see dravik(6).\n";
    for (const auto& [key, value] : values_) text += key + " = " + value + "\n";

    std::string temporary = folderOf(path_) + "/.settings.ini.XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = fileFailure("write", path_, errno);
        return false;
    }
    bool ok = true;
    size_t written = 0;
    while (ok && written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            written += size_t(n);
    }
    if (ok && ::fsync(fd) != 0)
        ok = false;
    int saved = errno;
    ::close(fd);
    if (ok && ::rename(name.data(), path_.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(name.data());
        error = fileFailure("write", path_, saved);
    }
    return ok;
}

std::string SettingsFile::text(const std::string& key, const std::string& fallback) const {
    auto it = values_.find(key);
    return it == values_.end() ? fallback : it->second;
}

bool SettingsFile::flag(const std::string& key, bool fallback,
                        std::vector<std::string>& warnings) const {
    auto it = values_.find(key);
    if (it == values_.end())
        return fallback;
    bool out = fallback;
    if (!parseFlag(it->second, out)) {
        warnings.push_back(path_ + ": " + key + " = " + it->second +
                           " is not on or off; it stays " + (fallback ? "on" : "off"));
        return fallback;
    }
    return out;
}

int SettingsFile::number(const std::string& key, int fallback, int low, int high,
                         std::vector<std::string>& warnings) const {
    auto it = values_.find(key);
    if (it == values_.end())
        return fallback;
    const std::string& text = it->second;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
        warnings.push_back(path_ + ": " + key + " = " + text + " is not a whole number from " +
                           std::to_string(low) + " to " + std::to_string(high) + "; it stays " +
                           std::to_string(fallback));
        return fallback;
    }
    return static_cast<int>(value);
}
