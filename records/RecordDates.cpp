// SPDX-License-Identifier: MIT
#include "RecordDates.h"

#include <QDateTime>

#include <cstdio>
#include <cstring>
#include <utility>

#include <sys/stat.h>

#include "FileChecks.h"
#include "RecordStamp.h"

namespace dmm {

namespace {

// The local date and time of day of a stamp.
std::pair<QDate, int> stampedDay(std::int64_t ms)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    return {local.date(), local.time().msecsSinceStartOfDay()};
}

char* twoDigitsText(char* p, int n)
{
    *p++ = char('0' + n / 10);
    *p++ = char('0' + n % 10);
    return p;
}

} // namespace

namespace {

// "HH:MM:SS.mmm" or "HH:MM:SS.t"; hours below 100.
char* writeTimeOfDay(char* p, int msOfDay, bool milliseconds)
{
    const int ms = msOfDay % 1000;
    const int seconds = msOfDay / 1000;
    p = twoDigitsText(p, seconds / 3600);
    *p++ = ':';
    p = twoDigitsText(p, seconds / 60 % 60);
    *p++ = ':';
    p = twoDigitsText(p, seconds % 60);
    *p++ = '.';
    *p++ = char('0' + ms / 100);
    if (milliseconds)
        p = twoDigitsText(p, ms % 100);
    return p;
}

bool timeOfDayFits(int msOfDay)
{
    return msOfDay >= 0 && msOfDay / 1000 / 3600 <= 99;
}

} // namespace

char* writeIsoText(char* out, QDate date, int msOfDay, bool milliseconds)
{
    const int ms = msOfDay % 1000;
    const int seconds = msOfDay / 1000;
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day); // zeros for an invalid date, as year() gives
    if (year < 0 || year > 9999 || !timeOfDayFits(msOfDay)) { // beyond the fixed widths
        if (milliseconds)
            return out + std::snprintf(out, kMaxIsoText, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", year,
                                       month, day, seconds / 3600, seconds / 60 % 60, seconds % 60,
                                       ms);
        return out + std::snprintf(out, kMaxIsoText, "%04d-%02d-%02dT%02d:%02d:%02d.%d", year,
                                   month, day, seconds / 3600, seconds / 60 % 60, seconds % 60,
                                   ms / 100);
    }
    // The same text written digit by digit: a table has one per row.
    char* p = twoDigitsText(twoDigitsText(out, year / 100), year % 100);
    *p++ = '-';
    p = twoDigitsText(p, month);
    *p++ = '-';
    p = twoDigitsText(p, day);
    *p++ = 'T';
    return writeTimeOfDay(p, msOfDay, milliseconds);
}

char* IsoTextWriter::write(char* out, QDate date, int msOfDay, bool milliseconds)
{
    if (m_julianDay != date.toJulianDay()) {
        m_julianDay = date.toJulianDay();
        char text[kMaxIsoText];
        m_dayFits = writeIsoText(text, date, 0, true) - text == 23; // "YYYY-MM-DDT00:00:00.000"
        std::memcpy(m_dayText, text, sizeof m_dayText);
    }
    if (!m_dayFits || !timeOfDayFits(msOfDay))
        return writeIsoText(out, date, msOfDay, milliseconds);
    std::memcpy(out, m_dayText, sizeof m_dayText);
    return writeTimeOfDay(out + sizeof m_dayText, msOfDay, milliseconds);
}

std::string isoText(QDate date, int msOfDay, bool milliseconds)
{
    char text[kMaxIsoText];
    return std::string(text, writeIsoText(text, date, msOfDay, milliseconds));
}

QDate fileModificationDate(const QString& path)
{
    // stat() on the name's own bytes: QFileInfo would not find a name that is
    // no UTF-8.
    struct stat st
    {
    };
    if (::stat(fileNameBytes(path).constData(), &st) != 0)
        return {};
    const qint64 ms = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return QDateTime::fromMSecsSinceEpoch(ms).toLocalTime().date();
}

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int twoDigits(const char* p)
{
    return (p[0] - '0') * 10 + (p[1] - '0');
}

