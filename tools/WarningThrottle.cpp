// SPDX-License-Identifier: MIT
#include "WarningThrottle.h"

namespace dmm::logtool {

int WarningThrottle::warn(MeterWarning warning, std::chrono::milliseconds now)
{
    Episode& episode = m_episodes[static_cast<std::size_t>(warning)];
    ++episode.held;
    if (episode.active && now - episode.lastReport < m_repeatAfter)
        return 0;
    episode.active = true;
    episode.lastReport = now;
    const int times = episode.held;
    episode.held = 0;
    return times;
}

void WarningThrottle::readingDecoded(bool lowBattery)
{
    m_episodes[static_cast<std::size_t>(MeterWarning::NoData)] = {};
    if (!lowBattery)
        m_episodes[static_cast<std::size_t>(MeterWarning::LowBattery)] = {};
}

} // namespace dmm::logtool
