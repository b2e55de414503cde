// The live input reader: the chosen mouse or keyboard polled once per frame, mapped to turn and
// speed input, recorded.
#pragma once

bool createInputDevice();
bool readInput();
void releaseInputDevice();
