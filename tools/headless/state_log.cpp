// Writing the game state as one JSON line: flags as 0 or 1, floats with 9 significant digits.
#include "state_log.h"

#include <cmath>
#include <cstdio>

#include "game/game_state.h"

namespace {

class JsonLine {
  public:
    JsonLine() { text_ = "{"; }
    void key(const char* name) {
        if (text_.size() > 1)
            text_ += ',';
        text_ += '"';
        text_ += name;
        text_ += "\":";
    }
    void number(const char* name, long long v) {
        key(name);
        text_ += std::to_string(v);
    }
    void real(const char* name, float v) {
        key(name);
        appendReal(v);
    }
    void appendReal(float v) {
        if (!std::isfinite(v)) {
            text_ += "null";
            return;
        }
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(v));
        text_ += buffer;
    }
    void vectors(const char* name, const Vec3* v, int n) {
        key(name);
        text_ += '[';
        for (int i = 0; i < n; ++i) {
            if (i)
                text_ += ',';
            text_ += '[';
            appendReal(v[i].x);
            text_ += ',';
            appendReal(v[i].y);
            text_ += ',';
            appendReal(v[i].z);
            text_ += ']';
        }
        text_ += ']';
    }
    template <typename T>
    void numbers(const char* name, const T* v, int n) {
        key(name);
        text_ += '[';
        for (int i = 0; i < n; ++i) {
            if (i)
                text_ += ',';
            text_ += std::to_string(v[i]);
        }
        text_ += ']';
    }
    std::string finish() { return text_ + "}"; }

  private:
    std::string text_;
};

}  // namespace

std::string stateLogLine(uint64_t step, bool withObstacles) {
    const GameState& g = game;
    JsonLine j;
    j.number("step", static_cast<long long>(step));
    j.number("nowTick", g.nowTick);
    j.number("gameStartTick", g.gameStartTick);
    j.number("pausedMs", g.pausedMs);
    j.number("elapsedTenths", g.elapsedTenths);
    j.number("halted", g.halted);
    j.number("introActive", g.introActive);
    j.number("bumping", g.bumping);
    j.number("allTargetsPassed", g.allTargetsPassed);
    j.number("gameOver", g.gameOver);
    j.number("replaying", g.replaying);
    j.number("steering", g.steering);
    j.number("cockpitView", g.cockpitView);
    j.number("musicOn", g.musicOn);
    j.number("tempoDirty", g.tempoDirty);
    j.number("lastPassRecord", g.lastPassRecord);
    j.number("introFrame", g.introFrame);
    j.number("bumpCountdown", g.bumpCountdown);
    j.number("finishFrame", g.finishFrame);
    j.number("gameOverFrame", g.gameOverFrame);
    j.real("speed", g.speed);
    j.real("speedDelta", g.speedDelta);
    j.real("turnRate", g.turnRate);
    j.real("turnDelta", g.turnDelta);
    j.real("heading", g.heading);
    j.real("bank", g.bank);
    j.real("bumpTumble", g.bumpTumble);
    j.real("groundLevel", g.groundLevel);
    j.number("clearColour", g.clearColour);
    j.real("sceneFade", g.sceneFade);
    j.number("musicVolume", g.musicVolume);
    j.number("currentTarget", g.currentTarget);
    j.vectors("targetPositions", g.targetPositions, TargetCount);
    j.numbers("targetPassed", g.targetPassed, TargetCount);
    j.numbers("passTimes", g.passTimes, TargetCount);
    j.numbers("bestPassTimes", g.bestPassTimes, TargetCount);
    if (withObstacles)
        j.vectors("obstaclePositions", g.obstaclePositions, ObstacleCount);
    return j.finish();
}