// The layout the meter's times are logged in, " HH:MM:SS.t  " with the hour
// blank-padded: checked and read without the general parse below, as most
// records of a long recording are looked at for their time of day only.
bool isLoggedLayout(const char* t)
{
    return t[0] == ' ' && (t[1] == ' ' || isDigit(t[1])) && isDigit(t[2]) && t[3] == ':' &&
           isDigit(t[4]) && isDigit(t[5]) && t[6] == ':' && isDigit(t[7]) && isDigit(t[8]) &&
           t[9] == '.' && isDigit(t[10]) && t[11] == ' ' && t[12] == ' ';
}

// Milliseconds since midnight, or kNoTime. A plain int: the walk reads one
// per record, and an optional<int> put together in memory and read back whole
// stalls the processor.
constexpr int kNoTime = -1;

// The one rule of every date walk: a day passes wherever the time of day
// goes backwards from one reading with a time to the next.
bool dayPassed(int previous, int now)
{
    return previous != kNoTime && now != kNoTime && now < previous;
}

int loggedTimeOfDay(const char* t)
{
    const int hour = t[1] == ' ' ? t[2] - '0' : twoDigits(t + 1);
    const int minute = twoDigits(t + 4);
    const int second = twoDigits(t + 7);
    if (hour > 23 || minute > 59 || second > 59)
        return kNoTime;
    return ((hour * 60 + minute) * 60 + second) * 1000 + (t[10] - '0') * 100;
}

// timeOfDayMs() of the record's time text, the usual layout read straight
// from the field.
int recordTimeOfDay(const TARecord& record)
{
    const char* t = record.timeStamp.chars().data();
    if (t[13] == '\0' && isLoggedLayout(t))
        return loggedTimeOfDay(t);
    return timeOfDayMs(record.timeStamp.view()).value_or(kNoTime);
}

std::optional<int> optionalTime(int ms)
{
    return ms == kNoTime ? std::nullopt : std::optional<int>(ms);
}

} // namespace

bool isLoggedTimeText(std::string_view text)
{
    return text.size() == 13 && isLoggedLayout(text.data()) &&
           loggedTimeOfDay(text.data()) != kNoTime;
}

