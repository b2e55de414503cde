// The fake music service: logs, failure switches and the state its calls leave.
#include "fakes/fake_music_service.h"

#include <cstdio>

std::vector<std::string> FakeMusicService::callsStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& call : *log) {
        if (call.compare(0, prefix.size(), prefix) == 0)
            found.push_back(call);
    }
    return found;
}

bool FakeMusicService::fails(const std::string& operation, const std::string& name) const {
    return failing.count(operation) > 0 ||
           (!name.empty() && failing.count(operation + " " + name) > 0);
}

std::string FakeMusicService::nameOf(Segment& segment) {
    auto* fake = dynamic_cast<FakeSegment*>(&segment);
    return fake ? fake->name : "?";
}

bool FakeMusicService::start() {
    log->push_back("start");
    if (fails("start"))
        return false;
    started = true;
    return true;
}

std::unique_ptr<Segment> FakeMusicService::loadSegment(const std::string& path) {
    log->push_back("load " + path);
    for (const std::string& missing : missingFiles) {
        if (path.size() >= missing.size() &&
            path.compare(path.size() - missing.size(), missing.size(), missing) == 0) {
            return nullptr;
        }
    }
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (fails("load", name))
        return nullptr;
    return std::make_unique<FakeSegment>(name, path, log);
}

bool FakeMusicService::setStandardMidiFile(Segment& segment) {
    std::string name = nameOf(segment);
    log->push_back("setStandardMidiFile " + name);
    return !fails("setStandardMidiFile", name);
}

bool FakeMusicService::download(Segment& segment) {
    std::string name = nameOf(segment);
    log->push_back("download " + name);
    return !fails("download", name);
}

bool FakeMusicService::playPrimary(Segment& segment) {
    std::string name = nameOf(segment);
    log->push_back("playPrimary " + name);
    if (fails("playPrimary", name))
        return false;
    primary = name;
    return true;
}

bool FakeMusicService::playSecondary(Segment& segment) {
    std::string name = nameOf(segment);
    log->push_back("playSecondary " + name);
    if (fails("playSecondary", name))
        return false;
    secondaries.push_back(name);
    return true;
}

bool FakeMusicService::setMasterTempo(float factor) {
    char text[64];
    std::snprintf(text, sizeof text, "setMasterTempo %g", double(factor));
    log->push_back(text);
    if (fails("setMasterTempo"))
        return false;
    tempo = factor;
    return true;
}

bool FakeMusicService::setMasterVolume(int32_t level) {
    log->push_back("setMasterVolume " + std::to_string(level));
    if (fails("setMasterVolume"))
        return false;
    volume = level;
    return true;
}

bool FakeMusicService::stop() {
    log->push_back("stop");
    if (fails("stop"))
        return false;
    primary.clear();
    secondaries.clear();
    return true;
}

void FakeMusicService::closeDown() {
    log->push_back("closeDown");
    closedDown = true;
}
