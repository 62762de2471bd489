// SPDX-License-Identifier: MIT
#include "ProgressLine.h"

#include <cstdio>

namespace dmm::exporttool {

bool progressWanted(bool stderrIsTerminal, bool quiet)
{
    return stderrIsTerminal && !quiet;
}

bool progressDue(qint64 elapsedMs, std::optional<qint64> lastDrawnMs, bool finished, qint64 afterMs)
{
    if (elapsedMs < afterMs)
        return false;
    return !lastDrawnMs || finished || elapsedMs - *lastDrawnMs >= kProgressEveryMs;
}

namespace {

// "0:12", "12:34", "1:02:03".
std::string durationText(qint64 seconds)
{
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

} // namespace

std::string progressText(qint64 done, qint64 total, qint64 elapsedMs)
{
    const qint64 percent =
        total > 0 ? qBound<qint64>(qint64(0), done * 100 / total, qint64(100)) : 100;
    char text[96];
    std::snprintf(text, sizeof text, "%lld%% (%lld of %lld readings), ", percent, done, total);
    if (done >= total)
        return text + std::string("finishing");
    if (done <= 0)
        return text + std::string("working out the time left");
    // The pace so far, rounded up to the next second.
    const qint64 leftMs = (elapsedMs * (total - done) + done - 1) / done;
    return text + durationText((leftMs + 999) / 1000) + " left";
}

std::string progressRedraw(std::string_view text)
{
    std::string line = "\r";
    line += text;
    line += "\x1b[K";
    return line;
}

} // namespace dmm::exporttool
