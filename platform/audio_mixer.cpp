// The sound mixer: voices over the music, master gain with its ramp, the peak limiter, conversion
// to 16 bits.
#include "platform/audio_mixer.h"

#include <algorithm>
#include <cmath>

AudioMixer::AudioMixer(int sampleRate)
    : sampleRate_(sampleRate > 0 ? sampleRate : 44100),
      rampFrames_(std::max(1, sampleRate_ * RampMilliseconds / 1000)),
      repeatFrames_(sampleRate_ * RepeatMilliseconds / 1000),
      repeatFadeFrames_(std::max(1, sampleRate_ * RepeatFadeMilliseconds / 1000)),
      limiter_(sampleRate_) {}

void AudioMixer::play(std::shared_ptr<const WaveSound> sound, Clock::time_point requested) {
    if (!sound || sound->frameCount() == 0)
        return;
    auto sameSound = [&](const Voice& voice) {
        return voice.sound == sound && voice.fadeOutLeft == 0;
    };
    for (const Voice& voice : voices_) {
        double playedFrames = voice.started ? voice.position / voice.step : 0.0;
        if (sameSound(voice) && playedFrames < double(repeatFrames_))
            return;
    }
    bool replacing = false;
    for (Voice& voice : voices_) {
        if (sameSound(voice)) {
            voice.fadeOutLeft = repeatFadeFrames_;
            replacing = true;
        }
    }
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
    slot->fadeOutLeft = 0;
    slot->fadeInLeft = replacing ? repeatFadeFrames_ : 0;
    slot->order = nextOrder_++;
    slot->requested = requested;
}

void AudioMixer::stopAll() {
    for (Voice& voice : voices_) voice.sound.reset();
    // What waits in the look-ahead goes too: silence from the next frame.
    limiter_.reset();
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
            std::chrono::duration<double, std::milli>(mixTime - voice.requested).count() +
            1000.0 * limiter_.delayFrames() / sampleRate_;
    }
    for (int i = 0; i < frames; ++i) {
        size_t index = size_t(voice.position);
        if (index >= count)
            break;
        float fade = 1.0f;
        bool lastOfFade = false;
        if (voice.fadeOutLeft > 0) {
            fade = float(voice.fadeOutLeft) / float(repeatFadeFrames_);
            lastOfFade = --voice.fadeOutLeft == 0;
        } else if (voice.fadeInLeft > 0) {
            fade = float(repeatFadeFrames_ - voice.fadeInLeft--) / float(repeatFadeFrames_);
        }
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
        left[i] += l * fade;
        right[i] += r * fade;
        voice.position = lastOfFade ? double(count) : voice.position + voice.step;
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
        left[i] *= gain_;
        right[i] *= gain_;
    }
    // The sum has all the headroom of floating point up to here; the limiter brings it under full
    // scale, so the clamp below never cuts a sample.
    limiter_.process(left, right, frames);
    for (int i = 0; i < frames; ++i) {
        // The same scale as the decoding of 16-bit sounds, so they pass through unchanged.
        float l = std::clamp(left[i] * 32768.0f, -32768.0f, 32767.0f);
        float r = std::clamp(right[i] * 32768.0f, -32768.0f, 32767.0f);
        out[2 * i] = int16_t(std::lrint(l));
        out[2 * i + 1] = int16_t(std::lrint(r));
    }
}
