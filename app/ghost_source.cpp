// Loading the ghost's recording and working out its path; the G key.
#include "app/ghost_source.h"

#include <sys/stat.h>

#include <cerrno>

#include "controls/flight_recorder.h"
#include "game/ghost_path.h"
#include "gfx/file_access.h"
#include "hud/overlays.h"

bool loadGhost(const std::string& source, const std::string& bestPath, std::string& message) {
    message.clear();
    ghost.source = source;
    ghost.path.reset();
    std::string path = source == kBestGhost ? bestPath : source;
    if (source == kBestGhost) {
        struct stat st {};
        if (path.empty() || (::stat(path.c_str(), &st) != 0 && errno == ENOENT)) {
            message = "no best flight is kept yet; the ghost flies once a flight has finished";
            return true;
        }
    }
    FlightRecorder recorder(kRecorderCapacity);
    if (!recorder.loadFromFile(path)) {
        std::string why = takeFileFailure();
        message = path + " cannot be read as a recording" + (why.empty() ? "" : ": " + why);
        return false;
    }
    ghost.path = computeGhostPath(recorder.entries, recorder.recordedLength);
    return true;
}

std::string ghostChoice(const SettingsFile& settings, const CommandLine& commandLine) {
    if (!commandLine.ghost.empty())
        return commandLine.ghost;
    std::string value = settings.text(kSettingGhost, "off");
    return value == "off" ? std::string() : value;
}

void toggleGhost(const std::string& bestPath) {
    if (game.gameOver)
        return;
    if (!(game.halted || game.introActive)) {
        // In flight the key waits for a pause: said on screen rather than ignored silently.
        showOverlayNote(kNoteGhostWaits, game.nowTick);
        return;
    }
    ghost.enabled = !ghost.enabled;
    std::string message;
    if (ghost.enabled && ghost.source.empty() && !loadGhost(kBestGhost, bestPath, message))
        ghost.enabled = false;
    std::string note = ghost.enabled ? "Ghost on" : "Ghost off";
    if (ghost.enabled && !ghost.path)
        note += " (no best flight yet)";
    showOverlayNote(note, game.nowTick);
}
