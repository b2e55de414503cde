// dravik-headless --verify FILE: a recorded flight replayed without drawing, and its verdict.
#pragma once

#include "headless_options.h"

// Prints the verdict on stdout. Returns 0 for a flight through all four targets, 1 for one that
// does not finish, 2 for a file that cannot be read as a recording.
int verifyFlight(HeadlessOptions options);
