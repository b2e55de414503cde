// Keeping the records as flights go: each target passed live may set a record of its own, a
// flight finished live may set the best flight (its recording kept as best.dvk). A replay shows
// its splits but never changes a record.
#pragma once

#include <string>

#include "app/records.h"

class RecordKeeper {
  public:
    // Live flights write the records file (the game; the headless runner with --keep-records).
    bool keeping = false;
    Records records;
    std::string filePath;  // the records file; recordsFilePath() unless a test says otherwise
    std::string bestPath;  // the best flight's recording; bestRecordingPath() likewise

    // Reads the records file; a message for the player when it was broken or unreadable.
    void load();
    // Called by the main loop after every frame step.
    void afterStep();

  private:
    void flightStarts();
    void passed(int target);
    void finished();
    void save();

    bool live_ = false;
    bool finishedSeen_ = true;
    bool seen_[TargetCount] = {};
    Records atStart_;
};

extern RecordKeeper recordKeeper;
