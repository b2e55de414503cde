// Messages to the player, through the window services and on stderr.
#include "app/messages.h"

#include <cstdio>

#include "app/window_services.h"
#include "game/game_state.h"
#include "gfx/file_access.h"

std::string messageWithDetail(const std::string& text, const std::string& detail) {
    if (detail.empty())
        return text;
    return text + "\n" + detail;
}

void showMessage(const std::string& text, const std::string& detail) {
    // A noted failure belongs to this message either way: it must not reach a later one.
    const std::string noted = takeFileFailure();
    const std::string full = messageWithDetail(text, detail.empty() ? noted : detail);
    std::fprintf(stderr, "%s: %s\n", kCaption, full.c_str());
    if (game.mainWindow)
        game.mainWindow->messageBox(full, kCaption);
}
