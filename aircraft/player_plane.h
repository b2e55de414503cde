// The player's plane in flight: its roll and yaw with the bank, its tumble in a bump.
#pragma once

int drawPlayerPlane(int advance);
