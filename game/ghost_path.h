// A ghost flight: the path of a recorded flight worked out before a flight starts, by replaying the
// recording without drawing or sound on a game of its own, so that a flight can be accompanied by
// the recorded one step by step without simulating anything twice per frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/game_state.h"

struct RecordEntry;

// Where the recorded plane was after a step: its place over the ground (world units, from where
// every flight starts), its heading, bank, tumble and the height of the ground under it.
struct GhostPose {
    float x = 0;
    float z = 0;
    float heading = 0;
    float bank = 0;
    float tumble = 0;
    float groundLevel = -60;
};

// The steps of the intro fade, which every flight flies the same way before its first input.
constexpr uint32_t kIntroSteps = 150;

struct GhostPath {
    // poses[0] is the new game, poses[k] the state after k steps (intro included).
    std::vector<GhostPose> poses;
    // Where target 0 stood from the plane at the start: places over the ground are measured from
    // it.
    Vec3 origin;
    // The game time at which the recorded flight passed each target, if it did.
    std::optional<uint32_t> passTimes[TargetCount];
    // The time the flight finished in (the last pass), if it passed all four.
    std::optional<uint32_t> finalTenths;
};

struct FlightPose;
// The pose, in a ghost path's terms, of a plane drawn as `flight` says: its place over the ground
// measured from `origin` (where target 0 stood at the start; every target stands still on the
// ground, so the plane has moved by as much as target 0 has moved towards it).
GhostPose groundPoseOf(const FlightPose& flight, const Vec3& origin);

// Replays `count` recorded entries on a game of their own and returns the path. The running game
// (its state, the random generator, the result screen, every sound) is left exactly as it was.
// The clock of the replay runs a step every 31 ms from a start at tick 0.
GhostPath computeGhostPath(const RecordEntry* entries, uint32_t count);

// The place in a ghost path of the state `state` is in: the intro's step, then the flight's steps
// as the recorder counts them (a pause counts none).
uint64_t ghostStepIndex(const GameState& state);

// The pose of `path` where a flight in `state` is; none before or after the recorded flight.
std::optional<GhostPose> ghostPoseAt(const GhostPath& path, const GameState& state);

// The ghost accompanying the flights of this run: its path and whether it is shown.
struct Ghost {
    bool enabled = false;  // wanted (the G key toggles it)
    std::string source;    // the file it came from, for messages
    std::optional<GhostPath> path;
    bool shown() const { return enabled && path.has_value(); }
};
extern Ghost ghost;
