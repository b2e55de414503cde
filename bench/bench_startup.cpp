// Start-up to the controller prompt on the real GL device (SDL's offscreen driver) and the real
// FluidSynth service started offline: the first one in a fresh process, timed from the process's
// own start, and later ones in the same process.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_game.h"

namespace {

using Clock = std::chrono::steady_clock;

// Seconds since boot on the clock the kernel stamps a process's start with.
double bootSeconds() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The process's start in seconds since boot (clock-tick resolution), or a negative value when
// /proc does not tell it.
double processStartSeconds() {
    std::ifstream in("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold spaces: the fields after it start behind its closing ')'.
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // Field 3 (state) comes first here; the start time is field 22.
    for (int i = 3; i < 22; ++i)
        if (!(fields >> field))
            return -1;
    unsigned long long ticks = 0;
    if (!(fields >> ticks))
        return -1;
    long perSecond = sysconf(_SC_CLK_TCK);
    return perSecond > 0 ? static_cast<double>(ticks) / static_cast<double>(perSecond) : -1;
}

const Clock::time_point kAtLoad = Clock::now();

struct FirstStartUp {
    bool ok = false;
    double fromProcessStart = -1;  // seconds
    double fromLoad = 0;           // from this program's static initialisation
    double startUpOnly = 0;        // the window and the game's start-up, without process set-up
};
FirstStartUp gFirst;

// The first start-up of the process, timed before the benchmark library does anything.
void runFirstStartUp() {
    Clock::time_point begin = Clock::now();
    BenchGame g(BenchDevice::Gl);
    gFirst.ok = g.startUp();
    Clock::time_point prompt = Clock::now();
    double boot = bootSeconds();
    double started = processStartSeconds();
    if (started >= 0)
        gFirst.fromProcessStart = boot - started;
    gFirst.fromLoad = std::chrono::duration<double>(prompt - kAtLoad).count();
    gFirst.startUpOnly = std::chrono::duration<double>(prompt - begin).count();
}

void BM_StartUpFirstInProcess(benchmark::State& state) {
    if (!gFirst.ok) {
        state.SkipWithError("the start-up failed");
        return;
    }
    for (auto _ : state) state.SetIterationTime(gFirst.startUpOnly);
    state.counters["from_process_start_s"] = gFirst.fromProcessStart;
    state.counters["from_load_s"] = gFirst.fromLoad;
    state.counters["startup_only_s"] = gFirst.startUpOnly;
}
BENCHMARK(BM_StartUpFirstInProcess)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// A new window, device and music service each time: the cost once libraries and files are warm.
void BM_StartUpAgain(benchmark::State& state) {
    std::vector<double> seconds;
    for (auto _ : state) {
        Clock::time_point begin = Clock::now();
        BenchGame g(BenchDevice::Gl);
        bool ok = g.startUp();
        double t = std::chrono::duration<double>(Clock::now() - begin).count();
        if (!ok) {
            state.SkipWithError("the start-up failed");
            return;
        }
        state.SetIterationTime(t);
        seconds.push_back(t);
    }
    state.counters["median_s"] = percentile(seconds, 50);
}
BENCHMARK(BM_StartUpAgain)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!enterMediaFolder())
        return 1;
    runFirstStartUp();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
