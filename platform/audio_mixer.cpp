// The sound mixer: voices over the music, master gain with its ramp, conversion to 16 bits.
#include "platform/audio_mixer.h"

#include <algorithm>
#include <cmath>

AudioMixer::AudioMixer(int sampleRate)
    : sampleRate_(sampleRate > 0 ? sampleRate : 44100),
      rampFrames_(std::max(1, sampleRate_ * RampMilliseconds / 1000)) {}

void AudioMixer::play(std::shared_ptr<const WaveSound> sound, Clock::time_point requested) {
    if (!sound || sound->frameCount() == 0)
        return;
    Voice* slot = nullptr;
    for (Voice& voice : voices_) {
        if (!voice.sound) {
            slot = &voice;
            break;
        }
    }
    if (slot == nullptr) {
        slot = &*std::min_element(voices_.begin(), voices_.end(),
                                  [](const Voice& a, const Voice& b) { return a.order < b.order; });
    }
    slot->step = double(sound->sampleRate) / double(sampleRate_);
    slot->sound = std::move(sound);
    slot->position = 0;
    slot->started = false;
    slot->order = nextOrder_++;
    slot->requested = requested;
}

void AudioMixer::stopAll() {
    for (Voice& voice : voices_) voice.sound.reset();
}

float AudioMixer::gainForVolume(int32_t volume) {
    if (volume <= -10000)
        return 0.0f;
    volume = std::min<int32_t>(volume, 2000);
    return float(std::pow(10.0, double(volume) / 2000.0));
}

void AudioMixer::setVolume(int32_t volume) {
    float target = gainForVolume(volume);
    if (target == targetGain_)
        return;
    targetGain_ = target;
    rampLeft_ = rampFrames_;
    rampStep_ = (targetGain_ - gain_) / float(rampFrames_);
}

int AudioMixer::playingCount() const {
    return int(std::count_if(voices_.begin(), voices_.end(),
                             [](const Voice& v) { return v.sound != nullptr; }));
}

void AudioMixer::addVoice(Voice& voice, float* left, float* right, int frames,
                          Clock::time_point mixTime) {
    const WaveSound& sound = *voice.sound;
    const size_t count = sound.frameCount();
    const bool stereo = sound.channels == 2;
    if (!voice.started) {
        voice.started = true;
        lastStartLatencyMs_ =
            std::chrono::duration<double, std::milli>(mixTime - voice.requested).count();
    }
    for (int i = 0; i < frames; ++i) {
        size_t index = size_t(voice.position);
        if (index >= count)
            break;
        float l, r;
        if (voice.step == 1.0) {
            l = sound.samples[index * sound.channels];
            r = stereo ? sound.samples[index * 2 + 1] : l;
        } else {
            // Linear interpolation towards the next frame (or silence after the last).
            float t = float(voice.position - double(index));
            size_t next = index + 1;
            float l0 = sound.samples[index * sound.channels];
            float r0 = stereo ? sound.samples[index * 2 + 1] : l0;
            float l1 = next < count ? sound.samples[next * sound.channels] : 0.0f;
            float r1 = next < count ? (stereo ? sound.samples[next * 2 + 1] : l1) : 0.0f;
            l = l0 + (l1 - l0) * t;
            r = r0 + (r1 - r0) * t;
        }
        left[i] += l;
        right[i] += r;
        voice.position += voice.step;
    }
    if (size_t(voice.position) >= count)
        voice.sound.reset();
}

void AudioMixer::mix(float* left, float* right, int frames, int16_t* out,
                     Clock::time_point mixTime) {
    for (Voice& voice : voices_) {
        if (voice.sound)
            addVoice(voice, left, right, frames, mixTime);
    }
    for (int i = 0; i < frames; ++i) {
        if (rampLeft_ > 0) {
            gain_ = --rampLeft_ == 0 ? targetGain_ : gain_ + rampStep_;
        }
        // The same scale as the decoding of 16-bit sounds, so they pass through unchanged.
        float l = std::clamp(left[i] * gain_ * 32768.0f, -32768.0f, 32767.0f);
        float r = std::clamp(right[i] * gain_ * 32768.0f, -32768.0f, 32767.0f);
        out[2 * i] = int16_t(std::lrint(l));
        out[2 * i + 1] = int16_t(std::lrint(r));
    }
}
