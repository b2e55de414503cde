// Writes a script of a whole live flight for the headless runner: an autopilot flies the real game
// through all four targets with the keyboard or the mouse, and every input it gives becomes a
// script line. The scripts and the recordings made from them are the recorded-flight test data.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/window_services.h"
#include "controls/input_source.h"
#include "game/game_state.h"
#include "headless_runner.h"

namespace {

struct Pilot {
    bool mouse = false;
    std::vector<std::string> lines;
    bool left = false, right = false, up = false;  // keys or buttons held
    uint64_t finishedAt = 0;

    void say(uint64_t step, const std::string& what) {
        lines.push_back(std::to_string(step) + " " + what);
    }
};

float wrapDegrees(float a) {
    while (a > 180) a -= 360;
    while (a < -180) a += 360;
    return a;
}

// Lowest-numbered unpassed target nearest to the plane; -1 when all are passed.
int chooseTarget() {
    int best = -1;
    float bestDistance = 0;
    for (int i = 0; i < TargetCount; ++i) {
        if (game.targetPassed[i])
            continue;
        const Vec3& p = game.targetPositions[i];
        float d = std::sqrt(p.x * p.x + p.z * p.z);
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

void fly(HeadlessRunner& runner, Pilot& pilot, uint64_t step) {
    auto event = [&](const std::string& line) {
        pilot.say(step, line);
        std::vector<ScriptEvent> parsed;
        std::string error;
        parseScript("0 " + line, parsed, error);
        runner.deliver(parsed.at(0));
    };

    if (step == 0) {
        event(pilot.mouse ? "mouse-down left" : "key up");
        if (pilot.mouse)
            event("mouse-up left");
        return;
    }
    if (game.halted && game.gameOver) {
        if (!pilot.finishedAt)
            pilot.finishedAt = step;
        if (step > pilot.finishedAt + 60) {
            pilot.say(step, "close");
            runner.close();
        }
        return;
    }
    if (game.introActive)
        return;

    int target = chooseTarget();
    bool wantLeft = false, wantRight = false, wantFaster = false;
    int dx = 0;
    // Hands off during a bump: a key held then keeps the turn building up, since the frame step
    // only lets the turn rate decay while nothing steers.
    if (target >= 0 && !game.bumping) {
        const Vec3& p = game.targetPositions[target];
        float desired = std::atan2(-p.x, p.z) / kDegToRad;
        // Where the heading settles if steering stops now: the turn rate decays by 1/1.05.
        float settles = game.heading - game.turnRate * 21.0f;
        float error = wrapDegrees(desired - settles);
        float distance = std::sqrt(p.x * p.x + p.z * p.z);
        float tolerance = distance < 1500 ? 0.3f : 1.0f;
        if (pilot.mouse) {
            if (std::fabs(error) > tolerance)
                dx = std::clamp(static_cast<int>(error * 3), -40, 40);
            if (dx > -3 && dx < 3)
                dx = 0;
        } else {
            wantLeft = error < -tolerance;
            wantRight = error > tolerance;
        }
        wantFaster = game.speed < 30 && !wantLeft && !wantRight && dx == 0 && !game.bumping;
    }

    if (pilot.mouse) {
        bool steer = dx != 0;
        if (steer && !pilot.left) {
            event("mouse-down left");
            pilot.left = true;
        } else if (!steer && pilot.left) {
            event("mouse-up left");
            pilot.left = false;
        }
        if (steer)
            event("move " + std::to_string(dx) + " 0");
        if (wantFaster && !pilot.right) {
            event("mouse-down right");
            pilot.right = true;
        } else if (!wantFaster && pilot.right) {
            event("mouse-up right");
            pilot.right = false;
        }
        if (wantFaster)
            event("move 0 -30");
    } else {
        if (wantLeft != pilot.left) {
            event(std::string(wantLeft ? "key-down" : "key-up") + " left");
            pilot.left = wantLeft;
        }
        if (wantRight != pilot.right) {
            event(std::string(wantRight ? "key-down" : "key-up") + " right");
            pilot.right = wantRight;
        }
        if (wantFaster != pilot.up) {
            event(std::string(wantFaster ? "key-down" : "key-up") + " up");
            pilot.up = wantFaster;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::string(argv[1]) != "keyboard" && std::string(argv[1]) != "mouse")) {
        std::fprintf(stderr, "usage: dravik-flightplan keyboard|mouse SCRIPT\n");
        return 2;
    }
    HeadlessOptions options;
    options.noGl = true;
    options.steps = 19000;
    HeadlessRunner runner(options);
    Pilot pilot;
    pilot.mouse = std::string(argv[1]) == "mouse";
    runner.afterStepHook = [&](uint64_t step) { fly(runner, pilot, step); };
    int code = runner.run();

    std::FILE* out = std::fopen(argv[2], "w");
    if (!out) {
        std::fprintf(stderr, "dravik-flightplan: cannot write %s\n", argv[2]);
        return 2;
    }
    std::fprintf(out,
                 "# A whole %s flight through the four targets, written by dravik-flightplan.\n",
                 argv[1]);
    for (const std::string& line : pilot.lines) std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
    std::fprintf(stderr, "dravik-flightplan: %zu lines, finished at step %llu\n",
                 pilot.lines.size(), static_cast<unsigned long long>(pilot.finishedAt));
    return code;
}
