// SPDX-License-Identifier: MIT
// The comparator's alarm: a short sine tone on the sound card, played to the end
// before the call returns.
#pragma once

namespace dmm::AlarmSound {

enum class Outcome
{
    Played,
    NoDevice,
    Failed
};

// Plays on the ALSA device `device` ("default", "null", "hw:0", ...). Never
// throws and never reports: a machine without sound simply stays quiet. A device
// that could not be opened is remembered and not tried again in this run, so a
// silent machine costs nothing per reading.
Outcome playOn(const char* device, int frequencyHz, int durationMs);

// The alarm as the comparator sounds it, on the default device.
void play(int frequencyHz, int durationMs);

} // namespace dmm::AlarmSound
