// Frames on the GL device (llvmpipe under SDL's offscreen driver, 640 x 480): a live flight frame
// and a result-screen frame with the full 5000-sparkle fountain, each timed through its present
// and a glFinish, so the time is the rendered frame and not just the queued commands.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "aircraft/ghost_plane.h"
#include "aircraft/result_screen.h"
#include "alloc_counter.h"
#include "bench_game.h"
#include "controls/flight_recorder.h"
#include "game/game_state.h"
#include "game/ghost_path.h"
#include "gfx/portable_trig.h"
#include "hud/sparkle_effect.h"

namespace {

BenchGame* gGame = nullptr;

constexpr uint64_t kRestartEvery = 5000;
// The fountain reaches its 5000 sparkles at result frame 1000 (five more each frame).
constexpr uint32_t kFullFountainFrame = SparkleCount / 5;

using Clock = std::chrono::steady_clock;

// One frame step and the GL pipeline drained; milliseconds.
double timedFrame(BenchGame& g) {
    Clock::time_point start = Clock::now();
    g.step();
    glFinish();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void reportSamples(benchmark::State& state, const std::vector<double>& ms) {
    state.counters["median_ms"] = percentile(ms, 50);
    state.counters["p99_ms"] = percentile(ms, 99);
    state.counters["max_ms"] = percentile(ms, 100);
}

// Bumps are accepted as they come in the flight pattern; their share is reported.
void BM_FlightFrameGl(benchmark::State& state) {
    BenchGame& g = *gGame;
    g.restartFlight();
    std::vector<double> ms;
    ms.reserve(static_cast<size_t>(state.max_iterations));
    uint64_t steps = 0, bumping = 0, allocations = 0;
    for (auto _ : state) {
        g.setFlightKeys(steps);
        uint64_t before = threadAllocationCount();
        double t = timedFrame(g);
        allocations += threadAllocationCount() - before;
        state.SetIterationTime(t / 1000.0);
        ms.push_back(t);
        bumping += game.bumping ? 1 : 0;
        if (++steps % kRestartEvery == 0 || !BenchGame::inFlight())
            g.restartFlight();
    }
    reportSamples(state, ms);
    state.counters["bump_share"] = steps ? static_cast<double>(bumping) / steps : 0;
    // The main thread's allocations in the whole frame, GL driver included.
    state.counters["allocs_per_frame"] = steps ? static_cast<double>(allocations) / steps : 0;
}
BENCHMARK(BM_FlightFrameGl)->Iterations(3000)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same flight with a ghost in view in every frame: placed before each step a little ahead of
// the plane on its heading, so that after the step it flies in front of the camera.
void BM_FlightFrameGlWithGhost(benchmark::State& state) {
    BenchGame& g = *gGame;
    g.restartFlight();
    ghost = Ghost{};
    ghost.enabled = true;
    ghost.path = GhostPath{};
    ghost.path->poses.resize(kIntroSteps + kRecorderCapacity + 2);
    std::vector<double> ms;
    ms.reserve(static_cast<size_t>(state.max_iterations));
    uint64_t steps = 0;
    for (auto _ : state) {
        g.setFlightKeys(steps);
        uint64_t next = ghostStepIndex(game) + 1;
        if (next < ghost.path->poses.size()) {
            GhostPose p = viewerPose(game, *ghost.path);
            float h = game.heading * kDegToRad;
            p.x -= portableSin(h) * 45.0f;
            p.z += portableCos(h) * 45.0f;
            p.bank = -p.bank;
            ghost.path->poses[next] = p;
        }
        double t = timedFrame(g);
        state.SetIterationTime(t / 1000.0);
        ms.push_back(t);
        if (++steps % kRestartEvery == 0 || !BenchGame::inFlight())
            g.restartFlight();
    }
    ghost = Ghost{};
    reportSamples(state, ms);
}
BENCHMARK(BM_FlightFrameGlWithGhost)
    ->Iterations(3000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_ResultScreen5000SparklesGl(benchmark::State& state) {
    BenchGame& g = *gGame;
    BenchGame::enterResultScreen();
    while (resultScreen.resultFrame < kFullFountainFrame) g.step();
    std::vector<double> ms;
    ms.reserve(static_cast<size_t>(state.max_iterations));
    for (auto _ : state) {
        double t = timedFrame(g);
        state.SetIterationTime(t / 1000.0);
        ms.push_back(t);
    }
    reportSamples(state, ms);
    state.counters["sparkles"] =
        std::min<double>(SparkleCount, 5.0 * static_cast<double>(resultScreen.resultFrame));
}
BENCHMARK(BM_ResultScreen5000SparklesGl)
    ->Iterations(1500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!enterMediaFolder())
        return 1;
    BenchGame g(BenchDevice::Gl);
    if (!g.startUp() || !g.chooseKeyboard())
        return 1;
    gGame = &g;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
