// The ghost's path: a recorded flight replayed ahead of time on a game state of its own, the
// running game moved aside meanwhile and put back untouched.
#include "game/ghost_path.h"

#include <utility>

#include "aircraft/result_screen.h"
#include "audio/sound_system.h"
#include "controls/flight_recorder.h"
#include "game/flight_pose.h"
#include "game/frame_step.h"
#include "game/new_game.h"
#include "game/random.h"

Ghost ghost;

namespace {

constexpr uint32_t kStepMs = 31;
// More steps than any recording holds, with its intro and the finish after it.
constexpr uint64_t kStepLimit = kIntroSteps + kRecorderCapacity + 8;

// The ghost's replay hears nothing: the finish sequence's volume changes must succeed for it to go
// on as it went in the flight, and they must not reach the player's music.
class SilentMusicService : public MusicService {
  public:
    bool start() override { return true; }
    std::unique_ptr<Segment> loadSegment(const std::string&) override { return nullptr; }
    bool setStandardMidiFile(Segment&) override { return true; }
    bool download(Segment&) override { return true; }
    bool playPrimary(Segment&) override { return true; }
    bool playSecondary(Segment&) override { return true; }
    bool setMasterTempo(float) override { return true; }
    bool setMasterVolume(int32_t) override { return true; }
    bool stop() override { return true; }
    void closeDown() override {}
};

// Keeps the running game aside while the ghost's replay uses the one game state, and puts it back
// however the replay ends.
class RunningGameAside {
  public:
    RunningGameAside()
        : saved_(std::move(game)), random_(randomState()), resultScreen_(resultScreen) {
        game = GameState{};
    }
    ~RunningGameAside() {
        game = std::move(saved_);
        seedRandom(random_);
        resultScreen = resultScreen_;
    }
    RunningGameAside(const RunningGameAside&) = delete;
    RunningGameAside& operator=(const RunningGameAside&) = delete;

  private:
    GameState saved_;
    uint32_t random_;
    ResultScreen resultScreen_;
};

}  // namespace

GhostPose groundPoseOf(const FlightPose& flight, const Vec3& origin) {
    GhostPose pose;
    pose.x = origin.x - flight.targetPositions[0].x;
    pose.z = origin.z - flight.targetPositions[0].z;
    pose.heading = flight.heading;
    pose.bank = flight.bank;
    pose.tumble = flight.bumping ? flight.drawnTumble : 0.0f;
    pose.groundLevel = flight.groundLevel;
    return pose;
}

GhostPath computeGhostPath(const RecordEntry* entries, uint32_t count) {
    GhostPath path;
    FlightRecorder recorder(kRecorderCapacity);
    if (count > kRecorderCapacity)
        count = kRecorderCapacity;
    for (uint32_t i = 0; i < count; ++i) recorder.entries[i] = entries[i];
    recorder.recordedLength = count;

    SilentMusicService silence;
    SoundSystem sound;
    sound.performance = &silence;
    {
        RunningGameAside aside;
        game.flightRecorder = &recorder;
        game.soundSystem = &sound;
        // The chase view: the plane tumbles in a bump.
        game.cockpitView = 0;
        game.bestPassTimes[0] = game.bestPassTimes[1] = 0xFFFFFFFF;
        game.bestPassTimes[2] = game.bestPassTimes[3] = 0xFFFFFFFF;

        recorder.startPlayback();
        newGame();
        game.replaying = 1;
        game.halted = 0;
        game.restartClock = 0;
        game.gameStartTick = 0;
        const Vec3 target0 = game.targetPositions[0];
        path.origin = target0;
        path.poses.push_back(groundPoseOf(poseOf(game), target0));

        for (uint64_t step = 1; step <= kStepLimit; ++step) {
            game.nowTick = static_cast<uint32_t>(step * kStepMs);
            bool cutShort = false;
            StepPicture picture = moveFrame(cutShort);
            if (picture != StepPicture::Flight)
                break;
            path.poses.push_back(groundPoseOf(poseOf(game), target0));
            for (int i = 0; i < TargetCount; ++i)
                if (game.targetPassed[i] && !path.passTimes[i])
                    path.passTimes[i] = game.passTimes[i];
            if (game.halted && !game.introActive)
                break;
        }
        bool all = true;
        uint32_t last = 0;
        for (int i = 0; i < TargetCount; ++i) {
            all = all && path.passTimes[i].has_value();
            if (path.passTimes[i] && *path.passTimes[i] > last)
                last = *path.passTimes[i];
        }
        if (all)
            path.finalTenths = last;
        game.flightRecorder = nullptr;
        game.soundSystem = nullptr;
    }
    sound.performance = nullptr;
    return path;
}

uint64_t ghostStepIndex(const GameState& state) {
    if (state.introActive)
        return state.introFrame;
    uint32_t flown = state.flightRecorder ? state.flightRecorder->position : 0;
    return kIntroSteps + flown;
}

std::optional<GhostPose> ghostPoseAt(const GhostPath& path, const GameState& state) {
    uint64_t index = ghostStepIndex(state);
    if (index >= path.poses.size())
        return std::nullopt;
    return path.poses[index];
}
