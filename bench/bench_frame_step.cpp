// The frame step on the null device: the time of one live flight step with all 250 cones moved,
// drawn and tested, and the heap allocations frame steps make once the game has started.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "aircraft/result_screen.h"
#include "alloc_counter.h"
#include "app/window_procedure.h"
#include "bench_game.h"
#include "game/game_state.h"

namespace {

BenchGame* gGame = nullptr;

// A new game before the recorder fills (20000 entries), so every timed step records its input.
constexpr uint64_t kRestartEvery = 5000;

struct AllocationTally {
    uint64_t steps = 0;
    uint64_t allocations = 0;
    uint64_t stepsThatAllocated = 0;
    uint64_t most = 0;

    void step(BenchGame& g) {
        uint64_t before = threadAllocationCount();
        g.step();
        uint64_t made = threadAllocationCount() - before;
        ++steps;
        allocations += made;
        stepsThatAllocated += made ? 1 : 0;
        most = std::max(most, made);
    }
};

// Every kind of frame step the game makes after its start-up: the intro, a flight with turns,
// bumps and the sounds they play, a pause, the result screen with its fountain, a second game.
// Allocations are counted on this thread only (the benchmark's own work runs outside the steps).
// It runs first, so the first steps after the start-up are among those counted.
void BM_HeapAllocationsPerStep(benchmark::State& state) {
    BenchGame& g = *gGame;
    // A zero means nothing unless the counter sees an allocation that surely happens.
    uint64_t probe = threadAllocationCount();
    std::vector<char> probeBuffer(64);
    benchmark::DoNotOptimize(probeBuffer.data());
    if (threadAllocationCount() == probe) {
        state.SkipWithError("the allocation counter does not see operator new");
        return;
    }
    AllocationTally intro, flight, paused, result;
    uint64_t bumpSteps = 0;
    for (auto _ : state) {
        for (int round = 0; round < 2; ++round) {
            g.newFlight();
            for (int i = 0; i < 400 && game.introActive; ++i) intro.step(g);
            for (uint64_t i = 0; i < 4000; ++i) {
                g.setFlightKeys(i);
                flight.step(g);
                bumpSteps += game.bumping ? 1 : 0;
            }
            handleKeyDown(kVkF1);
            for (int i = 0; i < 100; ++i) paused.step(g);
            handleKeyDown(kVkF1);
            BenchGame::enterResultScreen();
            for (int i = 0; i < 1100; ++i) result.step(g);
        }
    }
    auto put = [&state](const char* name, const AllocationTally& t) {
        state.counters[std::string(name) + "_allocs"] = static_cast<double>(t.allocations);
        state.counters[std::string(name) + "_steps"] = static_cast<double>(t.steps);
        state.counters[std::string(name) + "_max"] = static_cast<double>(t.most);
    };
    put("intro", intro);
    put("flight", flight);
    put("paused", paused);
    put("result", result);
    uint64_t steps = intro.steps + flight.steps + paused.steps + result.steps;
    uint64_t allocations =
        intro.allocations + flight.allocations + paused.allocations + result.allocations;
    state.counters["allocs_per_step"] = steps ? static_cast<double>(allocations) / steps : 0;
    state.counters["steps_that_allocated"] =
        static_cast<double>(intro.stepsThatAllocated + flight.stepsThatAllocated +
                            paused.stepsThatAllocated + result.stepsThatAllocated);
    state.counters["flight_bump_steps"] = static_cast<double>(bumpSteps);
}
BENCHMARK(BM_HeapAllocationsPerStep)->Iterations(1)->Unit(benchmark::kMillisecond);

// Bumps are accepted, not avoided: the flight pattern runs into cones now and then, as a player
// does, and the share of steps spent bumping is reported next to the time.
void BM_FlightStepNullDevice(benchmark::State& state) {
    BenchGame& g = *gGame;
    g.restartFlight();
    uint64_t steps = 0, bumping = 0, restarts = 0;
    for (auto _ : state) {
        g.setFlightKeys(steps);
        benchmark::DoNotOptimize(g.step());
        bumping += game.bumping ? 1 : 0;
        if (++steps % kRestartEvery == 0 || !BenchGame::inFlight()) {
            state.PauseTiming();
            g.restartFlight();
            ++restarts;
            state.ResumeTiming();
        }
    }
    state.counters["bump_share"] = steps ? static_cast<double>(bumping) / steps : 0;
    state.counters["restarts"] = static_cast<double>(restarts);
}
BENCHMARK(BM_FlightStepNullDevice)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!enterMediaFolder())
        return 1;
    BenchGame g(BenchDevice::Null);
    if (!g.startUp() || !g.chooseKeyboard())
        return 1;
    gGame = &g;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
