// The new-game reset: the intro pending, the clock about to restart, the same field of cones.
#pragma once

void newGame();
