// SPDX-License-Identifier: MIT
// Statistics per interval (IntervalStats.h) as a table: one row per interval
// and per function met in it, in time order:
//   start,end,function,unit,count,overloads,min,min time,max,max time,mean,
//   stddev,first,last
// with the rules of the readings' table (TableExport.h): times in its ISO
// form (local, or UTC ending in Z; milliseconds for a stamped reading and for
// an interval's bounds, tenths for a reading whose date was inferred), values
// in SI base units in their shortest exact form, the SI unit, the table's
// separator and decimal mark, a field quoted where it holds the separator.
// function is the data list's name of it ("DC V", "Ω"). count counts the
// readings with a value; min, max, mean, stddev, first and last are empty
// where it is 0, stddev (the sample standard deviation) also where it is 1.
// The mean and the standard deviation have 10 significant digits.
// Several recordings: a first column "file" names each row's recording. A
// live log may add a last column "partial", "partial" on the row of an
// interval the run stopped in and empty otherwise.
#pragma once

#include <QByteArray>
#include <QDate>

#include <cstdint>
#include <deque>
#include <future>
#include <optional>
#include <string>
#include <string_view>

#include "IntervalStats.h"
#include "Record.h"
#include "RecordDates.h"
#include "TableExport.h"

namespace dmm {

struct StatsRowForm
{
    TableFormat format;
    bool fileColumn = false;
    bool partialColumn = false;
};

std::string statsHeader(const StatsRowForm& form);
// The interval's rows, each ending in '\n', appended to `out`; `file` fills
// the first column where the form has one.
void appendStatsRows(std::string& out, const StatsInterval& interval, const StatsRowForm& form,
                     std::string_view file = {});

// One row as a JSON object: {"start":...,"end":...,"function":"DC V",
// "unit":"V","count":2,"overloads":0,"min":1.0,"minTime":...,"max":...,
// "maxTime":...,"mean":...,"stddev":...,"first":...,"last":...,
// "partial":false}: the times and numbers as the table writes them (numbers
// always with a point or an exponent), null where the table has an empty field.
std::string statsRowJson(const StatsInterval& interval, const FunctionStats& figures, bool utc);

// A time as the table writes it: ISO 8601 with milliseconds where `exact`,
// tenths otherwise, and a "Z" for UTC.
std::string statsTimeText(StatsTime time, bool utc);
// The mean's and the standard deviation's text: 10 significant digits.
std::string statsFigureText(double value);
// The shortest text that reads back as the same double.
std::string statsValueText(double value);
// The reading's value in SI base units as the table shows it, read back as
// a double; none for an overload or a stored value that is no number.
std::optional<double> siNumber(const TARecord& record);

// siNumber() of records, remembered for recent stored values: a meter
// repeats a few values, and making a value's text to read it back costs far
// more than the rest of adding a reading up.
class RecordNumbers
{
public:
    std::optional<double> of(const TARecord& record);

private:
    struct Known
    {
        std::uint32_t bits = 0;
        int function = -1; // none yet
        std::optional<double> number;
        bool recent = false; // of the first of a pair: it was asked for last
    };
    Known m_known[128];
};

// The readings of one recording, in order, added up into intervals: each
// record's time as the table has it (RecordDates.h from `firstRecordDate`,
// UTC where `utc`), its value as siNumber(). A record whose time text is no
// time cannot be placed in an interval and is counted apart.
class RecordingStats
{
public:
    RecordingStats(std::optional<std::int64_t> lengthMs, bool utc, QDate firstRecordDate,
                   IntervalSplitter::Sink sink);
    // The same while the first record's date is still being worked out
    // (firstRecordDate() over the file on another thread, which takes a pass
    // over a file without stamps): the dates are walked from `walkFrom`
    // meanwhile and the intervals held back, then moved by the whole days
    // the first record's date differs from it once that is known: at the
    // first stamped record, when many intervals wait, or at the end. Only
    // where deferrable().
    RecordingStats(std::optional<std::int64_t> lengthMs, QDate walkFrom,
                   std::shared_future<QDate> firstRecordDate, IntervalSplitter::Sink sink);
    // Local times and intervals that divide a day: a move by whole days
    // leaves them aligned as they were.
    static bool deferrable(std::optional<std::int64_t> lengthMs, bool utc);
    // The splitter's sink holds `this`.
    RecordingStats(const RecordingStats&) = delete;
    RecordingStats& operator=(const RecordingStats&) = delete;

    void add(const TARecord& record);
    // The last interval, once every record was added.
    void finish()
    {
        settleDate();
        m_splitter.finish();
    }

    std::int64_t readings() const { return m_readings; }
    std::int64_t untimed() const { return m_untimed; }
    bool datesInferred() const { return m_dates.inferred(); }

private:
    void hold(const StatsInterval& interval);
    void settleDate();

    IntervalSplitter::Sink m_sink;
    IntervalSplitter m_splitter;
    bool m_utc;
    // The first record's date while it is worked out; the intervals till then.
    std::shared_future<QDate> m_firstDate;
    bool m_datePending = false;
    QDate m_walkFrom;
    std::int64_t m_shiftMs = 0; // for dates walked before the first stamp
    bool m_anchored = false;    // a stamped record was met: the walk goes on from it
    std::deque<StatsInterval> m_held;
    RecordDates m_dates;
    UtcMoments m_moments;
    // A stamp's local time is worked out here, its zone's offset looked up
    // once per quarter hour (RecordDates would look it up for each record);
    // RecordDates sees only the last stamped record before one without.
    RecordStamps m_stamps;
    std::optional<TARecord> m_lastStamped;
    std::optional<std::int64_t> m_offsetQuarter;
    std::int64_t m_offsetMs = 0;
    std::int64_t m_readings = 0;
    std::int64_t m_untimed = 0;
    // The function's name, for the record before: runs of one function are usual.
    int m_function = 0;
    bool m_functionKnown = false;
    std::string m_name;
    RecordNumbers m_numbers;
};

} // namespace dmm
