// The split texts and the result screen's record lines.
#include "hud/splits.h"

SplitBoard splitBoard;

std::string tenthsText(uint32_t tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string splitText(uint32_t tenths, uint32_t reference) {
    if (tenths == reference)
        return "0.0";
    if (tenths < reference)
        return "-" + tenthsText(reference - tenths);
    return "+" + tenthsText(tenths - reference);
}

void showSplit(uint32_t tenths, uint32_t reference, uint32_t nowTick) {
    splitBoard.active = true;
    splitBoard.text = splitText(tenths, reference);
    splitBoard.ahead = tenths <= reference;
    splitBoard.shownAt = nowTick;
}

bool splitFresh(const SplitBoard& board, uint32_t nowTick) {
    return board.active && uint32_t(nowTick - board.shownAt) < kSplitMilliseconds;
}

uint32_t lastPassTenths(const GameState& state) {
    uint32_t last = 0;
    for (int i = 0; i < TargetCount; ++i)
        if (state.targetPassed[i] && state.passTimes[i] > last)
            last = state.passTimes[i];
    return last;
}

std::vector<std::string> resultRecordLines(const GameState& state, const SplitBoard& board) {
    std::string first = "TIME " + tenthsText(lastPassTenths(state));
    if (board.newRecord && board.recordTenths)
        first += "   NEW RECORD (was " + tenthsText(*board.recordTenths) + ")";
    else if (board.newRecord)
        first += "   NEW RECORD";
    else if (board.recordTenths)
        first += "   RECORD " + tenthsText(*board.recordTenths);
    std::string second = "PASSES";
    for (int i = 0; i < TargetCount; ++i)
        second += "   " + (state.targetPassed[i] ? tenthsText(state.passTimes[i]) : "-");
    return {first, second};
}
