// Fuzzes the tune path: our MIDI check, and for every file it accepts a looping FluidSynth player
// that renders a bounded stretch of it, as the music service does. A file the check lets through
// but the player cannot read makes FluidSynth spin forever, so a hang here is a fault of the check.
#include <fluidsynth.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "audio/midi_file.h"
#include "fuzz_check.h"

namespace {

constexpr int kSampleRate = 22050;
constexpr int kBlockFrames = 512;
// A tune is sped up until it lasts at most this long, then rendered for three times that, so
// that every accepted file is played through its loop point more than once.
constexpr double kLoopSeconds = 0.5;
constexpr size_t kMaxTuneBytes = size_t(4) << 20;  // the music service's limit

struct Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;

    Synth() {
        // The player reports every refused event; the harness judges by its own checks.
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) {
            fluid_set_log_function(level, nullptr, nullptr);
        }
        settings = new_fluid_settings();
        fluid_settings_setnum(settings, "synth.sample-rate", kSampleRate);
        fluid_settings_setint(settings, "player.reset-synth", 0);
        fluid_settings_setnum(settings, "synth.gain", 0.3);
        synth = new_fluid_synth(settings);
        // With the game's SoundFont the notes really sound; without one the player still reads
        // and times every event.
        const char* soundFont = std::getenv("DRAVIK_SOUNDFONT");
        for (const char* candidate : {soundFont, "/usr/share/sounds/sf2/default-GM.sf2",
                                      "/usr/share/sounds/sf2/TimGM6mb.sf2"}) {
            if (candidate != nullptr && fluid_synth_sfload(synth, candidate, 1) != FLUID_FAILED) {
                break;
            }
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxTuneBytes) {
        return 0;
    }
    MidiFileInfo info;
    std::string error;
    if (!readMidiFileInfo(data, size, info, error)) {
        return 0;
    }
    static Synth shared;
    fluid_synth_t* synth = shared.synth;
    FUZZ_CHECK(synth != nullptr);

    fluid_player_t* player = new_fluid_player(synth);
    FUZZ_CHECK(player != nullptr);
    const double speedUp = std::clamp(info.lengthSeconds / kLoopSeconds, 1.0, 1000.0);
    FUZZ_CHECK(fluid_player_add_mem(player, data, size) == FLUID_OK);
    FUZZ_CHECK(fluid_player_set_loop(player, -1) == FLUID_OK);
    FUZZ_CHECK(fluid_player_set_tempo(player, FLUID_PLAYER_TEMPO_INTERNAL, speedUp) == FLUID_OK);
    FUZZ_CHECK(fluid_player_play(player) == FLUID_OK);

    static float left[kBlockFrames], right[kBlockFrames];
    const int frames = int(kSampleRate * kLoopSeconds * 3);
    for (int done = 0; done < frames; done += kBlockFrames) {
        FUZZ_CHECK(fluid_synth_write_float(synth, kBlockFrames, left, 0, 1, right, 0, 1) ==
                   FLUID_OK);
    }
    // A looping player that stopped on its own could not read the file.
    FUZZ_CHECK(fluid_player_get_status(player) == FLUID_PLAYER_PLAYING);

    fluid_player_stop(player);
    delete_fluid_player(player);
    fluid_synth_system_reset(synth);
    fluid_synth_all_sounds_off(synth, -1);
    return 0;
}
