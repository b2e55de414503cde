// Start-up and shut-down: the six long-lived objects, the ten start-up steps, the status lines
// and the shut-down sequence run when the window is destroyed.
#pragma once

// The objects made before the main loop starts (no device resources, no files).
void createProgramObjects();
bool startUp();
int paintStatus(int stage);
// Runs on window destruction: releases everything in order and posts the quit message.
void shutDown();
void releaseDevices();
