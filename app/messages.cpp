// Messages to the player, through the window services and on stderr.
#include "app/messages.h"

#include <cstdio>

#include "app/window_services.h"
#include "game/game_state.h"

void showMessage(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kCaption, text.c_str());
    if (game.mainWindow)
        game.mainWindow->messageBox(text, kCaption);
}
