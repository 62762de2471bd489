// SPDX-License-Identifier: MIT
// Keeps an unattended run's standard error readable: a warning is reported
// when it starts, and while it lasts at most once per repeat time, with how
// often it came meanwhile. A silent meter warns every third poll and a low
// battery on every frame, which over a night would be thousands of lines.
#pragma once

#include <array>
#include <chrono>

namespace dmm::logtool {

enum class MeterWarning
{
    NoData,
    LowBattery
};

class WarningThrottle
{
public:
    explicit WarningThrottle(std::chrono::milliseconds repeatAfter = std::chrono::minutes(1))
        : m_repeatAfter(repeatAfter)
    {
    }

    // The warning came at `now` (any steady clock). Returns how many times it
    // came since it was last reported, this time included, when it is to be
    // reported now; 0 when it is held back.
    int warn(MeterWarning warning, std::chrono::milliseconds now);

    // A frame was decoded: the meter is no longer silent, and without the
    // low-battery flag the battery is fine again. Either warning coming back
    // afterwards is reported at once.
    void readingDecoded(bool lowBattery);

private:
    struct Episode
    {
        bool active = false;
        std::chrono::milliseconds lastReport{0};
        int held = 0;
    };

    std::chrono::milliseconds m_repeatAfter;
    std::array<Episode, 2> m_episodes{};
};

} // namespace dmm::logtool
