// The player's records, kept between runs in $XDG_DATA_HOME/dravik/records.json: the best finished
// flight (its time, its recording beside as best.dvk) and the best pass time of every target ever
// flown live. The game's own best times (the sound of a pass, the large red time) stay those of
// this run of the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "game/game_state.h"

struct Records {
    std::optional<uint32_t> bestFlightTenths;
    std::optional<uint32_t> bestPassTimes[TargetCount];
    bool operator==(const Records&) const = default;
};

// $XDG_DATA_HOME/dravik (by default ~/.local/share/dravik); empty when no home is known.
std::string recordsFolder();
std::string recordsFilePath();
std::string bestRecordingPath();

// {"version": 1, "bestFlightTenths": 523, "bestPassTimes": [121, null, 380, 523]}
std::string recordsJson(const Records& records);
// False with `error` for text that is not such a record (unknown fields are ignored).
bool parseRecordsJson(const std::string& text, Records& out, std::string& error);

// Reads the records file. A missing file is no records. A file that cannot be understood is set
// aside as records.json.broken (replacing an older one) so that the next write does not lose it,
// and `message` says so; the records are then empty. False only when the file exists and could
// not be read or set aside (`message` says why; nothing is changed).
bool loadRecords(const std::string& path, Records& out, std::string& message);
// Writes the file atomically, making its folder when needed.
bool saveRecords(const std::string& path, const Records& records, std::string& error);

// A target passed live at `tenths`; true when that is its new record (an equal time is not).
bool mergePass(Records& records, int target, uint32_t tenths);
// A flight finished live in `tenths`; true when that is the new best flight.
bool mergeFlight(Records& records, uint32_t tenths);
