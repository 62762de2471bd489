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

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Record.h"

namespace dmm {

// Records one after another, oldest first; null at the end.
using RecordSource = std::function<const TARecord*()>;

// The local date a file was last modified: the date of its last reading.
QDate fileModificationDate(const QString& path);

// Milliseconds since midnight from a time text "%3d:%02d:%02d.%-3d"
// ("  9:05:03.4  " gives 32703400); none when the text is not such a time.
std::optional<int> timeOfDayMs(std::string_view text);

// The date the walk gives the first record, counting the days back over the
// records before the first stamped one from its date, or over all records
// from `lastRecordDate` when none is stamped (`fromStamp` tells which).
// Reads records only up to the first stamped one.
QDate firstRecordDate(const RecordSource& records, QDate lastRecordDate, bool* fromStamp = nullptr);

struct RecordTime
{
    // ISO 8601 local time: milliseconds for a stamped record
    // ("2026-12-07T23:59:59.912"), tenths for an inferred one
    // ("2026-12-07T23:59:59.9"); empty when the record's time text is no time.
    std::string text;
    bool stamped = false;
};

// Walks the records in order and gives each its date and time.
class RecordDates
{
public:
    explicit RecordDates(QDate firstRecordDate) : m_date(firstRecordDate) {}

    RecordTime next(const TARecord& record);
    // The same walk without the text, for records whose time is not shown.
    void skip(const TARecord& record) { advance(record); }

    // Some record so far got an inferred date.
    bool inferred() const { return m_inferred; }

private:
    struct Moment
    {
        QDate date;
        int ms; // since midnight
        bool stamped;
    };
    std::optional<Moment> advance(const TARecord& record);

    QDate m_date;
    std::optional<int> m_previous; // time of day of the record before, ms
    bool m_inferred = false;
};

} // namespace dmm
