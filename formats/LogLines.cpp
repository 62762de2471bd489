// SPDX-License-Identifier: MIT
#include "LogLines.h"

#include <charconv>
#include <cstdio>

#include "LoggedRecord.h"
#include "RecordDates.h"

namespace dmm::logtool {

std::optional<TARecord> makeLogRecord(const CurrentReading& reading, const QDateTime& time)
{
    return loggedRecord(reading, time);
}

std::string isoLocalTime(const QDateTime& time)
{
    const QDateTime local = time.toLocalTime();
    return isoText(local.date(), local.time().msecsSinceStartOfDay(), true);
}

std::string floatText(float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string csvHeader(const TableFormat& format)
{
    return tableHeader(format);
}

std::string csvLine(const QDateTime& time, const TARecord& record, const TableFormat& format)
{
    return tableRow(format.utc ? utcIsoText(time.toMSecsSinceEpoch(), true) : isoLocalTime(time),
                    record, format);
}

std::string consoleLine(const QDateTime& time, const TARecord& record)
{
    std::string line = isoLocalTime(time);
    line += "  ";
    line += record.value.view();
    const std::string unit = record.prefix.str() + record.unit.str();
    if (!unit.empty())
        line += ' ' + unit;
    line += "  ";
    line += floatText(record.fValue);
    line += '\n';
    return line;
}

std::string spanText(std::chrono::milliseconds span)
{
    const long long ms = std::max<long long>(0, span.count());
    const long long hours = ms / 3'600'000;
    const int minutes = static_cast<int>(ms / 60'000 % 60);
    const int seconds = static_cast<int>(ms / 1000 % 60);
    const int tenths = static_cast<int>(ms % 1000 / 100);
    char buffer[64];
    if (hours > 0)
        std::snprintf(buffer, sizeof buffer, "%lld h %02d min %02d.%d s", hours, minutes, seconds,
                      tenths);
    else if (minutes > 0)
        std::snprintf(buffer, sizeof buffer, "%d min %02d.%d s", minutes, seconds, tenths);
    else
        std::snprintf(buffer, sizeof buffer, "%d.%d s", seconds, tenths);
    return buffer;
}

std::string readingsText(long long readings)
{
    return std::to_string(readings) + (readings == 1 ? " reading" : " readings");
}

std::string summaryText(long long readings, const QDateTime& first, const QDateTime& last)
{
    std::string text = readingsText(readings) + " logged";
    if (readings == 0 || !first.isValid() || !last.isValid())
        return text;
    text += " from " + isoLocalTime(first) + " to " + isoLocalTime(last) + " (" +
            spanText(std::chrono::milliseconds(first.msecsTo(last))) + ")";
    return text;
}

} // namespace dmm::logtool