std::optional<int> timeOfDayMs(std::string_view text)
{
    if (text.size() == 13 && isLoggedLayout(text.data()))
        return optionalTime(loggedTimeOfDay(text.data()));
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

std::optional<std::int64_t> RecordStamps::ofMarked(const TARecord& record)
{
    const auto& prefix = record.prefix.chars();
    const auto& unit = record.unit.chars();
    static_assert(sizeof prefix + sizeof unit == sizeof m_fields);
    if (!m_known || std::memcmp(m_fields.data(), prefix.data(), prefix.size()) != 0 ||
        std::memcmp(m_fields.data() + prefix.size(), unit.data(), unit.size()) != 0) {
        std::memcpy(m_fields.data(), prefix.data(), prefix.size());
        std::memcpy(m_fields.data() + prefix.size(), unit.data(), unit.size());
        m_stamp = recordStamp(record);
        m_known = true;
    }
    return m_stamp;
}

int RecordTimesOfDay::of(const TARecord& record)
{
    const char* t = record.timeStamp.chars().data();
    if (m_known && std::memcmp(t, m_hourAndMinute.data(), m_hourAndMinute.size()) == 0 &&
        isDigit(t[7]) && isDigit(t[8]) && t[9] == '.' && isDigit(t[10]) && t[11] == ' ' &&
        t[12] == ' ' && t[13] == '\0') {
        const int second = twoDigits(t + 7);
        return second > 59 ? kNoTime : m_minuteMs + second * 1000 + (t[10] - '0') * 100;
    }
    const int ms = recordTimeOfDay(record);
    m_known = ms != kNoTime && t[13] == '\0' && isLoggedLayout(t);
    if (m_known) {
        std::memcpy(m_hourAndMinute.data(), t, m_hourAndMinute.size());
        m_minuteMs = ms - ms % 60'000;
    }
    return ms;
}

QDate firstRecordDate(RecordRuns& records, QDate lastRecordDate, bool* fromStamp)
{
    if (fromStamp)
        *fromStamp = false;
    qint64 days = 0;
    int previous = kNoTime;
    RecordStamps stamps;
    RecordTimesOfDay times;
    while (const TARecord* record = records.nextRecord()) {
        std::int64_t stamp = 0;
        const bool stamped = stamps.find(*record, stamp);
        const int now = stamped ? stampedDay(stamp).second : times.of(*record);
        if (dayPassed(previous, now))
            ++days;
        if (stamped) {
            if (fromStamp)
                *fromStamp = true;
            return stampedDay(stamp).first.addDays(-days);
        }
        if (now != kNoTime)
            previous = now;
    }
    return lastRecordDate.addDays(-days);
}

std::optional<RecordDates::Moment> RecordDates::advance(const TARecord& record)
{
    if (std::int64_t stamp = 0; m_stamps.find(record, stamp)) {
        const auto [date, ms] = stampedDay(stamp);
        m_date = date;
        m_previous = ms;
        return Moment{date, ms, true, stamp};
    }
    const int now = m_times.of(record);
    if (now == kNoTime)
        return std::nullopt;
    if (dayPassed(m_previous, now))
        m_date = m_date.addDays(1);
    m_previous = now;
    m_inferred = true;
    return Moment{m_date, now, false, 0};
}

RecordTime RecordDates::next(const TARecord& record)
{
    const auto moment = advance(record);
    if (!moment)
        return {};
    return {isoText(moment->date, moment->ms, moment->stamped), moment->stamped};
}

void FirstAndLastTimes::add(const TARecord& record)
{
    Seen seen;
    if (std::int64_t stamp = 0; m_stamps.find(record, stamp)) {
        if (!m_anchor) {
            // The first stamp dates the first record, counting back the days
            // before it, the step into its own time of day included.
            const auto [date, ms] = stampedDay(stamp);
            if (dayPassed(m_previous, ms))
                ++m_days;
            m_firstStampDate = date.addDays(-m_days);
        }
        m_anchor = stamp;
        m_anchorLocal = false;
        m_days = 0;
        seen = {Seen::Kind::Stamped, stamp, 0};
    } else if (const int now = m_times.of(record); now != kNoTime) {
        if (m_anchor && !m_anchorLocal) {
            const auto [date, ms] = stampedDay(*m_anchor);
            m_anchorDate = date;
            m_previous = ms;
            m_anchorLocal = true;
        }
        if (dayPassed(m_previous, now))
            ++m_days;
        m_previous = now;
        seen = {Seen::Kind::Inferred, 0, now};
    } else {
        seen.kind = Seen::Kind::NoTime;
    }
    if (!m_started) {
        m_first = seen;
        m_started = true;
    }
    m_last = seen;
}

QDate FirstAndLastTimes::firstDate() const
{
    return m_anchor ? m_firstStampDate : m_lastRecordDate.addDays(-m_days);
}

RecordTime FirstAndLastTimes::last() const
{
    return timeOf(m_last, (m_anchor ? m_anchorDate : firstDate()).addDays(m_days));
}

RecordTime FirstAndLastTimes::timeOf(const Seen& seen, QDate date)
{
    switch (seen.kind) {
    case Seen::Kind::Stamped: {
        const auto [stampDate, ms] = stampedDay(seen.stamp);
        return {isoText(stampDate, ms, true), true};
    }
    case Seen::Kind::Inferred:
        return {isoText(date, seen.ms, false), false};
    case Seen::Kind::None:
    case Seen::Kind::NoTime:
        break;
    }
    return {};
}

} // namespace dmm
