// The record keeper: watches the game state after every step (it changes nothing of it) and keeps
// the records file up to date after live flights.
#include "app/record_keeper.h"

#include <cstdio>

#include "app/ghost_source.h"
#include "app/messages.h"
#include "app/recordings_folder.h"
#include "controls/flight_recorder.h"
#include "game/ghost_path.h"
#include "gfx/file_access.h"
#include "hud/overlays.h"
#include "hud/splits.h"

RecordKeeper recordKeeper;

void RecordKeeper::load() {
    if (filePath.empty())
        filePath = recordsFilePath();
    if (bestPath.empty())
        bestPath = bestRecordingPath();
    if (filePath.empty())
        return;
    std::string message;
    loadRecords(filePath, records, message);
    if (!message.empty())
        showMessage("記録ファイルを読めませんでした", message);
}

void RecordKeeper::flightStarts() {
    live_ = !game.replaying;
    finishedSeen_ = false;
    for (bool& s : seen_) s = false;
    atStart_ = records;
    splitBoard.active = false;
    splitBoard.recordTenths = records.bestFlightTenths;
    splitBoard.newRecord = false;
}

void RecordKeeper::passed(int target) {
    uint32_t tenths = game.passTimes[target];
    std::optional<uint32_t> reference;
    if (ghost.shown())
        reference = ghost.path->passTimes[target];
    else
        reference = atStart_.bestPassTimes[target];
    if (reference)
        showSplit(tenths, *reference, game.nowTick);
    if (live_ && keeping && mergePass(records, target, tenths))
        save();
}

void RecordKeeper::finished() {
    if (!live_)
        return;
    uint32_t finalTenths = lastPassTenths(game);
    splitBoard.newRecord = !atStart_.bestFlightTenths || finalTenths < *atStart_.bestFlightTenths;
    if (!keeping || !mergeFlight(records, finalTenths))
        return;
    // The recording first: a record never names a flight whose recording was not kept.
    std::string error;
    std::string folder = bestPath.substr(0, bestPath.find_last_of('/'));
    if (!makeFolders(folder, error) || !game.flightRecorder ||
        !game.flightRecorder->saveToFile(bestPath)) {
        if (error.empty())
            error = takeFileFailure();
        std::fprintf(stderr, "dravik: the best flight could not be kept: %s\n", error.c_str());
        showOverlayNote("The best flight could not be kept", game.nowTick);
        records.bestFlightTenths = atStart_.bestFlightTenths;
        save();
        return;
    }
    save();
    if (ghost.source == kBestGhost) {
        std::string message;
        loadGhost(kBestGhost, bestPath, message);
    }
}

void RecordKeeper::save() {
    std::string error;
    if (!saveRecords(filePath, records, error)) {
        std::fprintf(stderr, "dravik: the records could not be saved: %s\n", error.c_str());
        showOverlayNote("The records could not be saved", game.nowTick);
    }
}

void RecordKeeper::afterStep() {
    if (game.introActive) {
        if (game.introFrame == 1)
            flightStarts();
        return;
    }
    for (int i = 0; i < TargetCount; ++i) {
        if (game.targetPassed[i] && !seen_[i]) {
            seen_[i] = true;
            passed(i);
        }
    }
    if (game.gameOver && game.halted && !finishedSeen_) {
        finishedSeen_ = true;
        finished();
    }
}
