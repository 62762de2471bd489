// SPDX-License-Identifier: MIT
#include "AlarmTone.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <string>
#include <vector>

extern "C" {
static void silentAlsaError(const char*, int, const char*, int, const char*, ...) {}
}

namespace dmm::AlarmSound {

namespace {

constexpr unsigned kRate = 44100;
constexpr unsigned kLatencyUs = 50000;
constexpr double kAmplitude = 0.4 * 32767.0;
constexpr int kRampSamples = kRate / 200; // 5 ms fades keep the tone free of clicks

// ALSA writes its complaints to stderr unless told otherwise.
void silenceAlsaOnce()
{
    static const bool silenced = [] {
        snd_lib_error_set_handler(&silentAlsaError);
        return true;
    }();
    (void)silenced;
}

std::set<std::string>& unavailableDevices()
{
    static std::set<std::string> devices;
    return devices;
}

std::vector<short> sineSamples(int frequencyHz, int durationMs)
{
    const auto count = static_cast<std::size_t>(std::max(0, durationMs)) * kRate / 1000;
    std::vector<short> samples(count);
    const double step = 2.0 * std::numbers::pi * frequencyHz / kRate;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t fromEdge = std::min(i, count - 1 - i);
        const double ramp = std::min(1.0, double(fromEdge) / kRampSamples);
        samples[i] =
            static_cast<short>(std::lround(kAmplitude * ramp * std::sin(step * double(i))));
    }
    return samples;
}

bool writeAll(snd_pcm_t* pcm, const std::vector<short>& samples)
{
    std::size_t done = 0;
    while (done < samples.size()) {
        const snd_pcm_sframes_t written =
            snd_pcm_writei(pcm, samples.data() + done, samples.size() - done);
        if (written >= 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (snd_pcm_recover(pcm, static_cast<int>(written), 1) < 0)
            return false;
    }
    return true;
}

} // namespace

Outcome playOn(const char* device, int frequencyHz, int durationMs)
{
    if (!device || frequencyHz <= 0 || durationMs <= 0)
        return Outcome::Failed;
    const std::string name(device);
    if (unavailableDevices().count(name))
        return Outcome::NoDevice;
    silenceAlsaOnce();

    // Opened without blocking, so a device held by another program fails at
    // once instead of stalling the window; writes then block as usual.
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, device, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        unavailableDevices().insert(name);
        return Outcome::NoDevice;
    }
    bool ok = snd_pcm_nonblock(pcm, 0) == 0 &&
              snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                                 kRate, 1, kLatencyUs) == 0;
    if (ok)
        ok = writeAll(pcm, sineSamples(frequencyHz, durationMs));
    if (ok)
        snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
    return ok ? Outcome::Played : Outcome::Failed;
}

void play(int frequencyHz, int durationMs)
{
    (void)playOn("default", frequencyHz, durationMs);
}

} // namespace dmm::AlarmSound
