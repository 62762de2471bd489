// SPDX-License-Identifier: MIT
#include "RecorderControls.h"

#include "StringTable.h"

namespace dmm {

RecorderControls recorderControls(bool recording, bool manualMode, bool busy, bool bufferEmpty,
                                  int lastPage)
{
    RecorderControls c;
    c.startStopButtons = !manualMode && !busy;
    c.menuStart = !recording && !manualMode && !busy;
    c.menuStop = recording && !manualMode && !busy;
    c.manual = manualMode && !recording && !busy;
    c.openOption = !recording && !busy;
    c.saveAndPrint = !recording && !busy && !bufferEmpty;
    const bool paging = !recording && !busy;
    c.pageBack = paging && lastPage != 1;
    c.pageForward = false;
    return c;
}

QString recorderModeText(bool manualMode, int logIntervalMs)
{
    if (manualMode)
        return tableString(201);
    if (logIntervalMs == 500)
        return tableString(203);
    return tableString(205) + QLatin1Char(':') + QString::number(logIntervalMs / 1000) +
           QLatin1Char('S');
}

QString recorderClockText(int hour, int minute, int second, const QString& am, const QString& pm)
{
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return QStringLiteral("  %1 %2:%3:%4\"")
        .arg(hour < 12 ? am : pm)
        .arg(hour12, 2, 10, QLatin1Char('0'))
        .arg(minute, 2, 10, QLatin1Char('0'))
        .arg(second, 2, 10, QLatin1Char('0'));
}

std::optional<long long> parseIntervalSeconds(const QString& text)
{
    bool ok = false;
    const long long seconds = text.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return seconds;
}

} // namespace dmm
