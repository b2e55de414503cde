// Verifying a recorded flight: the file read as the game reads it, then replayed by the real game
// on the null device, watched after every step.
#include "verify_flight.h"

#include <cstdio>

#include "controls/flight_recorder.h"
#include "flight_verdict.h"
#include "gfx/file_access.h"
#include "headless_runner.h"

int verifyFlight(HeadlessOptions options) {
    // The same reading as F5's: a file it refuses cannot be verified.
    FlightRecorder probe(kRecorderCapacity);
    if (!probe.loadFromFile(options.verifyFile)) {
        std::string why = takeFileFailure();
        std::fprintf(stderr, "dravik-headless: %s cannot be read as a recording%s%s\n",
                     options.verifyFile.c_str(), why.empty() ? "" : ": ", why.c_str());
        return 2;
    }
    uint32_t count = probe.recordedLength;

    options.replayFile = options.verifyFile;
    options.noGl = true;
    options.audioOut.clear();
    FlightWatcher watcher;
    HeadlessRunner runner(options);
    runner.afterStepHook = [&watcher](uint64_t step) {
        if (step > 0)
            watcher.afterStep(step);
    };
    int code = runner.run();
    if (code != 0)
        return 2;
    FlightVerdict verdict = watcher.verdict(count);
    std::printf("%s\n", verdictJson(verdict).c_str());
    return verdict.finished ? 0 : 1;
}
