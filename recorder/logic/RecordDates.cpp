// SPDX-License-Identifier: MIT
#include "RecordDates.h"

#include <QDateTime>
#include <QFileInfo>

#include <cstdio>
#include <utility>

#include "RecordStamp.h"

namespace dmm {

namespace {

// The local date and time of day of a stamp.
std::pair<QDate, int> stampedDay(std::int64_t ms)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    return {local.date(), local.time().msecsSinceStartOfDay()};
}

std::optional<int> timeOfDay(const TARecord& record, std::optional<std::int64_t> stamp)
{
    if (stamp)
        return stampedDay(*stamp).second;
    return timeOfDayMs(record.timeStamp.view());
}

bool dayPassed(std::optional<int> previous, std::optional<int> now)
{
    return previous && now && *now < *previous;
}

std::string isoText(QDate date, int msOfDay, bool milliseconds)
{
    const int ms = msOfDay % 1000;
    const int seconds = msOfDay / 1000;
    char buffer[48];
    if (milliseconds)
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", date.year(),
                      date.month(), date.day(), seconds / 3600, seconds / 60 % 60, seconds % 60,
                      ms);
    else
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%d", date.year(),
                      date.month(), date.day(), seconds / 3600, seconds / 60 % 60, seconds % 60,
                      ms / 100);
    return buffer;
}

} // namespace

QDate fileModificationDate(const QString& path)
{
    return QFileInfo(path).lastModified().toLocalTime().date();
}

std::optional<int> timeOfDayMs(std::string_view text)
{
    // "%3d:%02d:%02d.%-3d" gives hour blank-padded, tenths followed by blanks.
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    int part[4] = {0, 0, 0, 0};
    int digits[4] = {0, 0, 0, 0};
    int field = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            part[field] = part[field] * 10 + (c - '0');
            if (++digits[field] > 2)
                return std::nullopt;
        } else if ((c == ':' && field < 2) || (c == '.' && field == 2)) {
            ++field;
        } else {
            return std::nullopt;
        }
    }
    if (field != 3 || digits[0] == 0 || digits[1] != 2 || digits[2] != 2 || digits[3] != 1)
        return std::nullopt;
    if (part[0] > 23 || part[1] > 59 || part[2] > 59)
        return std::nullopt;
    return ((part[0] * 60 + part[1]) * 60 + part[2]) * 1000 + part[3] * 100;
}

QDate firstRecordDate(const RecordSource& records, QDate lastRecordDate, bool* fromStamp)
{
    if (fromStamp)
        *fromStamp = false;
    qint64 days = 0;
    std::optional<int> previous;
    while (const TARecord* record = records()) {
        const auto stamp = recordStamp(*record);
        const auto now = timeOfDay(*record, stamp);
        if (dayPassed(previous, now))
            ++days;
        if (stamp) {
            if (fromStamp)
                *fromStamp = true;
            return stampedDay(*stamp).first.addDays(-days);
        }
        if (now)
            previous = now;
    }
    return lastRecordDate.addDays(-days);
}

std::optional<RecordDates::Moment> RecordDates::advance(const TARecord& record)
{
    const auto stamp = recordStamp(record);
    if (stamp) {
        const auto [date, ms] = stampedDay(*stamp);
        m_date = date;
        m_previous = ms;
        return Moment{date, ms, true};
    }
    const auto now = timeOfDayMs(record.timeStamp.view());
    if (!now)
        return std::nullopt;
    if (dayPassed(m_previous, now))
        m_date = m_date.addDays(1);
    m_previous = now;
    m_inferred = true;
    return Moment{m_date, *now, false};
}

RecordTime RecordDates::next(const TARecord& record)
{
    const auto moment = advance(record);
    if (!moment)
        return {};
    return {isoText(moment->date, moment->ms, moment->stamped), moment->stamped};
}

} // namespace dmm
