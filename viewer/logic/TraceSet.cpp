// SPDX-License-Identifier: MIT
#include "TraceSet.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "RecordDates.h"
#include "RecordRuns.h"
#include "RecordValue.h"
#include "SiUnits.h"
#include "ViewerPlot.h"

namespace dmm {

namespace {

// The local midnight of a day in ms since the epoch, worked out once per day:
// the calendar and the time zone are the costly part of a reading's time.
class Midnights
{
public:
    std::int64_t of(QDate date)
    {
        if (date != m_date) {
            m_date = date;
            m_ms = QDateTime(date, QTime(0, 0)).toMSecsSinceEpoch();
        }
        return m_ms;
    }

private:
    QDate m_date;
    std::int64_t m_ms = 0;
};

// A record's time in ms since the epoch, as RecordDates gives it, without
// turning every stamp into a local date and time: that costs microseconds a
// record, minutes for a long recording. A stamp is its own time. The walk of
// the dates is given only the last stamped record before an unstamped one:
// a stamped record sets the walk's date and time of day from its stamp alone,
// so the walk then stands exactly where it would after all of them.
class RecordEpochTimes
{
public:
    explicit RecordEpochTimes(QDate firstDate) : m_dates(firstDate) {}

    std::optional<std::int64_t> of(const TARecord& record)
    {
        if (std::int64_t stamp = 0; m_stamps.find(record, stamp)) {
            m_lastStamped = record;
            m_stampPending = true;
            return stamp;
        }
        if (m_stampPending) {
            m_dates.skip(m_lastStamped);
            m_stampPending = false;
        }
        const auto moment = m_dates.nextMoment(record);
        if (!moment)
            return std::nullopt;
        return moment->stamped ? moment->stamp : m_midnights.of(moment->date) + moment->ms;
    }

private:
    RecordDates m_dates;
    RecordStamps m_stamps;
    Midnights m_midnights;
    TARecord m_lastStamped;
    bool m_stampPending = false;
};

void sortByTime(TraceData& trace)
{
    if (std::is_sorted(trace.times.begin(), trace.times.end()))
        return;
    // A clock set back during the run: the chart and the lookup need time order.
    std::vector<std::size_t> order(trace.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return trace.times[a] < trace.times[b]; });
    TraceData sorted;
    sorted.times.reserve(order.size());
    sorted.values.reserve(order.size());
    sorted.entries.reserve(order.size());
    for (const std::size_t i : order) {
        sorted.times.push_back(trace.times[i]);
        sorted.values.push_back(trace.values[i]);
        sorted.entries.push_back(trace.entries[i]);
    }
    trace.times = std::move(sorted.times);
    trace.values = std::move(sorted.values);
    trace.entries = std::move(sorted.entries);
}

} // namespace

TraceData traceFromRecords(RecordRuns& runs, QDate firstDate, const QString& name, JobControl* job)
{
    TraceData trace;
    trace.name = name;
    RecordEpochTimes times(firstDate);
    bool unitKnown = false; // the first reading with a value decides the unit
    std::string_view unit;
    std::uint32_t entry = 0;
    for (std::span<const TARecord> run = runs.next(); !run.empty(); run = runs.next()) {
        if (job && job->cancel)
            break;
        for (const TARecord& record : run) {
            const auto time = times.of(record);
            const std::uint32_t index = entry++;
            if (!time || isOverloadDisplay(record.display.view()) || !std::isfinite(record.fValue))
                continue;
            const SiUnit si = siUnit(record.function);
            if (!unitKnown) {
                unitKnown = true;
                unit = si.symbol;
                trace.unit = QString::fromUtf8(unit.data(), qsizetype(unit.size()));
            }
            if (si.symbol != unit)
                continue;
            const double value = double(record.fValue) * std::pow(10.0, si.decimalShift);
            trace.times.push_back(*time);
            trace.values.push_back(value);
            trace.entries.push_back(index);
        }
        if (job)
            job->done += qint64(run.size());
    }
    sortByTime(trace);
    return trace;
}

std::optional<AxisAssignment> assignAxes(const QStringList& traceUnits)
{
    AxisAssignment assignment;
    for (const QString& unit : traceUnits) {
        qsizetype axis = assignment.units.indexOf(unit);
        if (axis < 0) {
            if (assignment.units.size() == 2)
                return std::nullopt;
            assignment.units.append(unit);
            axis = assignment.units.size() - 1;
        }
        assignment.axes.push_back(int(axis));
    }
    return assignment;
}

std::optional<std::size_t> readingNearest(const std::vector<std::int64_t>& times,
                                          std::int64_t timeMs)
{
    if (times.empty() || timeMs < times.front() - kReadoutReachMs ||
        timeMs > times.back() + kReadoutReachMs)
        return std::nullopt;
    const auto after = std::lower_bound(times.begin(), times.end(), timeMs);
    if (after == times.begin())
        return 0;
    if (after == times.end())
        return times.size() - 1;
    const auto before = std::prev(after);
    // Equally near: the earlier reading.
    const auto nearest = (*after - timeMs) < (timeMs - *before) ? after : before;
    return std::size_t(nearest - times.begin());
}

std::optional<std::pair<std::int64_t, std::int64_t>>
commonSpan(const std::vector<const TraceData*>& traces)
{
    std::optional<std::pair<std::int64_t, std::int64_t>> span;
    for (const TraceData* trace : traces) {
        if (!trace || trace->times.empty())
            continue;
        const std::int64_t first = trace->times.front();
        const std::int64_t last = trace->times.back();
        span = span ? std::pair{std::min(span->first, first), std::max(span->second, last)}
                    : std::pair{first, last};
    }
    return span;
}

std::vector<std::size_t> plottedReadings(const TraceData& trace)
{
    const ViewerPlot plan = planViewerPlot(
        trace.size(), [&trace](std::size_t i) { return float(trace.values[i]); }, 0, 0);
    if (!plan.direct)
        return plan.indices;
    std::vector<std::size_t> all(trace.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    return all;
}

} // namespace dmm
