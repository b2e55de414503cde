// The splits: after each target pass, for a few seconds, the difference to the ghost's (or the
// kept record's) time at the same target; on the result screen, the flight's time beside the
// record and the four pass times. Words on screen only: nothing here changes the game.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/game_state.h"

constexpr uint32_t kSplitMilliseconds = 3000;

struct SplitBoard {
    // The split of the latest pass.
    bool active = false;
    std::string text;
    bool ahead = false;
    uint32_t shownAt = 0;
    // The result screen: the kept record the flight is measured against (as it stood before the
    // flight) and whether the flight beat it.
    std::optional<uint32_t> recordTenths;
    bool newRecord = false;
};
extern SplitBoard splitBoard;

// "52.3" for 523 tenths.
std::string tenthsText(uint32_t tenths);
// The split of a pass at `tenths` against `reference`: "-1.3" ahead, "+0.4" behind, "0.0" level.
std::string splitText(uint32_t tenths, uint32_t reference);
// Shows the split of a pass against a reference time, from `nowTick`.
void showSplit(uint32_t tenths, uint32_t reference, uint32_t nowTick);
bool splitFresh(const SplitBoard& board, uint32_t nowTick);

// The lines the result screen shows under its hint: "TIME 52.3   RECORD 50.1" (or "NEW RECORD")
// and the four pass times.
// The flight's time: its last pass (0 before any).
uint32_t lastPassTenths(const GameState& state);
std::vector<std::string> resultRecordLines(const GameState& state, const SplitBoard& board);
