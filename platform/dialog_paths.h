// Path rules of the recording file dialogs: the default extension of a saved name, the checks on a
// chosen path, and the clean-up of what a dialog program prints.
#pragma once

#include <string>

// True when the last component of `path` has an extension: a dot after its first character.
bool hasExtension(const std::string& path);

// `path` with "." and `extension` appended when its file name has no extension; unchanged when it
// has one, when `extension` is empty, or when the path names no file (ends in '/').
std::string withDefaultExtension(const std::string& path, const std::string& extension);

// What a load dialog may answer: a path that exists and is not a folder. A FIFO or a device is
// passed on, so that the load refuses it with the file's message.
bool isExistingFile(const std::string& path);
bool pathExists(const std::string& path);

// A dialog program prints the chosen path followed by one newline.
std::string withoutTrailingNewline(std::string text);
