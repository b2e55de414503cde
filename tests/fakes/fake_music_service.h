// A music service that plays nothing, logs every call in order and can be told to fail, for tests
// of the sound system.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "audio/music_service.h"

// A segment of the fake service; it logs its own release, so the order of releases shows up in
// the same log as the calls.
class FakeSegment : public Segment {
  public:
    FakeSegment(std::string name, std::string path, std::shared_ptr<std::vector<std::string>> log)
        : name(std::move(name)), path(std::move(path)), log_(std::move(log)) {}
    ~FakeSegment() override { log_->push_back("release " + name); }

    std::string name;  // the file name, e.g. "evening.mid"
    std::string path;  // as given to loadSegment

  private:
    std::shared_ptr<std::vector<std::string>> log_;
};

class FakeMusicService : public MusicService {
  public:
    // Entries: "start", "load <path>", "setStandardMidiFile <name>", "download <name>",
    // "playPrimary <name>", "playSecondary <name>", "setMasterTempo <f>", "setMasterVolume <v>",
    // "stop", "closeDown", "release <name>".
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();

    // Operations that fail: an operation name ("start", "download", ...) fails every such call;
    // "<operation> <name>" fails it for one segment only ("download velmo.mid").
    std::set<std::string> failing;
    // Files that cannot be loaded, matched against the end of the path ("media/crush.wav").
    std::set<std::string> missingFiles;

    // What the calls left in effect.
    bool started = false;
    bool closedDown = false;
    float tempo = 1.0f;
    int32_t volume = 0;
    std::string primary;                   // the looping tune; empty when stopped
    std::vector<std::string> secondaries;  // sounds started since the last stop

    const std::vector<std::string>& calls() const { return *log; }
    void clearLog() { log->clear(); }
    // Calls whose entry begins with `prefix`, in order.
    std::vector<std::string> callsStartingWith(const std::string& prefix) const;

    bool start() override;
    std::unique_ptr<Segment> loadSegment(const std::string& path) override;
    bool setStandardMidiFile(Segment& segment) override;
    bool download(Segment& segment) override;
    bool playPrimary(Segment& segment) override;
    bool playSecondary(Segment& segment) override;
    bool setMasterTempo(float factor) override;
    bool setMasterVolume(int32_t volume) override;
    bool stop() override;
    void closeDown() override;

  private:
    bool fails(const std::string& operation, const std::string& name = "") const;
    static std::string nameOf(Segment& segment);
};
