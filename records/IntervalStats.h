// SPDX-License-Identifier: MIT
// Figures per function over intervals of readings: count, overloads, the
// extremes with their times, the mean and the sample standard deviation, the
// first and the last value. Streaming: readings are added in order and each
// interval is handed on as it closes, so memory never grows with the number
// of readings. The mean and the spread are kept as Welford's running mean and
// sum of squared deviations, which do not cancel over millions of nearly
// equal values as a sum of squares would.
//
// Intervals of a given length are aligned to the clock the times are counted
// in: a 1 min interval starts at a whole minute, a 1 h interval at a whole
// hour (multiples of the length counted from midnight of 1970-01-01), so that
// the intervals of two recordings line up. A reading whose interval differs
// from the open one's closes it; an interval without readings is never made.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dmm {

// A reading's time: milliseconds since 1970-01-01 on the clock the figures
// are written in (local wall-clock time, or UTC); `exact` when the time has
// milliseconds (a date stamp), not tenths (an inferred date).
struct StatsTime
{
    std::int64_t ms = 0;
    bool exact = true;
    bool operator==(const StatsTime&) const = default;
};

// One function's figures in one interval.
struct FunctionStats
{
    std::string name;       // as the data list names the function ("DC V", "Ω")
    int function = 0;       // the code of its first reading, for its unit
    std::int64_t count = 0; // readings with a value
    std::int64_t overloads = 0;
    double min = 0, max = 0, first = 0, last = 0;
    StatsTime minTime, maxTime; // the first reading at each extreme
    double mean = 0;
    double m2 = 0; // sum of squared deviations from the mean

    void add(double value, StatsTime time);
    void addOverload() { ++overloads; }
    // The sample standard deviation; none for fewer than two values.
    std::optional<double> stddev() const;
};

struct StatsInterval
{
    // Its bounds: with a length, [start, start + length); without, the first
    // and the last reading's times.
    StatsTime start;
    StatsTime end;
    // The run stopped before the interval's end.
    bool partial = false;
    // In the order the functions first came in the interval.
    std::vector<FunctionStats> functions;
};

// Splits readings in time order into intervals and adds them up per function.
// Moves every time of the interval by `ms`.
void shiftTimes(StatsInterval& interval, std::int64_t ms);

class IntervalSplitter
{
public:
    using Sink = std::function<void(const StatsInterval&)>;

    // `lengthMs` none: one interval over every reading. `sink` gets each
    // interval as it closes.
    IntervalSplitter(std::optional<std::int64_t> lengthMs, Sink sink);

    // A reading of function `function` named `name`; `value` none for an
    // overload (counted apart) or a reading with no number.
    void add(int function, const std::string& name, std::optional<double> value, bool overload,
             StatsTime time);
    // Hands on the open interval, if any; `partial` marks it as cut short.
    void finish(bool partial = false);

    // Moves the open interval's times by `ms` (whole days, for a date that
    // turned out to be another).
    void shift(std::int64_t ms);

    // The interval readings are added to now; null when none is open.
    const StatsInterval* openInterval() const { return m_open ? &m_interval : nullptr; }
    std::int64_t intervalsClosed() const { return m_closed; }

private:
    FunctionStats& figuresFor(int function, const std::string& name);

    std::optional<std::int64_t> m_length;
    Sink m_sink;
    bool m_open = false;
    StatsInterval m_interval;
    int m_lastFunction = 0;
    std::size_t m_lastIndex = 0;
    bool m_lastKnown = false;
    std::int64_t m_closed = 0;
};

} // namespace dmm
