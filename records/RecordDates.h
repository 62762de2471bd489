// SPDX-License-Identifier: MIT
// The date and time of every record. A record made here carries its own
// (RecordStamp.h); for one without (files from other programs, older files)
// the date is inferred from the time-of-day texts: one day passes each time
// the time of day goes backwards from one record to the next. The walk starts
// from the date of the first record, given or worked out backwards from the
// date of the last record (the file's modification date) or of the first
// stamped one.
#pragma once

#include <QDate>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Record.h"
#include "RecordRuns.h"
#include "RecordStamp.h"

namespace dmm {

// The local date a file was last modified: the date of its last reading.
QDate fileModificationDate(const QString& path);

// Milliseconds since midnight from a time text "%3d:%02d:%02d.%-3d"
// ("  9:05:03.4  " gives 32703400); none when the text is not such a time.
std::optional<int> timeOfDayMs(std::string_view text);

// Whether `text` is a time text as the logger writes it: 13 characters
// " HH:MM:SS.t  " with the hour blank-padded and a real time of day.
bool isLoggedTimeText(std::string_view text);

// ISO 8601 local time "2026-12-07T23:59:59.912" (`milliseconds`) or
// "2026-12-07T23:59:59.9" (tenths).
std::string isoText(QDate date, int msOfDay, bool milliseconds);

// The same text written at `out`, which has room for kMaxIsoText characters;
// returns its end. For writers that make one per row.
inline constexpr int kMaxIsoText = 48;
char* writeIsoText(char* out, QDate date, int msOfDay, bool milliseconds);

// writeIsoText with the date part worked out once per day: a table has
// thousands of rows a day, and the calendar is the costly part.
class IsoTextWriter
{
public:
    char* write(char* out, QDate date, int msOfDay, bool milliseconds);

private:
    std::optional<qint64> m_julianDay;
    bool m_dayFits = false; // the day has the fixed-width "YYYY-MM-DDT"
    char m_dayText[11] = {};
};

// The date the walk gives the first record, counting the days back over the
// records before the first stamped one from its date, or over all records
// from `lastRecordDate` when none is stamped (`fromStamp` tells which).
// Reads records only up to the first stamped one.
QDate firstRecordDate(RecordRuns& records, QDate lastRecordDate, bool* fromStamp = nullptr);

struct RecordTime
{
    // ISO 8601 local time: milliseconds for a stamped record
    // ("2026-12-07T23:59:59.912"), tenths for an inferred one
    // ("2026-12-07T23:59:59.9"); empty when the record's time text is no time.
    std::string text;
    bool stamped = false;
};

// recordStamp() of records in order, not worked out again for a record whose
// prefix and unit fields, where a stamp lives, hold the same bytes as the
// record's before: in a long run of readings without stamps they seldom change.
class RecordStamps
{
public:
    // The record's stamp in `ms`, or false for a record without one. Inline,
    // and no optional handed back: most records carry no stamp and are told by
    // four bytes, and an optional's flag written and read back through memory
    // stalls the walk on every record.
    bool find(const TARecord& record, std::int64_t& ms)
    {
        if (!hasStampMarker(record))
            return false;
        const std::optional<std::int64_t> stamp = ofMarked(record);
        ms = stamp.value_or(0);
        return stamp.has_value();
    }

private:
    std::optional<std::int64_t> ofMarked(const TARecord& record);

    bool m_known = false;
    std::array<char, 16> m_fields{};
    std::optional<std::int64_t> m_stamp;
};

// The time of day of records in order, in ms (negative: the text is no
// time), as timeOfDayMs() reads the time text. Where a time in the logged
// layout starts with the hour and minute of the one before (" 14:05:"), as
// a minute's readings all do, only its seconds and tenths are read.
class RecordTimesOfDay
{
public:
    int of(const TARecord& record);

private:
    bool m_known = false;
    std::array<char, 7> m_hourAndMinute{};
    int m_minuteMs = 0;
};

// A record's local date and time of day; `stamp` (ms since the epoch) for a
// stamped record.
struct RecordMoment
{
    QDate date;
    int ms; // since midnight
    bool stamped;
    std::int64_t stamp = 0;
};

// Walks the records in order and gives each its date and time.
class RecordDates
{
public:
    explicit RecordDates(QDate firstRecordDate) : m_date(firstRecordDate) {}

    RecordTime next(const TARecord& record);
    // The same walk, the moment unformatted; none where the time text is no time.
    std::optional<RecordMoment> nextMoment(const TARecord& record) { return advance(record); }
    // The same walk without the text, for records whose time is not shown.
    void skip(const TARecord& record) { advance(record); }

    // Some record so far got an inferred date.
    bool inferred() const { return m_inferred; }

private:
    using Moment = RecordMoment;
    std::optional<Moment> advance(const TARecord& record);

    QDate m_date;
    int m_previous = -1; // time of day of the record before, ms; -1: none yet
    bool m_inferred = false;
    RecordStamps m_stamps;
    RecordTimesOfDay m_times;
};

// The first and the last record's times exactly as RecordDates gives them
// when started from firstRecordDate(), in one pass over the records instead
// of two: the days are counted from wherever the walk stands, and a stamp is
// turned into a local date and time (the costly part) only where the answer
// needs it: for the first and the last record, and for a stamped record whose
// time of day the next record's is compared with.
class FirstAndLastTimes
{
public:
    // `lastRecordDate` as for firstRecordDate().
    explicit FirstAndLastTimes(QDate lastRecordDate) : m_lastRecordDate(lastRecordDate) {}

    // The records in order.
    void add(const TARecord& record);

    // Once every record is added; empty for no records.
    RecordTime first() const { return timeOf(m_first, firstDate()); }
    RecordTime last() const;

private:
    struct Seen
    {
        enum class Kind
        {
            None,
            NoTime,
            Stamped,
            Inferred
        } kind = Kind::None;
        std::int64_t stamp = 0; // Stamped: ms since the epoch
        int ms = 0;             // Inferred: since midnight
    };
    QDate firstDate() const;
    static RecordTime timeOf(const Seen& seen, QDate date);

    QDate m_lastRecordDate;
    RecordStamps m_stamps;
    RecordTimesOfDay m_times;
    bool m_started = false;
    Seen m_first;
    Seen m_last;
    // Before the first stamp the walk counts days from the first record, after
    // it from the latest stamp, whose local date and time of day are worked
    // out once an unstamped record follows it.
    std::optional<std::int64_t> m_anchor;
    bool m_anchorLocal = false;
    QDate m_anchorDate;
    QDate m_firstStampDate; // the first record's date, from the first stamp
    qint64 m_days = 0;
    int m_previous = -1; // time of day of the record before, ms; -1: none yet
};

} // namespace dmm
