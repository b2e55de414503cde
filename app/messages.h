// Messages to the player: a message box with the caption "Dravik" and one OK button, the same text
// on stderr.
#pragma once

#include <string>

constexpr const char* kCaption = "Dravik";

// UTF-8 text. Shown through the window services when there are any; always written to stderr.
// `detail`, one line in English on what failed, the file and why, is added as the second line;
// without one, the last noted file failure (gfx/file_access.h) is, when there is one.
void showMessage(const std::string& text, const std::string& detail = {});

// The text shown: `text`, then `detail` on a line of its own when there is one.
std::string messageWithDetail(const std::string& text, const std::string& detail);
