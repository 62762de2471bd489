// SPDX-License-Identifier: MIT
// Recordings shown side by side in the graph viewer, as traces on one time
// axis: each reading's date and time, its value in the unit's base, and the
// rules that line the traces up: which value axis a unit goes on and which
// reading of a trace stands at a time the cursor points at.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

#include "JobControl.h"

namespace dmm {

class RecordRuns;

// At most this many traces share the viewer: the shown data and two added.
inline constexpr int kMaxTraces = 3;

struct TraceData
{
    QString name; // for the legend: the file's name
    QString unit; // the SI symbol ("V", "A", "Ω"); empty where the function has none
    // Ascending. Readings of the trace's unit only, overloads and readings
    // without a time left out.
    std::vector<std::int64_t> times;    // ms since the epoch
    std::vector<double> values;         // in the unit's base
    std::vector<std::uint32_t> entries; // the record each reading came from
    // The readings a chart draws (plottedReadings()), worked out with the
    // rest off the UI thread.
    std::vector<std::size_t> plotted;

    std::size_t size() const { return times.size(); }
};

// The readings of `runs` as a trace, dated by a walk from `firstDate` (the
// first record's date, firstRecordDate()). The trace's unit is that of the
// first reading with a value; readings of other units (the meter switched to
// another function) are left out. `job` (may be null) stops the walk when
// cancelled and counts the records walked.
TraceData traceFromRecords(RecordRuns& runs, QDate firstDate, const QString& name,
                           JobControl* job = nullptr);

// The value axis of every trace by its unit: the first unit goes on the left
// axis (0), the second on the right (1); traces of one unit share an axis.
// None when there are more than two units.
struct AxisAssignment
{
    QStringList units;     // the left axis's unit, then the right's if any
    std::vector<int> axes; // per trace
};
std::optional<AxisAssignment> assignAxes(const QStringList& traceUnits);

// How far before a trace's first or after its last reading the cursor still
// finds a reading: half the logger's 500 ms poll, as readings of one round lie
// within it of each other.
inline constexpr std::int64_t kReadoutReachMs = 250;

// The position of the reading nearest to `timeMs` (the earlier of two equally
// near), or none when `timeMs` lies more than kReadoutReachMs before the first
// or after the last reading.
std::optional<std::size_t> readingNearest(const std::vector<std::int64_t>& times,
                                          std::int64_t timeMs);

// The time span the traces cover together: the earliest first and the latest
// last reading; none when no trace has a reading.
std::optional<std::pair<std::int64_t, std::int64_t>>
commonSpan(const std::vector<const TraceData*>& traces);

// The readings a chart draws of a trace: all of them up to 8191, else the
// smallest and largest of each of about 2048 groups, in time order (as the
// viewer thins the shown data).
std::vector<std::size_t> plottedReadings(const TraceData& trace);

} // namespace dmm
