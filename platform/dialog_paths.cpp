// Path rules of the recording file dialogs.
#include "platform/dialog_paths.h"

#include <sys/stat.h>

bool hasExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.find_last_of('.');
    return dot != std::string::npos && dot > nameStart;
}

std::string withDefaultExtension(const std::string& path, const std::string& extension) {
    std::string ext = extension;
    if (!ext.empty() && ext.front() == '.')
        ext.erase(0, 1);
    if (ext.empty() || path.empty() || path.back() == '/' || hasExtension(path))
        return path;
    return path + "." + ext;
}

bool isExistingFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool pathExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

std::string withoutTrailingNewline(std::string text) {
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}
