// Messages to the player: a message box with the caption "Dravik" and one OK button, the same text
// on stderr.
#pragma once

#include <string>

constexpr const char* kCaption = "Dravik";

// UTF-8 text. Shown through the window services when there are any; always written to stderr.
void showMessage(const std::string& text);
