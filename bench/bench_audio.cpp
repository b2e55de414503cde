// The audio mix's cost: the real FluidSynth service rendering the flight tune offline at the
// flight's tempo, with the game's sounds played over it, in the device's buffer size. Reported as
// processor seconds per second of audio (every thread of the process counted).
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "audio/sound_system.h"
#include "bench_game.h"
#include "game/game_state.h"
#include "platform/fluid_music_service.h"

namespace {

constexpr int kBufferFrames = FluidMusicService::DeviceBufferFrames;
constexpr int kSecondsPerIteration = 10;
// A sound every half second: the three the game has, in turn (crash, pass, alert).
constexpr int kSoundEveryFrames = OfflineMusic::SampleRate / 2;
constexpr int kFilledSounds = 3;

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_AudioMixFlightTuneWithSounds(benchmark::State& state) {
    OfflineMusic music;
    game.musicPlatform = &music;
    SoundSystem sounds;
    if (!sounds.init() || !sounds.setTempo(0.8f) || !sounds.playMusic(0)) {
        state.SkipWithError("the sound system does not start");
        game.musicPlatform = nullptr;
        return;
    }
    std::fprintf(stderr, "bench_audio: SoundFont %s\n", music.service().soundFontPath().c_str());
    std::vector<int16_t> buffer(static_cast<size_t>(kBufferFrames) * 2);
    const int framesPerIteration = kSecondsPerIteration * OfflineMusic::SampleRate;
    double cpu = 0;
    int sinceSound = 0, nextSound = 0;
    uint64_t frames = 0;
    int peak = 0;  // a silent mix would make the cost meaningless
    for (auto _ : state) {
        double begin = processCpuSeconds();
        for (int done = 0; done < framesPerIteration; done += kBufferFrames) {
            if (sinceSound >= kSoundEveryFrames) {
                sounds.playSound(nextSound);
                nextSound = (nextSound + 1) % kFilledSounds;
                sinceSound = 0;
            }
            music.service().renderOffline(buffer.data(), kBufferFrames);
            for (int16_t v : buffer) peak = std::max(peak, std::abs(static_cast<int>(v)));
            sinceSound += kBufferFrames;
            frames += kBufferFrames;
        }
        cpu += processCpuSeconds() - begin;
        benchmark::DoNotOptimize(buffer.data());
    }
    double audioSeconds = static_cast<double>(frames) / OfflineMusic::SampleRate;
    state.counters["cpu_s_per_audio_s"] = audioSeconds > 0 ? cpu / audioSeconds : 0;
    state.counters["peak_sample"] = peak;
    if (peak == 0)
        state.SkipWithError("the mix is silent");
    FluidMusicService::Stats stats = music.service().stats();
    state.counters["mix_s_per_audio_s"] = audioSeconds > 0 ? stats.mixSeconds / audioSeconds : 0;
    sounds.release();
    music.closeDown();
    game.musicPlatform = nullptr;
}
BENCHMARK(BM_AudioMixFlightTuneWithSounds)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!enterMediaFolder())
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
